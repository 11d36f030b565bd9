#include "GamePrepFixture.h"

#include "game/ConfigScript.h"
#include "game/VideoSettings.h"

using namespace gameprep;
using testsupport::readFile;

namespace {

GameValueWrites operator+(GameValueWrites a, const GameValueWrites& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Everything after mat_hdr_level, which never depends on an option.
const GameValueWrites kFixedTail = {
    {"ShadowDepthTexture", 1},
    {"r_shadowrendertotexture", 1},
    {"mat_picmip", -1},
    {"mat_parallaxmap", 1},
    {"r_rootlod", 0},
    {"r_waterforcereflectentities", 1},
    {"r_waterforceexpensive", 1},
    {"mat_reducefillrate", 0},
    {"mat_vsync", 0},
};

TEST(GameSettingsWrites, FollowColourCorrectionAndHdr) {
    const struct {
        bool colorCorrection;
        std::optional<int> hdr;
        GameValueWrites head;
    } cases[] = {
        {true, 2, {{"mat_colorcorrection", 1}, {"mat_reducefillrate", 0}, {"mat_hdr_level", 2}}},
        {false, 0, {{"mat_colorcorrection", 0}, {"mat_reducefillrate", 0}, {"mat_hdr_level", 0}}},
        // No HDR choice leaves the game's level alone; the other eleven are still written.
        {false, std::nullopt, {{"mat_colorcorrection", 0}, {"mat_reducefillrate", 0}}},
        {true, 3, {{"mat_colorcorrection", 1}, {"mat_reducefillrate", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hdr.value_or(-1));
        BenchmarkSettings settings;
        settings.ColorCorrection = c.colorCorrection;
        settings.HdrMode = c.hdr;
        EXPECT_EQ(GameSettingsWrites(settings), c.head + kFixedTail);
    }
}

TEST(FilterSettingsWrites, FilteringTable) {
    const struct {
        std::optional<int> index;
        GameValueWrites writes;
    } cases[] = {
        {0, {{"mat_forceaniso", 1}, {"mat_trilinear", 0}}},
        {1, {{"mat_forceaniso", 1}, {"mat_trilinear", 1}}},
        {2, {{"mat_forceaniso", 2}, {"mat_trilinear", 0}}},
        {3, {{"mat_forceaniso", 4}, {"mat_trilinear", 0}}},
        {4, {{"mat_forceaniso", 8}, {"mat_trilinear", 0}}},
        {5, {{"mat_forceaniso", 16}, {"mat_trilinear", 0}}},
        {6, {}}, // From System
        {std::nullopt, {}},
        {7, {}},
        {-1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index.value_or(-100));
        EXPECT_EQ(FilteringWrites(c.index), c.writes);
    }
}

TEST(FilterSettingsWrites, AntialiasingTable) {
    auto row = [](qint32 quality, qint32 samples) {
        return GameValueWrites{{"mat_aaquality", quality},
                               {"mat_antialias", samples},
                               {"ScreenMSAA", samples},
                               {"ScreenMSAAQuality", quality}};
    };
    const struct {
        std::optional<int> index;
        GameValueWrites writes;
    } cases[] = {
        {0, row(0, 1)}, // None is one sample
        {1, row(0, 2)},     {2, row(0, 4)}, {3, row(2, 4)}, {4, row(4, 4)},
        {5, row(0, 8)},     {6, row(2, 8)}, {7, {}}, // From System
        {std::nullopt, {}}, {8, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index.value_or(-100));
        EXPECT_EQ(AntialiasingWrites(c.index), c.writes);
    }

    BenchmarkSettings settings;
    settings.FilteringMode = 1;
    settings.AntialiasingMode = 3;
    EXPECT_EQ(FilterSettingsWrites(settings), FilteringWrites(1) + row(2, 4));
}

using GameKey = GamePrep;

TEST_F(GameKey, ValuesLandAsDoubleWordsAndOthersAreKept) {
    {
        Registry key(RegRoot::Users, regDir);
        ASSERT_TRUE(key.openKey(GameSettingsKey(paths.UserSid), false));
        key.writeInteger("mat_hdr_level", 2);
        key.writeInteger("mat_forceaniso", 8);
        key.writeString("something_else", "kept");
    }
    BenchmarkSettings settings;
    settings.FilteringMode = 6;    // From System
    settings.AntialiasingMode = 0; // None
    settings.ColorCorrection = false;
    ApplyFilterSettings(settings, paths.UserSid, regDir);
    WriteGameSettings(settings, paths.UserSid, regDir);

    Registry key(RegRoot::Users, regDir);
    ASSERT_TRUE(key.openKey(GameSettingsKey(paths.UserSid), false));
    const QMap<QString, qint32> expected = {
        {"mat_forceaniso", 8}, // From System left it
        {"mat_hdr_level", 2},  // no HDR choice left it
        {"mat_aaquality", 0},
        {"mat_antialias", 1},
        {"ScreenMSAA", 1},
        {"ScreenMSAAQuality", 0},
        {"mat_colorcorrection", 0},
        {"mat_reducefillrate", 0},
        {"ShadowDepthTexture", 1},
        {"r_shadowrendertotexture", 1},
        {"mat_picmip", -1},
        {"mat_parallaxmap", 1},
        {"r_rootlod", 0},
        {"r_waterforcereflectentities", 1},
        {"r_waterforceexpensive", 1},
        {"mat_vsync", 0},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_EQ(key.valueType(it.key()), RegValueType::DWord);
        EXPECT_EQ(key.readInteger(it.key()), it.value());
    }
    EXPECT_FALSE(key.valueExists("mat_trilinear"));
    EXPECT_EQ(key.readString("something_else"), "kept");
    const QString stored = QString::fromUtf8(readFile(storeFile(RegRoot::Users, regDir)));
    EXPECT_TRUE(stored.contains("\"mat_picmip\"=dword:ffffffff")) << qPrintable(stored);
}

TEST_F(GameKey, MissingKeyWritesNothingAndCreatesNothing) {
    Registry(RegRoot::Users, regDir).deleteKey(GameSettingsKey(paths.UserSid));
    const QByteArray before = readFile(storeFile(RegRoot::Users, regDir));
    BenchmarkSettings settings;
    settings.FilteringMode = 1;
    settings.AntialiasingMode = 1;
    settings.HdrMode = 1;
    for (const QString& sid : {paths.UserSid, QString()}) {
        ApplyFilterSettings(settings, sid, regDir);
        WriteGameSettings(settings, sid, regDir);
    }
    EXPECT_EQ(readFile(storeFile(RegRoot::Users, regDir)), before);
}

} // namespace
