// The target table: stable ids, lookups and the rules the window and the CLI share.

#include "convert/target_formats.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using convert::ConvertMode;
using convert::FormatFamily;

TEST(TargetFormats, IdsAndTokensAreStableAndUnique) {
    // Menus and stored choices rely on these values.
    const std::pair<const char*, int> ids[] = {
        {"mp4", 0},  {"mkv", 1},   {"avi", 2},  {"wmv", 3},  {"flv", 4},  {"mov", 5},
        {"webm", 6}, {"gif", 7},   {"mp3", 8},  {"m4a", 9},  {"wav", 10}, {"wma", 11},
        {"aac", 12}, {"flac", 13}, {"ac3", 14}, {"m4r", 15}, {"ogg", 17}, {"origin", 18}};
    for (auto [token, id] : ids) {
        const convert::TargetFormat* f = convert::formatByToken(token);
        ASSERT_NE(f, nullptr) << token;
        EXPECT_EQ(f->id, id) << token;
        EXPECT_EQ(convert::formatById(id), f);
    }
    EXPECT_EQ(convert::formatById(16), nullptr);
    std::set<int> seen_ids;
    std::set<std::string_view> seen_tokens;
    for (const convert::TargetFormat& f : convert::targetFormats()) {
        EXPECT_TRUE(seen_tokens.insert(f.token).second) << f.token;
        if (f.id >= 0) {
            EXPECT_TRUE(seen_ids.insert(f.id).second) << f.id;
            EXPECT_NE(f.modes, 0u) << f.token;
        }
    }
    const char* presets[] = {"origin", "1080", "720", "dvd", "tv", "phone", "256", "128", "96"};
    for (int id = 0; id < 9; ++id)
        EXPECT_EQ(convert::presetByToken(presets[id])->id, id);
}

TEST(TargetFormats, EveryModeStartsWithAChoiceItOffers) {
    for (const convert::ModeInfo& mode : convert::modeInfos()) {
        const convert::TargetFormat* f = convert::formatById(mode.initial_format);
        ASSERT_NE(f, nullptr) << mode.name;
        EXPECT_TRUE(convert::modeOffers(mode.mode, *f)) << mode.name;
        EXPECT_TRUE(convert::presetFits(mode.mode, *f, *convert::presetById(mode.initial_preset)))
            << mode.name;
    }
    const auto& mp3 = *convert::formatByToken("mp3");
    const auto& gif = *convert::formatByToken("gif");
    const auto& mp4 = *convert::formatByToken("mp4");
    EXPECT_TRUE(convert::presetFits(ConvertMode::Audio2, mp3, *convert::presetByToken("96")));
    EXPECT_FALSE(convert::presetFits(ConvertMode::Audio2, mp3, *convert::presetByToken("720")));
    EXPECT_TRUE(convert::presetFits(ConvertMode::Gif, gif, *convert::presetByToken("tv")));
    EXPECT_FALSE(convert::presetFits(ConvertMode::Gif, gif, *convert::presetByToken("128")));
    // Compress items carry no preset.
    EXPECT_FALSE(convert::presetFits(ConvertMode::Compress, mp4, *convert::presetByToken("720")));
    EXPECT_TRUE(convert::presetFits(ConvertMode::Compress, mp4, *convert::presetByToken("origin")));
    EXPECT_FALSE(convert::modeInfo(ConvertMode::Merge).takes_special_sources);
    EXPECT_TRUE(convert::modeInfo(ConvertMode::Compress).takes_special_sources);
}

TEST(TargetFormats, MenuItemsAndExtensionsFindTheirRows) {
    // Id order decides; "1080" is found before "720" could be.
    EXPECT_EQ(convert::formatNamedIn("menuex_mkv_mp4")->token, "mp4");
    EXPECT_EQ(convert::presetNamedIn("menuex_mp4_1080_720")->token, "1080");
    EXPECT_EQ(convert::formatNamedIn("menuex_nothing"), nullptr);
    // The same-container choice is never named by its CLI token.
    EXPECT_EQ(convert::formatNamedIn("menu3_origin"), nullptr);
    EXPECT_EQ(convert::formatByExt("webm").audio_codec, " -c:a libopus");
    // Kept containers the menus do not offer still get their own arguments.
    EXPECT_EQ(convert::formatByExt("mpg").audio_codec, "");
    EXPECT_EQ(convert::formatByToken("mpg"), nullptr);
    const convert::TargetFormat& unknown = convert::formatByExt("ts");
    EXPECT_EQ(unknown.audio_codec, " -c:a aac");
    EXPECT_EQ(unknown.audio_family_args, " -c:a libmp3lame -vsync 2");
    EXPECT_EQ(convert::formatByToken("m4r")->label(), "M4R");
}

}  // namespace
