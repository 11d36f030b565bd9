#include "model/LaunchCommand.h"
#include "model/OptionLists.h"

#include <gtest/gtest.h>

namespace {

const QString Steam = QStringLiteral("/home/u/.local/share/Steam/");
const QString Fixed = QStringLiteral("steam.exe -silent -applaunch 380 -preload -novid "
                                     "-mat_preloadshaders -nocdaudio -nosound -width ");

BenchmarkSettings usual() {
    BenchmarkSettings s;
    s.FastZ = true;
    s.RefreshRate = 0;
    s.HeapSize = 0;
    s.CustomWidth = QStringLiteral("1366");
    s.CustomHeight = QStringLiteral("777");
    return s;
}

TEST(LaunchCommand, EveryRowCarriesItsSizeAndNothingElseDiffers) {
    const BenchmarkSettings s = usual();
    const LaunchOptions options = MakeLaunchOptions(s, QStringLiteral("rovdemo1"));
    const char* sizes[] = {"640 -height 480",   "800 -height 600",   "1024 -height 768",
                           "1280 -height 1024", "1600 -height 1200", "2048 -height 1536",
                           "1280 -height 768",  "1920 -height 1080", "1920 -height 1200",
                           "1366 -height 777"};
    const std::vector<ResolutionSlot> table = SlotTable(s);
    ASSERT_EQ(table.size(), 10u);
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(BuildLaunchCommand(table[i], options, Steam),
                  Steam + Fixed + QLatin1String(sizes[i]) +
                      QStringLiteral(
                          " +r_fastzreject 1  -refresh 60 -heapsize 64000 +timedemoquit rovdemo1"));
    }
}

TEST(LaunchCommand, EmptyArgumentsKeepTheirBlanks) {
    BenchmarkSettings s;
    s.FastZ = false;
    const LaunchOptions options = MakeLaunchOptions(s, QStringLiteral("run1"));
    EXPECT_EQ(options.FastZArg, QStringLiteral("+r_fastzreject 0"));
    EXPECT_EQ(BuildLaunchCommand(FixedSlots()[0], options, Steam),
              Steam + Fixed +
                  QStringLiteral("640 -height 480 +r_fastzreject 0    +timedemoquit run1"));
}

TEST(LaunchCommand, SteamFolderWithBlanksIsUsedUnquoted) {
    const QString folder = QStringLiteral("/opt/program files/steam/");
    const LaunchOptions options = MakeLaunchOptions(usual(), QStringLiteral("rovdemo1"));
    const QString command = BuildLaunchCommand(FixedSlots()[2], options, folder);
    EXPECT_TRUE(command.startsWith(QStringLiteral("/opt/program files/steam/steam.exe -silent")));
    EXPECT_EQ(SteamClientCommand(folder), QStringLiteral("/opt/program files/steam/steam.exe"));
}

TEST(LaunchCommand, CustomTextsAreInsertedUnchanged) {
    BenchmarkSettings s = usual();
    s.CustomWidth = QStringLiteral("0100");
    s.CustomHeight = QStringLiteral("7");
    const LaunchOptions options = MakeLaunchOptions(s, QStringLiteral("d"));
    EXPECT_TRUE(BuildLaunchCommand(SlotTable(s)[9], options, Steam)
                    .contains(QStringLiteral("-width 0100 -height 7 +r_fastzreject 1")));
}

TEST(GameStart, SteamExeIsAlsoTheApplicationSoNoPrefixTakesItsPlace) {
    const LaunchOptions options = MakeLaunchOptions(usual(), QStringLiteral("rovdemo1"));
    const QString folder = QStringLiteral("/games/Steam Games/");
    const ProgramStart game = GameStart(FixedSlots()[0], options, folder, QString());
    EXPECT_EQ(game.ApplicationName, QStringLiteral("/games/Steam Games/steam.exe"));
    EXPECT_EQ(game.CommandLine, BuildLaunchCommand(FixedSlots()[0], options, folder));
    const ProgramStart client = ClientStart(folder, QString());
    EXPECT_EQ(client.ApplicationName, QStringLiteral("/games/Steam Games/steam.exe"));
    EXPECT_EQ(client.CommandLine, QStringLiteral("/games/Steam Games/steam.exe"));

    // Without a folder from Steam's key the text alone names the program, as it always did.
    EXPECT_EQ(GameStart(FixedSlots()[0], options, QString(), QString()).ApplicationName, "");
    EXPECT_EQ(ClientStart(QStringLiteral("relative/"), QString()).ApplicationName, "");
}

TEST(GameStart, TodaysSteamCommandTakesTheSameArguments) {
    const LaunchOptions options = MakeLaunchOptions(usual(), QStringLiteral("rovdemo1"));
    const QString command = QStringLiteral("/home/u/my bin/steam");
    for (const ResolutionSlot& slot : SlotTable(usual())) {
        SCOPED_TRACE(slot.SlotTag.toStdString());
        const ProgramStart game = GameStart(slot, options, Steam, command);
        EXPECT_EQ(game.ApplicationName, command);
        // Everything after the program's name is the text the system builds.
        EXPECT_EQ(game.CommandLine,
                  command + BuildLaunchCommand(slot, options, Steam).mid(Steam.size() + 9));
        EXPECT_EQ(game.CommandLine, command + QLatin1Char(' ') + LaunchArguments(slot, options));
    }
    EXPECT_EQ(
        LaunchArguments(FixedSlots()[0], options),
        QStringLiteral("-silent -applaunch 380 -preload -novid -mat_preloadshaders -nocdaudio "
                       "-nosound -width 640 -height 480 +r_fastzreject 1  -refresh 60 "
                       "-heapsize 64000 +timedemoquit rovdemo1"));
    const ProgramStart client = ClientStart(Steam, command);
    EXPECT_EQ(client.ApplicationName, command);
    EXPECT_EQ(client.CommandLine, command) << "the client is started without -applaunch";
}

TEST(LaunchArguments, OneFieldEach) {
    const char* refresh[] = {"-refresh 60", "-refresh 70", "-refresh 75", "-refresh 85"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(RefreshArg(i), QLatin1String(refresh[i]));
    const char* heap[] = {"-heapsize 64000", "-heapsize 128000", "-heapsize 256000",
                          "-heapsize 512000", "-heapsize 1024000"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(HeapArg(i), QLatin1String(heap[i]));
    EXPECT_EQ(RefreshArg(std::nullopt), QString());
    EXPECT_EQ(HeapArg(std::nullopt), QString());
    EXPECT_EQ(HeapArg(5), QString());
}

} // namespace
