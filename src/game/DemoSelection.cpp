#include "game/DemoSelection.h"

#include "game/SettingsEncoding.h"
#include "model/SettingNames.h"

bool DemoChoiceChanged(SettingsStore& store, DemoKind kind) {
    store.WriteValue(SettingName::Demo, EncodeDemo(kind));
    return kind == DemoKind::Custom;
}

QString DemoFileFilter() {
    return QStringLiteral("Half-Life 2 demo file (*.dem)");
}

std::optional<QString> BrowseCustomDemo(Dialogs& dialogs, OptionSaving& saving) {
    const QString path = dialogs.chooseOpenFile(DemoFileFilter());
    if (path.isEmpty())
        return std::nullopt;
    saving.CustomDemoChosen(path);
    return path;
}
