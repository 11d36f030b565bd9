#include "update/helper/UpgradePlan.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

// Lets failures show the steps; found by argument lookup, so not in the unnamed namespace.
void PrintTo(const HelperStep& s, std::ostream* os) {
    *os << static_cast<int>(s.Kind) << " " << s.Path.toStdString() << " -> "
        << s.Target.toStdString() << " [" << s.Arguments.join(',').toStdString()
        << "] hidden=" << s.Hidden << " runnable=" << s.Executable
        << " sha256=" << s.Sha256.toHex().toStdString();
}

namespace {

using K = HelperStepKind;

const QString App = QStringLiteral("/opt/my apps/");
const QString Program = App + QStringLiteral("varnholt");
const QString Queue = QStringLiteral("/tmp/UpgraderQueue.txt");
const QStringList Restart = {QStringLiteral("/afterupgrade")};

HelperStep Wait(const QString& path) {
    return {K::WaitForEnd, path, {}, {}, false, false, {}};
}
HelperStep Queued(const QString& target) {
    return {K::MoveQueued, target + ".uTMP", target, {}, false, false, {}};
}
HelperStep Scanned(const QString& name, const QString& to, bool runnable = false,
                   bool hidden = false) {
    return {K::ReplaceScanned, App + name + ".uTMP", App + to, {}, hidden, runnable, {}};
}
HelperStep Start(const QString& path) {
    return {K::Start, path, {}, Restart, false, false, {}};
}
HelperStep Remove(const QString& path) {
    return {K::Remove, path, {}, {}, false, false, {}};
}

TEST(ParseHelperCommand, ReadsBackWhatTheProgramWrote) {
    const struct {
        QStringList args;
        const char* program;
        const char* params;
        bool external;
    } cases[] = {
        {{"/opt/my", "apps/varnholt", "+/afterupgrade0"},
         "/opt/my apps/varnholt",
         "/afterupgrade",
         false},
        {{"/opt/app/varnholt", "+/afterupgrade1"}, "/opt/app/varnholt", "/afterupgrade", true},
        {{"/opt/a+b/varnholt", "+/afterupgrade0"}, "/opt/a+b/varnholt", "/afterupgrade", false},
        {{"/opt/app/varnholt", "+", "0"}, "/opt/app/varnholt", " ", false}, // empty parameters
        {{"/opt/app/varnholt", "+x", "y2"}, "/opt/app/varnholt", "x y", false},
    };
    for (const auto& c : cases) {
        const std::optional<HelperCommand> command = ParseHelperCommand(c.args);
        ASSERT_TRUE(command.has_value()) << c.program;
        EXPECT_EQ(command->ProgramPath, QString::fromLatin1(c.program));
        EXPECT_EQ(command->RestartParams, QString::fromLatin1(c.params));
        EXPECT_EQ(command->External, c.external) << c.program;
    }
    for (const QStringList& bad :
         {QStringList{}, QStringList{"/opt/app/varnholt"}, QStringList{"+/afterupgrade0"}})
        EXPECT_FALSE(ParseHelperCommand(bad).has_value()) << bad.join(' ').toStdString();
}

TEST(HelperArguments, TheHelpersPathMayComeInPieces) {
    const QString helper = QStringLiteral("/run/my temp/Upgrader4.exe");
    const auto isHelper = [&](const QString& path) { return path == helper; };
    const struct {
        QStringList argv;
        QStringList args;
    } cases[] = {
        {{"/run/my", "temp/Upgrader4.exe", "/opt/app/varnholt", "+/afterupgrade0"},
         {"/opt/app/varnholt", "+/afterupgrade0"}},
        {{"/run/my temp/Upgrader4.exe", "/opt/app/varnholt", "+x0"}, {"/opt/app/varnholt", "+x0"}},
        // Not found as written (started some other way): the first piece is the program.
        {{"Upgrader4", "/opt/app/varnholt", "+x0"}, {"/opt/app/varnholt", "+x0"}},
        {{"Upgrader4"}, {}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HelperArguments(c.argv, isHelper), c.args) << c.argv.join('|').toStdString();
}

TEST(ParseHelperCommand, RefusesACommandLineBeyondItsLimit) {
    const QString longPath = "/opt/" + QString(HelperCommandLimit, u'a');
    EXPECT_FALSE(ParseHelperCommand({longPath, "+/afterupgrade0"}).has_value());
    EXPECT_TRUE(ParseHelperCommand({"/opt/" + QString(4000, u'a'), "+/afterupgrade0"}));
}

TEST(QueueTargets, AbsolutePathsOneALine) {
    EXPECT_EQ(QueueTargets("/a b/c\r\n\r\nrelative\r\n/d\r\n"), (QStringList{"/a b/c", "/d"}));
    EXPECT_EQ(QueueTargets("/a\n/b"), QStringList{"/a\n/b"}); // only CR LF ends a line
    // One file however it is spelt, and once: the scan then knows it as queued.
    EXPECT_EQ(QueueTargets("/opt/app//varnholt\r\n/opt/app/./varnholt\r\n/opt/app/x/../y\r\n"),
              (QStringList{"/opt/app/varnholt", "/opt/app/y"}));
}

const QByteArray DigestA(32, 'a');
const QByteArray DigestB(32, 'b');

QString VerifiedLine(const QString& target, const QByteArray& digest) {
    return target + "\t" + QString::fromLatin1(digest.toHex()) + "\r\n";
}

HelperStep Verified(const QString& target, const QByteArray& digest, bool runnable = false,
                    bool hidden = false) {
    return {K::MoveVerified, target + ".uTMP", target, {}, hidden, runnable, digest};
}

TEST(VerifiedQueueTargets, OnlyWellFormedLinesOfAVerifiedQueue) {
    const QString queue = "#verified\r\n" + VerifiedLine("/opt/app//a", DigestA) +
                          "/opt/app/plain\r\n" + "/opt/app/short\tabc\r\n" + "/opt/app/upper\t" +
                          QString(64, u'A') + "\r\n" + VerifiedLine("relative", DigestA) +
                          VerifiedLine("/opt/app/./a", DigestB) +
                          VerifiedLine("/opt/app/b", DigestB);
    EXPECT_TRUE(IsVerifiedQueue(queue));
    const QList<VerifiedTarget> targets = VerifiedQueueTargets(queue);
    ASSERT_EQ(targets.size(), 2);
    EXPECT_EQ(targets[0].Target, "/opt/app/a");
    EXPECT_EQ(targets[0].Sha256, DigestA);
    EXPECT_EQ(targets[1].Target, "/opt/app/b");
    // Lines of the verified kind in a plain queue count for nothing.
    EXPECT_FALSE(IsVerifiedQueue(VerifiedLine("/opt/app/a", DigestA)));
    EXPECT_TRUE(VerifiedQueueTargets(VerifiedLine("/opt/app/a", DigestA)).isEmpty());
}

HelperFacts Facts(const char* methodDigit, QList<ScannedFile> scan, bool ownDownloaded = false,
                  const QString& queueText = {}) {
    HelperFacts facts;
    facts.Args = {"/opt/my", "apps/varnholt", QStringLiteral("+/afterupgrade") + methodDigit};
    facts.QueueText = queueText;
    facts.QueueFilePath = Queue;
    facts.Scan = std::move(scan);
    facts.ProgramExists = true;
    facts.OwnDownloaded = ownDownloaded;
    return facts;
}

TEST(PlanUpgrade, StepsForEachKindOfDelivery) {
    const struct {
        const char* what;
        HelperFacts facts;
        QList<HelperStep> steps;
    } cases[] = {
        {"own download beside another executable: both keep their names",
         Facts("0", {{"varnholt.uTMP", false}, {"tool.exe.uTMP", false}}, true),
         {Wait(Program), Scanned("varnholt", "varnholt", true),
          Scanned("tool.exe", "tool.exe", true), Start(Program), Remove(Queue)}},
        {"the only exe under another name becomes the program",
         Facts("0", {{"readme.txt.uTMP", false}, {"new.exe.uTMP", false}}),
         {Wait(Program), Scanned("readme.txt", "readme.txt"), Scanned("new.exe", "varnholt", true),
          Start(Program), Remove(Queue)}},
        {"an executable download counts as the program file too",
         Facts("0", {{"varnholt-1.4.uTMP", true}, {"helper.exe.uTMP", false}}),
         {Wait(Program), Scanned("varnholt-1.4", "varnholt", true),
          Scanned("helper.exe", "helper.exe"), Start(Program), Remove(Queue)}},
        {"queued targets are moved by the queue, not by the scan",
         Facts("0", {{"top.dat.uTMP", false}, {"other.uTMP", false}}, false,
               App + "data/x.dat\r\n" + App + "top.dat\r\n"),
         {Wait(Program), Queued(App + "data/x.dat"), Queued(App + "top.dat"),
          Scanned("other", "other"), Start(Program), Remove(Queue)}},
        {"external setup: placed hidden, run, awaited, deleted, then the program",
         Facts("1", {{"data.dat.uTMP", false}, {"setup.exe.uTMP", false}}),
         {Wait(Program), Scanned("data.dat", "data.dat"),
          Scanned("setup.exe", "setup.exe", true, true), Start(App + "setup.exe"), Remove(Queue),
          Wait(App + "setup.exe"), Remove(App + "setup.exe"), Start(Program)}},
        {"external mode never takes the program itself for the setup",
         Facts("1", {{"varnholt.uTMP", true}, {"setup.exe.uTMP", false}}, true),
         {Wait(Program), Scanned("varnholt", "varnholt", true),
          Scanned("setup.exe", "setup.exe", true, true), Start(App + "setup.exe"), Remove(Queue),
          Wait(App + "setup.exe"), Remove(App + "setup.exe"), Start(Program)}},
        {"external mode without a setup restarts the program",
         Facts("1", {{"data.dat.uTMP", false}}),
         {Wait(Program), Scanned("data.dat", "data.dat"), Start(Program), Remove(Queue)}},
    };
    for (const auto& c : cases) {
        const UpgradePlan plan = PlanUpgrade(c.facts);
        EXPECT_TRUE(plan.Valid) << c.what;
        EXPECT_EQ(plan.Steps, c.steps) << c.what;
    }
}

// A verified queue moves what it lists, each with its digest, and nothing the scan finds: a
// leftover download in the program's folder stays where it is.
TEST(PlanUpgrade, AVerifiedQueueMovesOnlyWhatItLists) {
    const QString queue = "#verified\r\n" + VerifiedLine(Program, DigestA) +
                          VerifiedLine(App + "system/dxdiag", DigestB);
    const QList<ScannedFile> scan{{"varnholt.uTMP", true}, {"left.exe.uTMP", true}};
    const struct {
        const char* what;
        HelperFacts facts;
        QList<HelperStep> steps;
    } cases[] = {
        {"normal mode",
         Facts("0", scan, true, queue),
         {Wait(Program), Verified(Program, DigestA, true), Verified(App + "system/dxdiag", DigestB),
          Start(Program), Remove(Queue)}},
        {"nothing listed: nothing moved, no scan",
         Facts("0", scan, true, "#verified\r\n"),
         {Wait(Program), Start(Program), Remove(Queue)}},
        {"external setup from the list",
         Facts("1", scan, false,
               "#verified\r\n" + VerifiedLine(App + "data.dat", DigestA) +
                   VerifiedLine(App + "setup.exe", DigestB)),
         {Wait(Program), Verified(App + "data.dat", DigestA),
          Verified(App + "setup.exe", DigestB, true, true), Start(App + "setup.exe"), Remove(Queue),
          Wait(App + "setup.exe"), Remove(App + "setup.exe"), Start(Program)}},
    };
    for (const auto& c : cases) {
        const UpgradePlan plan = PlanUpgrade(c.facts);
        EXPECT_TRUE(plan.Valid) << c.what;
        EXPECT_EQ(plan.Steps, c.steps) << c.what;
    }
}

TEST(PlanUpgrade, NoWaitForAMissingProgramAndNothingForABadCommandLine) {
    HelperFacts facts = Facts("0", {});
    facts.ProgramExists = false;
    EXPECT_EQ(PlanUpgrade(facts).Steps, (QList<HelperStep>{Start(Program), Remove(Queue)}));

    // A queue that is not the user's own is left alone.
    facts.QueueRefused = true;
    EXPECT_EQ(PlanUpgrade(facts).Steps, QList<HelperStep>{Start(Program)});

    facts.Args = {"/opt/app/varnholt"};
    const UpgradePlan bad = PlanUpgrade(facts);
    EXPECT_FALSE(bad.Valid);
    EXPECT_TRUE(bad.Steps.isEmpty());
}

} // namespace
