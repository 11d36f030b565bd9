#include "game/StartupLoad.h"

#include "game/DemoSelection.h"
#include "game/ProgramFolder.h"
#include "game/SettingsEncoding.h"
#include "model/FixedResolutions.h"
#include "model/OptionLists.h"
#include "model/SettingNames.h"

#include <QDir>
#include <QFileInfo>

namespace {

void loadResolutions(SettingsStore& store, const DisplayModeList& modes, StartupResult& result) {
    for (size_t i = 0; i < FixedResolutions.size(); ++i) {
        const FixedResolution& resolution = FixedResolutions[i];
        result.resolutionEnabled[i] =
            modes.Contains(DisplayModeText(resolution.Width, resolution.Height));
        result.settings.ResolutionChecked[i] =
            result.resolutionEnabled[i] &&
            DecodeTickedOnlyWhenOne(store.ReadValue(QLatin1StringView(resolution.ValueName)));
    }
}

void loadCustomResolution(SettingsStore& store, const DisplayModeList& modes,
                          BenchmarkSettings& s) {
    const QString width = store.ReadValue(SettingName::CustomWidth);
    const QString height = store.ReadValue(SettingName::CustomHeight);
    if (width == QLatin1String("0") || height == QLatin1String("0"))
        return;
    if (modes.Contains(width + QStringLiteral(" x ") + height)) {
        s.CustomWidth = width;
        s.CustomHeight = height;
        s.CustomChecked = DecodeTickedOnlyWhenOne(store.ReadValue(SettingName::CustomTicked)) &&
                          !width.isEmpty() && !height.isEmpty();
    } else {
        store.WriteValue(SettingName::CustomWidth, QStringLiteral("0"));
        store.WriteValue(SettingName::CustomHeight, QStringLiteral("0"));
    }
}

// A value never stored (a fresh set-up) takes its default; a stored text the decoder does not
// know still leaves the box without a choice.
std::optional<int> orFreshDefault(SettingsStore& store, const QString& name, int fallback,
                                  const std::function<std::optional<int>(const QString&)>& decode) {
    const QString text = store.ReadValue(name);
    return text.isEmpty() ? std::optional(fallback) : decode(text);
}

QString quotedForShell(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

QString ProgramKeyMissingDetails(const QString& registryDirectory) {
    return QStringLiteral("The program's settings key HKEY_LOCAL_MACHINE%1 is not in the "
                          "registry store \"%2\". The installation creates it "
                          "(scripts/install.sh, or the package's varnholt command).")
        .arg(SettingsStore::ProgramKey(), storeFile(RegRoot::LocalMachine, registryDirectory));
}

QString GameNotFoundDetails(const QString& registryDirectory, const SteamPlaces& places,
                            const QString& storedPath) {
    QString text = QStringLiteral("Looked for:\n- Steam's key HKEY_CURRENT_USER%1 in \"%2\"")
                       .arg(SteamKeyPath(), storeFile(RegRoot::CurrentUser, registryDirectory));
    const QStringList roots = SteamRootCandidates(places.homeFolder);
    if (!roots.isEmpty())
        text += QStringLiteral("\n- a Steam folder: ") + roots.join(QStringLiteral(", "));
    text += QStringLiteral("\n- a game folder stored as \"Path\": ");
    text += storedPath.isEmpty()
                ? QStringLiteral("none stored")
                : QStringLiteral("\"%1\" has no episodic/ beside hl2_linux, hl2.sh or hl2.exe")
                      .arg(storedPath);
    return text;
}

QString StorePathCommand(const QString& programFolder, const QString& registryDirectory) {
    return QStringLiteral("VARNHOLT_REGISTRY_DIR=%1 %2 add 'HKLM%3' /v Path /t REG_SZ "
                          "/d '/path/to/steamapps/common/Half-Life 2/' /f")
        .arg(quotedForShell(registryDirectory), quotedForShell(programFolder + "reg"),
             SettingsStore::ProgramKey());
}

StartupResult LoadSettings(SettingsStore& store, const StartupEnvironment& env) {
    StartupResult result;
    result.resolutionEnabled.fill(true);
    result.paths.ProgramFolder = env.programFolder;
    BenchmarkSettings& s = result.settings;

    // A store file that cannot be read stops start-up as a missing key does, with its reason.
    try {
        if (!store.HasProgramKey()) {
            result.failureMessage = QStringLiteral("Please reinstall the Quillon Varnholt!");
            result.failure = StartupResult::Failure::ProgramKeyMissing;
            result.failureDetails = ProgramKeyMissingDetails(env.registryDirectory);
            return result;
        }
        // A game folder stored by hand is enough: its Steam may live where nobody looks.
        if (!SteamInstalled(env.registryDirectory, env.steamPlaces) &&
            GameFolderStoredByHand(store).isEmpty()) {
            result.failureMessage = QStringLiteral("Please install the Half-Life 2 Episode One!");
            result.failure = StartupResult::Failure::GameNotFound;
            result.failureDetails = GameNotFoundDetails(env.registryDirectory, env.steamPlaces,
                                                        store.ReadValue(SettingName::GamePath));
            return result;
        }
    } catch (const RegistryStoreError& e) {
        result.failureMessage = e.message();
        result.failure = StartupResult::Failure::StoreUnreadable;
        return result;
    }

    const DisplayModeList modes = DisplayModeList::Build(env.displayModes);
    loadResolutions(store, modes, result);
    loadCustomResolution(store, modes, s);

    s.FilteringMode = orFreshDefault(store, SettingName::Filtering, FreshDefaults::Filtering,
                                     [](const QString& t) { return DecodeIndex(t, 7); });
    s.AntialiasingMode =
        orFreshDefault(store, SettingName::Antialiasing, FreshDefaults::Antialiasing,
                       [](const QString& t) { return DecodeIndex(t, 8); });
    if (const auto run = DecodeRunNumber(store.ReadValue(SettingName::RunCount)))
        s.RunCount = *run + 1;

    result.paths = DiscoverGame(result.paths, store, env.searchGame, env.registryDirectory,
                                env.steamPlaces, &result.discoveryProblems);

    const QString demo = store.ReadValue(SettingName::Demo);
    // A fresh set-up plays the shipped demo, as its item's caption promises.
    s.Demo = demo.isEmpty() ? std::optional(DemoKind::Shipped) : DecodeDemo(demo);
    if (s.Demo)
        result.customDemoControlsEnabled = DemoChoiceChanged(store, *s.Demo);
    const QString demoPath = store.ReadValue(SettingName::CustomDemoPath);
    if (!demoPath.isEmpty() && QFileInfo(demoPath).isFile())
        s.CustomDemoPath = demoPath;

    const QString resultPath = store.ReadValue(SettingName::ResultsFolder);
    if (!resultPath.isEmpty() && QFileInfo(resultPath).isDir()) {
        s.ResultsFolder = resultPath;
    } else {
        s.ResultsFolder = DefaultResultsFolder(WritableFolder(env.programFolder));
        store.WriteValue(SettingName::ResultsFolder, s.ResultsFolder);
    }
    s.Note = store.ReadValue(SettingName::Note);
    if (!s.Note.isEmpty())
        store.WriteValue(SettingName::Note, s.Note);
    s.HdrMode = orFreshDefault(store, SettingName::Hdr, FreshDefaults::Hdr,
                               [](const QString& t) { return DecodeIndex(t, 3); });
    s.HeapSize =
        orFreshDefault(store, SettingName::HeapSize, FreshDefaults::HeapSize, DecodeHeapSize);
    s.RefreshRate =
        orFreshDefault(store, SettingName::RefreshRate, FreshDefaults::Refresh, DecodeRefresh);
    s.FastZ = DecodeSetUnlessZero(store.ReadValue(SettingName::FastZ));
    s.ColorCorrection = DecodeSetUnlessZero(store.ReadValue(SettingName::ColorCorrection));

    if (env.checkLeftoverConfig)
        env.checkLeftoverConfig(result.paths);
    result.paths.UserSid = CurrentUserSidText();
    return result;
}
