#include "game/ConfigScript.h"

#include "model/OptionLists.h"
#include "platform/Errors.h"
#include "platform/OutsideFile.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kScriptName = QStringLiteral("autoexec.cfg");

} // namespace

QStringList ScriptTemplate() {
    return {
        QStringLiteral("// Brenmoor - Maximum details"),
        QString(),
        QStringLiteral("sv_cheats \"1\""),
        QStringLiteral("cl_showfps \"1\""),
        QStringLiteral("sv_unlockedchapters \"15\""),
        QStringLiteral("ai_norebuildgraph \"1\""),
    };
}

QStringList ConfigScriptLines() {
    // Built from the template every time, so a second series writes the same 24 lines.
    QStringList lines = ScriptTemplate();
    lines << QStringLiteral("sv_cheats \"1\"") << QStringLiteral("mat_envmapsize \"256\"")
          << QStringLiteral("cl_maxrenderable_dist \"6000\"")
          << QStringLiteral("cl_ragdoll_collide \"1\"") << QStringLiteral("cl_detaildist \"2400\"")
          << QStringLiteral("cl_detailfade \"200\"")
          << QStringLiteral("cl_maxrenderable_dist \"6000\"")
          << QStringLiteral("lod_TransitionDist \"1600\"") << QStringLiteral("r_decals \"3072\"")
          << QStringLiteral("r_maxmodeldecal \"100\"") << QStringLiteral("r_lod \"-8\"")
          << QStringLiteral("r_maxdlights \"48\"") << QStringLiteral("r_propsmaxdist \"1800\"")
          << QStringLiteral("datacachesize \"64\"")
          << QStringLiteral("mat_forcemanagedtextureintohardware \"1\"")
          << QStringLiteral("mat_picmip \"-1\"") << QStringLiteral("mat_parallaxmap \"1\"")
          << QStringLiteral("r_cheapwaterend \"100\"");
    return lines;
}

QByteArray ConfigScriptBytes() {
    QByteArray bytes;
    for (const QString& line : ConfigScriptLines())
        bytes += line.toLatin1() + "\r\n";
    return bytes;
}

bool IsProgramScript(const QString& path) {
    const QByteArray script = ConfigScriptBytes();
    // Never more than the script's length is read, so a large file of the user's is not.
    const platform::OutsideFile file = platform::ReadOutsideFile(path, script.size());
    return file.ok() && file.bytes == script;
}

GameValueWrites GameSettingsWrites(const BenchmarkSettings& settings) {
    GameValueWrites writes{
        {QStringLiteral("mat_colorcorrection"), ColorCorrectionValue(settings.ColorCorrection)},
        {QStringLiteral("mat_reducefillrate"), 0},
    };
    if (const auto hdr = HdrLevelValue(settings.HdrMode))
        writes.push_back({QStringLiteral("mat_hdr_level"), *hdr});
    const GameValueWrites rest{
        {QStringLiteral("ShadowDepthTexture"), 1},
        {QStringLiteral("r_shadowrendertotexture"), 1},
        {QStringLiteral("mat_picmip"), -1},
        {QStringLiteral("mat_parallaxmap"), 1},
        {QStringLiteral("r_rootlod"), 0},
        {QStringLiteral("r_waterforcereflectentities"), 1},
        {QStringLiteral("r_waterforceexpensive"), 1},
        {QStringLiteral("mat_reducefillrate"), 0},
        {QStringLiteral("mat_vsync"), 0},
    };
    writes.insert(writes.end(), rest.begin(), rest.end());
    return writes;
}

void WriteGameSettings(const BenchmarkSettings& settings, const QString& userSid,
                       const QString& registryDirectory) {
    WriteGameValues(userSid, GameSettingsWrites(settings), registryDirectory);
}

void WriteConfigScript(const QString& cfgFolder) {
    if (!QDir::isAbsolutePath(cfgFolder))
        throw AppError(QStringLiteral("The Half-Life 2 Episode One folder was not found."));
    const QString path = cfgFolder + kScriptName;
    if (QFileInfo::exists(path) && !IsProgramScript(path))
        throw AppError(QStringLiteral("Your own autoexec.cfg could not be set aside, so the "
                                      "benchmark left it untouched and stopped: %1")
                           .arg(path));
    platform::WriteFileAtomically(path, ConfigScriptBytes());
}
