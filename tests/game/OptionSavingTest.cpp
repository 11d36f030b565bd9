#include "SettingsFixture.h"

#include "game/OptionSaving.h"
#include "platform/Errors.h"

#include <functional>

namespace {

class Saving : public SettingsFixture {
protected:
    SettingsStore settings{QString()};
    void SetUp() override {
        SettingsFixture::SetUp();
        settings = SettingsStore(regDir);
    }
};

TEST_F(Saving, ResolutionGroupRewritesAllNineValues) {
    OptionSaving saving(settings);
    std::array<bool, FixedSlotCount> ticked{};
    ticked[0] = ticked[8] = true;
    store({{"800", "1"}}); // a disabled row whose stored tick start-up kept
    saving.ResolutionGroupLeft(ticked);
    const char* names[] = {"640", "800", "1024", "1280", "1600", "2048", "hdw1", "hdw2", "hdw3"};
    for (int i = 0; i < FixedSlotCount; ++i)
        EXPECT_EQ(stored(names[i]), ticked[i] ? "1" : "0") << names[i];
}

TEST_F(Saving, ValuesAndEncodings) {
    OptionSaving saving(settings);
    saving.CustomResolutionBoxLeft(true, "1366", "");
    EXPECT_EQ(stored("CusRes"), "0") << "a tick without both sizes is stored as 0";
    saving.CustomResolutionBoxLeft(true, "1366", "768");
    EXPECT_EQ(stored("CusRes"), "1");
    saving.FilteringChanged(6);
    EXPECT_EQ(stored("AFLevel"), "6");
    saving.HeapSizeChanged(4);
    EXPECT_EQ(stored("Heapsize"), "1024000");
    saving.RefreshBoxLeft(2);
    EXPECT_EQ(stored("Refresh"), "75");
    saving.HdrChanged(0);
    EXPECT_EQ(stored("HDR"), "0");
    EXPECT_EQ(saving.RunNumberSaved(2, 0), 3);
    EXPECT_EQ(stored("RunNumber"), "3");
    saving.DemoGroupLeft(DemoKind::Custom);
    EXPECT_EQ(stored("Demo"), "2");
    EXPECT_EQ(saving.ResultsFolderChosen("/data/results"), "/data/results/");
    EXPECT_EQ(stored("ResultPath"), "/data/results/");
    saving.CustomSizeTaken("1280", "1024");
    EXPECT_EQ(stored("CusW"), "1280");
    EXPECT_EQ(stored("CusH"), "1024");
}

TEST_F(Saving, NoChoiceWritesNothing) {
    OptionSaving saving(settings);
    saving.FilteringChanged(std::nullopt);
    saving.HeapSizeBoxLeft(std::nullopt);
    saving.DemoGroupLeft(std::nullopt);
    saving.CustomDemoChosen("");
    saving.ResultsEditLeft("");
    EXPECT_EQ(saving.RunNumberSaved(std::nullopt, 4), 4);
    for (const char* name : {"AFLevel", "Heapsize", "Demo", "Demoname", "ResultPath", "RunNumber"})
        EXPECT_FALSE(storedExists(name)) << name;
}

TEST_F(Saving, WithoutTheKeyGuardedWritersDoNothingAndTheOthersFail) {
    deleteKey(RegRoot::LocalMachine, SettingsStore::ProgramKey());
    OptionSaving saving(settings);
    const std::vector<std::pair<const char*, std::function<void()>>> guarded = {
        {"resolution group", [&] { saving.ResolutionGroupLeft({}); }},
        {"custom box", [&] { saving.CustomResolutionBoxLeft(true, "1", "2"); }},
        {"demo group", [&] { saving.DemoGroupLeft(DemoKind::Shipped); }},
        {"run number", [&] { EXPECT_EQ(saving.RunNumberSaved(1, 5), 5); }},
        {"heap leave", [&] { saving.HeapSizeBoxLeft(1); }},
        {"refresh leave", [&] { saving.RefreshBoxLeft(1); }},
        {"hdr leave", [&] { saving.HdrBoxLeft(1); }},
        {"fast z", [&] { saving.FastZBoxLeft(true); }},
        {"color correction", [&] { saving.ColorCorrectionBoxLeft(false); }},
        {"closing", [&] { saving.WindowClosing("note"); }},
    };
    for (const auto& [name, write] : guarded)
        EXPECT_NO_THROW(write()) << name;

    const std::vector<std::pair<const char*, std::function<void()>>> unguarded = {
        {"AFLevel", [&] { saving.FilteringChanged(1); }},
        {"AALevel", [&] { saving.AntialiasingChanged(1); }},
        {"Note", [&] { saving.NoteChanged("x"); }},
        {"Heapsize", [&] { saving.HeapSizeChanged(1); }},
        {"Refresh", [&] { saving.RefreshChanged(1); }},
        {"HDR", [&] { saving.HdrChanged(1); }},
        {"Demoname", [&] { saving.CustomDemoChosen("/x.dem"); }},
        {"ResultPath", [&] { saving.ResultsEditLeft("/x/"); }},
        {"CusW", [&] { saving.CustomSizeTaken("1", "2"); }},
    };
    for (const auto& [name, write] : unguarded) {
        try {
            write();
            ADD_FAILURE() << name << " wrote without the key";
        } catch (const RegistryError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Failed to set data for '%1'").arg(name));
        }
    }
    EXPECT_FALSE(SettingsStore(regDir).HasProgramKey());
}

TEST_F(Saving, ClosingStoresTheNoteAndEmptiesTheDiagnosticsCache) {
    store({{"Display Memory", "256 MB"}, {"Driver Version", "1.2"}, {"Sound", "HDA"}});
    OptionSaving(settings).WindowClosing("last words");
    EXPECT_EQ(stored("Note"), "last words");
    for (const char* name : {"Display Memory", "Driver Version", "Sound"}) {
        EXPECT_TRUE(storedExists(name));
        EXPECT_EQ(stored(name), "") << name;
    }
}

} // namespace
