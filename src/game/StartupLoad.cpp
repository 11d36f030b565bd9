#include "game/StartupLoad.h"

#include "game/DemoSelection.h"
#include "game/ProgramFolder.h"
#include "game/SettingsEncoding.h"
#include "model/OptionLists.h"

#include <QDir>
#include <QFileInfo>

namespace {

void loadResolutions(SettingsStore& store, const DisplayModeList& modes, StartupResult& result) {
    for (size_t i = 0; i < SlotModeLookups().size(); ++i) {
        const SlotModeLookup& lookup = SlotModeLookups()[i];
        result.resolutionEnabled[i] = modes.Contains(lookup.ModeText);
        result.settings.ResolutionChecked[i] =
            result.resolutionEnabled[i] &&
            DecodeTickedOnlyWhenOne(store.ReadValue(lookup.ValueName));
    }
}

void loadCustomResolution(SettingsStore& store, const DisplayModeList& modes,
                          BenchmarkSettings& s) {
    const QString width = store.ReadValue(QStringLiteral("CusW"));
    const QString height = store.ReadValue(QStringLiteral("CusH"));
    if (width == QLatin1String("0") || height == QLatin1String("0"))
        return;
    if (modes.Contains(width + QStringLiteral(" x ") + height)) {
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

    // A store file that cannot be read stops start-up as a missing key does, with its reason.
    try {
        if (!store.HasProgramKey()) {
            result.failureMessage = QStringLiteral("Please reinstall the Quillon Varnholt!");
            return result;
        }
        if (!SteamInstalled(env.registryDirectory, env.steamPlaces)) {
            result.failureMessage = QStringLiteral("Please install the Half-Life 2 Episode One!");
            return result;
        }
    } catch (const RegistryStoreError& e) {
        result.failureMessage = e.message();
        return result;
    }

    const DisplayModeList modes = DisplayModeList::Build(env.displayModes);
    loadResolutions(store, modes, result);
    loadCustomResolution(store, modes, s);

    s.FilteringMode = DecodeIndex(store.ReadValue(QStringLiteral("AFLevel")), 7);
    s.AntialiasingMode = DecodeIndex(store.ReadValue(QStringLiteral("AALevel")), 8);
    if (const auto run = DecodeRunNumber(store.ReadValue(QStringLiteral("RunNumber"))))
        s.RunCount = *run + 1;

    result.paths = DiscoverGame(result.paths, store, env.searchGame, env.registryDirectory,
                                env.steamPlaces, &result.discoveryProblems);

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
        s.ResultsFolder = DefaultResultsFolder(WritableFolder(env.programFolder));
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
