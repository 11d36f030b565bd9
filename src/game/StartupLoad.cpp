#include "game/StartupLoad.h"

#include "game/DemoSelection.h"
#include "game/SettingsEncoding.h"
#include "model/OptionLists.h"
#include "model/SlotTable.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The list is looked up as one text, the entries joined by line breaks, with a substring test.
bool containsMode(const QString& joinedModes, const QString& mode) {
    return joinedModes.contains(mode);
}

QString modeText(const QString& width, const QString& height) {
    return width + QStringLiteral(" x ") + height;
}

void loadResolutions(SettingsStore& store, const QString& modes, StartupResult& result) {
    for (const ResolutionSlot& slot : FixedSlots()) {
        const size_t i = static_cast<size_t>(slot.SlotIndex);
        result.resolutionEnabled[i] = containsMode(modes, modeText(slot.Width, slot.Height));
        result.settings.ResolutionChecked[i] =
            result.resolutionEnabled[i] &&
            DecodeTickedOnlyWhenOne(store.ReadValue(ResolutionValueName(slot.SlotIndex)));
    }
}

void loadCustomResolution(SettingsStore& store, const QString& modes, BenchmarkSettings& s) {
    const QString width = store.ReadValue(QStringLiteral("CusW"));
    const QString height = store.ReadValue(QStringLiteral("CusH"));
    if (width == QLatin1String("0") || height == QLatin1String("0"))
        return;
    if (containsMode(modes, modeText(width, height))) {
        s.CustomWidth = width;
        s.CustomHeight = height;
        s.CustomChecked = DecodeTickedOnlyWhenOne(store.ReadValue(QStringLiteral("CusRes"))) &&
                          !width.isEmpty() && !height.isEmpty();
    } else {
        store.WriteValue(QStringLiteral("CusW"), QStringLiteral("0"));
        store.WriteValue(QStringLiteral("CusH"), QStringLiteral("0"));
    }
}

} // namespace

StartupResult LoadSettings(SettingsStore& store, const StartupEnvironment& env) {
    StartupResult result;
    result.resolutionEnabled.fill(true);
    result.paths.ProgramFolder = env.programFolder;
    BenchmarkSettings& s = result.settings;

    if (!store.HasProgramKey()) {
        result.failureMessage = QStringLiteral("Please reinstall the Quillon Varnholt!");
        return result;
    }
    if (!SteamKeyPresent(env.registryDirectory)) {
        result.failureMessage = QStringLiteral("Please install the Half-Life 2 Episode One!");
        return result;
    }

    const QString modes = env.displayModes().join(QStringLiteral("\r\n"));
    loadResolutions(store, modes, result);
    loadCustomResolution(store, modes, s);

    s.FilteringMode = DecodeIndex(store.ReadValue(QStringLiteral("AFLevel")), 7);
    s.AntialiasingMode = DecodeIndex(store.ReadValue(QStringLiteral("AALevel")), 8);
    if (const auto run = DecodeRunNumber(store.ReadValue(QStringLiteral("RunNumber"))))
        s.RunCount = *run + 1;

    result.paths = DiscoverGame(result.paths, store, env.searchGame, env.registryDirectory);

    s.Demo = DecodeDemo(store.ReadValue(QStringLiteral("Demo")));
    if (s.Demo)
        result.customDemoControlsEnabled = DemoChoiceChanged(store, *s.Demo);
    const QString demoPath = store.ReadValue(QStringLiteral("Demoname"));
    if (!demoPath.isEmpty() && QFileInfo(demoPath).isFile())
        s.CustomDemoPath = demoPath;

    const QString resultPath = store.ReadValue(QStringLiteral("ResultPath"));
    if (!resultPath.isEmpty() && QFileInfo(resultPath).isDir()) {
        s.ResultsFolder = resultPath;
    } else {
        s.ResultsFolder = DefaultResultsFolder(env.programFolder);
        store.WriteValue(QStringLiteral("ResultPath"), s.ResultsFolder);
    }
    s.Note = store.ReadValue(QStringLiteral("Note"));
    if (!s.Note.isEmpty())
        store.WriteValue(QStringLiteral("Note"), s.Note);
    s.HdrMode = DecodeIndex(store.ReadValue(QStringLiteral("HDR")), 3);
    s.HeapSize = DecodeHeapSize(store.ReadValue(QStringLiteral("Heapsize")));
    s.RefreshRate = DecodeRefresh(store.ReadValue(QStringLiteral("Refresh")));
    s.FastZ = DecodeSetUnlessZero(store.ReadValue(QStringLiteral("FastZ")));
    s.ColorCorrection = DecodeSetUnlessZero(store.ReadValue(QStringLiteral("ColorCorrection")));

    if (env.checkLeftoverConfig)
        env.checkLeftoverConfig(result.paths);
    result.paths.UserSid = CurrentUserSidText();
    return result;
}
