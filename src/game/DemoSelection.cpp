#include "game/DemoSelection.h"

#include "game/SettingsEncoding.h"

bool DemoChoiceChanged(SettingsStore& store, DemoKind kind) {
    store.WriteValue(QStringLiteral("Demo"), EncodeDemo(kind));
    return kind == DemoKind::Custom;
}
