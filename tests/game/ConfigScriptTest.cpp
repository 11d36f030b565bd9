#include "GamePrepFixture.h"

#include "platform/Errors.h"

using namespace gameprep;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// The script the game must get, byte for byte.
const QByteArray kExpectedScript = "// Brenmoor - Maximum details\r\n"
                                   "\r\n"
                                   "sv_cheats \"1\"\r\n"
                                   "cl_showfps \"1\"\r\n"
                                   "sv_unlockedchapters \"15\"\r\n"
                                   "ai_norebuildgraph \"1\"\r\n"
                                   "sv_cheats \"1\"\r\n"
                                   "mat_envmapsize \"256\"\r\n"
                                   "cl_maxrenderable_dist \"6000\"\r\n"
                                   "cl_ragdoll_collide \"1\"\r\n"
                                   "cl_detaildist \"2400\"\r\n"
                                   "cl_detailfade \"200\"\r\n"
                                   "cl_maxrenderable_dist \"6000\"\r\n"
                                   "lod_TransitionDist \"1600\"\r\n"
                                   "r_decals \"3072\"\r\n"
                                   "r_maxmodeldecal \"100\"\r\n"
                                   "r_lod \"-8\"\r\n"
                                   "r_maxdlights \"48\"\r\n"
                                   "r_propsmaxdist \"1800\"\r\n"
                                   "datacachesize \"64\"\r\n"
                                   "mat_forcemanagedtextureintohardware \"1\"\r\n"
                                   "mat_picmip \"-1\"\r\n"
                                   "mat_parallaxmap \"1\"\r\n"
                                   "r_cheapwaterend \"100\"\r\n";

using ConfigScript = GamePrep;

TEST_F(ConfigScript, WritesTheTwentyFourLinesAgainAndAgain) {
    EXPECT_EQ(ScriptTemplate().size(), 6);
    EXPECT_EQ(ConfigScriptLines().size(), 24);
    WriteConfigScript(paths.CfgFolder);
    EXPECT_EQ(readFile(cfg("autoexec.cfg")), kExpectedScript);
    // A second series in the same program run writes the same file, not a longer one.
    WriteConfigScript(paths.CfgFolder);
    EXPECT_EQ(readFile(cfg("autoexec.cfg")), kExpectedScript);
    EXPECT_EQ(filesBelow(paths.CfgFolder).keys(), QStringList{"autoexec.cfg"})
        << "the temporary file was left behind";
}

TEST_F(ConfigScript, RecognisesOnlyItsOwnScript) {
    const struct {
        const char* name;
        QByteArray bytes;
        bool ours;
    } cases[] = {
        {"exact", kExpectedScript, true},
        {"last line without CR LF", kExpectedScript.chopped(2), false},
        {"LF line ends", QByteArray(kExpectedScript).replace("\r\n", "\n"), false},
        {"a line added by the user", kExpectedScript + "fps_max 300\r\n", false},
        {"one value changed", QByteArray(kExpectedScript).replace("\"64\"", "\"32\""), false},
        {"empty", QByteArray(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cfg("autoexec.cfg"), c.bytes);
        EXPECT_EQ(IsProgramScript(cfg("autoexec.cfg")), c.ours);
    }
    QFile::remove(cfg("autoexec.cfg"));
    EXPECT_FALSE(IsProgramScript(cfg("autoexec.cfg")));
    EXPECT_FALSE(IsProgramScript(paths.CfgFolder)) << "a folder";

    // The program writes its script as a file of its own: a link is the user's, whatever it
    // reaches, and is set aside and put back rather than written over.
    writeFile(cfg("elsewhere.cfg"), kExpectedScript);
    ASSERT_TRUE(QFile::link(cfg("elsewhere.cfg"), cfg("autoexec.cfg")));
    EXPECT_FALSE(IsProgramScript(cfg("autoexec.cfg"))) << "a link to the same text";
}

TEST_F(ConfigScript, NeverReplacesAScriptOfTheUsers) {
    writeFile(cfg("autoexec.cfg"), kUserScript);
    try {
        WriteConfigScript(paths.CfgFolder);
        ADD_FAILURE() << "the user's script was replaced";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.message().contains(cfg("autoexec.cfg"))) << error.what();
    }
    EXPECT_EQ(readFile(cfg("autoexec.cfg")), kUserScript);
}

TEST_F(ConfigScript, WriteFailuresAreRaised) {
    EXPECT_THROW(WriteConfigScript(root + QStringLiteral("/no such folder/")), AppError);
    EXPECT_THROW(WriteConfigScript(QStringLiteral("half-life 2 episode one/episodic/cfg/")),
                 AppError)
        << "a game folder that was never found is relative";
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("half-life 2 episode one")));
}

} // namespace
