#include "platform/AdapterAccess.h"

namespace platform {

namespace {

// No driver here knows the Windows display escapes, and the adapter keys are Windows's own.
class UnavailableAdapterAccess final : public AdapterAccess {
public:
    std::optional<RadeonClockAnswer> RadeonClockQuery() override { return std::nullopt; }
    bool RadeonMemoryQuery() override { return false; }
    std::optional<DisplayDeviceRecord> DisplayDevice(int) override { return std::nullopt; }
    std::optional<SlotClockAnswer> DriverClockQuery(int) override { return std::nullopt; }
    std::optional<QMap<QString, QString>> AdapterKey(const QString&) override {
        return std::nullopt;
    }
};

} // namespace

AdapterAccess& SystemAdapterAccess() {
    static UnavailableAdapterAccess access;
    return access;
}

} // namespace platform
