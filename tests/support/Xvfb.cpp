#include "Xvfb.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace testsupport {

namespace {

bool displayInUse(int number) {
    return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
           QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number));
}

} // namespace

QString outputOn(const QString& program, const QStringList& args, const QString& display) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(10000))
        p.kill();
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList windowKinds(const QString& display, const QString& title) {
    QStringList kinds;
    const QString tree = outputOn(QStringLiteral("xwininfo"),
                                  {QStringLiteral("-root"), QStringLiteral("-tree")}, display);
    static const QRegularExpression id(QStringLiteral("^\\s+(0x[0-9a-f]+)"),
                                       QRegularExpression::MultilineOption);
    static const QRegularExpression name(
        QStringLiteral("_NET_WM_NAME\\(UTF8_STRING\\) = \"(.*)\""));
    static const QRegularExpression type(
        QStringLiteral("_NET_WM_WINDOW_TYPE\\(ATOM\\) = ([A-Z_]+)"));
    for (auto it = id.globalMatch(tree); it.hasNext();) {
        const QString props =
            outputOn(QStringLiteral("xprop"),
                     {QStringLiteral("-id"), it.next().captured(1), QStringLiteral("_NET_WM_NAME"),
                      QStringLiteral("_NET_WM_WINDOW_TYPE")},
                     display);
        const QRegularExpressionMatch n = name.match(props);
        if (!n.hasMatch() || n.captured(1) != title)
            continue;
        // Qt's hidden group leader carries the title too, but no type.
        const QRegularExpressionMatch t = type.match(props);
        if (t.hasMatch())
            kinds << t.captured(1);
    }
    return kinds;
}

bool pressKey(const QString& display, const QString& key) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

int freeDisplayNumber(bool fromTop) {
    const int start = 100 + static_cast<int>(QCoreApplication::applicationPid() % 600);
    for (int i = 0; i < 300; ++i) {
        const int number = fromTop ? 999 - i : start + i;
        if (!displayInUse(number))
            return number;
    }
    return -1;
}

DisplayVariable::DisplayVariable(const QString& value)
    : had_(qEnvironmentVariableIsSet("DISPLAY")), old_(qgetenv("DISPLAY")) {
    qputenv("DISPLAY", value.toUtf8());
}

DisplayVariable::~DisplayVariable() {
    if (had_)
        qputenv("DISPLAY", old_);
    else
        qunsetenv("DISPLAY");
}

Xvfb::Xvfb(const QStringList& extra) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        problem_ = "Xvfb is not installed";
        return;
    }
    // Another test may take the same number in between: try the next free one then.
    for (int attempt = 0; attempt < 3 && display_.isEmpty(); ++attempt) {
        const int number = freeDisplayNumber();
        if (number < 0) {
            problem_ = "no free display number";
            return;
        }
        start(program, number, extra);
    }
}

Xvfb::~Xvfb() {
    stop();
}

void Xvfb::start(const QString& program, int number, const QStringList& extra) {
    const QString name = QStringLiteral(":%1").arg(number);
    server_.setStandardErrorFile(QProcess::nullDevice());
    // With -displayfd the server writes its number to stdout once it accepts clients.
    // -noreset: by default the server resets when its last client goes, and a client that
    // connects during the reset is refused.
    server_.start(program, QStringList{name, QStringLiteral("-screen"), QStringLiteral("0"),
                                       QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                       QStringLiteral("tcp"), QStringLiteral("-noreset"),
                                       QStringLiteral("-displayfd"), QStringLiteral("1")} +
                               extra);
    waitUntil([&] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; },
              15000);
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    if (server_.state() == QProcess::Running && server_.canReadLine() &&
        QFileInfo::exists(socket)) {
        display_ = name;
        return;
    }
    problem_ = "Xvfb did not start";
    stop();
}

void Xvfb::stop() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(5000))
            server_.kill();
        server_.waitForFinished(5000);
    }
}

} // namespace testsupport
