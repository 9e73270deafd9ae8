// Where the wallpaper goes on each monitor, and how the stored style and the
// saver's desktop are read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/desktop_background.h"
#include "tests/param_name.h"

namespace {

// One monitor's wallpaper: the picture is drawn whole into `destination`
// and shows within `clip` (the monitor); tiles repeat from the first.
struct PlacementCase {
  const char* name;
  ScreenRect monitor;
  ScreenRect allMonitors;
  int imageWidth, imageHeight;
  WallpaperStyle style;
  ScreenRect destination;
  ScreenRect clip;
  bool tiled;
};

const ScreenRect kXga = {0, 0, 1024, 768};
const ScreenRect kNothing = {0, 0, 0, 0};

const PlacementCase kPlacementCases[] = {
    {"CentreSmaller", kXga, kXga, 640, 320, kWallpaperCentre, {192, 224, 832, 544}, kXga, false},
    {"CentreLargerIsCroppedEvenly", kXga, kXga, 1920, 1081, kWallpaperCentre,
     {-448, -157, 1472, 924}, kXga, false},
    {"TileFromThePrimarysCorner", kXga, kXga, 640, 320, kWallpaperTile, {0, 0, 640, 320}, kXga,
     true},
    {"StretchLosesTheAspect", kXga, kXga, 640, 320, kWallpaperStretch, kXga, kXga, false},
    {"FitWideLetterboxed", kXga, kXga, 640, 320, kWallpaperFit, {0, 128, 1024, 640}, kXga, false},
    {"FillWideCroppedAtTheSides", kXga, kXga, 640, 320, kWallpaperFill, {-256, 0, 1280, 768},
     kXga, false},
    {"FitTallerThanTheMonitor", kXga, kXga, 3000, 4000, kWallpaperFit, {224, 0, 800, 768}, kXga,
     false},
    {"FillTallerThanTheMonitor", kXga, kXga, 3000, 4000, kWallpaperFill, {0, -299, 1024, 1066},
     kXga, false},
    // A portrait monitor: the landscape picture fits by its width.
    {"FitOnAPortraitMonitor", {0, 0, 1080, 1920}, {0, 0, 1080, 1920}, 1920, 1080, kWallpaperFit,
     {0, 656, 1080, 1264}, {0, 0, 1080, 1920}, false},
    {"FillOnAPortraitMonitor", {0, 0, 1080, 1920}, {0, 0, 1080, 1920}, 1920, 1080,
     kWallpaperFill, {-1167, 0, 2246, 1920}, {0, 0, 1080, 1920}, false},
    // Left of and above the primary: negative coordinates throughout.
    {"FillLeftOfAndAboveThePrimary", {-1280, -1024, 0, 0}, {-1280, -1024, 1024, 768}, 640, 320,
     kWallpaperFill, {-1664, -1024, 384, 0}, {-1280, -1024, 0, 0}, false},
    // The tiles' grid runs on from the primary's corner, not the monitor's.
    {"TileLeftOfAndAboveThePrimary", {-1280, -1024, 0, 0}, {-1280, -1024, 1024, 768}, 300, 200,
     kWallpaperTile, {-1500, -1200, -1200, -1000}, {-1280, -1024, 0, 0}, true},
    // Span: one picture over both monitors' bounds (1024x768 beside a
    // taller 1280x1024), each monitor showing its own part.
    {"SpanOverTwoHeightsLeftPart", kXga, {0, 0, 2304, 1024}, 1600, 600, kWallpaperSpan,
     {-214, 0, 2517, 1024}, kXga, false},
    {"SpanOverTwoHeightsRightPart", {1024, 0, 2304, 1024}, {0, 0, 2304, 1024}, 1600, 600,
     kWallpaperSpan, {-214, 0, 2517, 1024}, {1024, 0, 2304, 1024}, false},
    // A single pixel scales to whatever the style asks.
    {"OnePixelFit", kXga, kXga, 1, 1, kWallpaperFit, {128, 0, 896, 768}, kXga, false},
    {"OnePixelFill", kXga, kXga, 1, 1, kWallpaperFill, {0, -128, 1024, 896}, kXga, false},
    {"OnePixelTile", {-5, 3, 1024, 768}, kXga, 1, 1, kWallpaperTile, {-5, 3, -4, 4},
     {-5, 3, 1024, 768}, true},
    {"FitAStripKeepsOneRow", kXga, kXga, 10000, 1, kWallpaperFit, {0, 383, 1024, 384}, kXga,
     false},
    {"NoPixelsDrawNothing", kXga, kXga, 0, 768, kWallpaperFill, kXga, kNothing, false},
};

class PlacementTable : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTable, PlacesThePictureAsTheDesktopDoes) {
  const PlacementCase& c = GetParam();
  WallpaperPlacement placement =
      placeWallpaper(c.monitor, c.allMonitors, c.imageWidth, c.imageHeight, c.style);
  const ScreenRect& d = placement.destination;
  EXPECT_TRUE(sameRect(c.destination, d)) << d.left << "," << d.top << " " << d.right << ","
                                          << d.bottom;
  const ScreenRect& clip = placement.clip;
  bool empty = clip.right <= clip.left || clip.bottom <= clip.top;
  if (sameRect(c.clip, kNothing)) {
    EXPECT_TRUE(empty);
  } else {
    EXPECT_TRUE(sameRect(c.clip, clip));
  }
  EXPECT_EQ(c.tiled, placement.tiled);
}

INSTANTIATE_TEST_SUITE_P(Wallpapers, PlacementTable, ::testing::ValuesIn(kPlacementCases),
                         ParamName());

struct StyleCase {
  const char* name;
  const char* styleText;  // WallpaperStyle; null: missing
  const char* tileText;   // TileWallpaper
  WallpaperStyle style;
};

const StyleCase kStyleCases[] = {
    {"Centre", "0", "0", kWallpaperCentre},     {"Tile", "0", "1", kWallpaperTile},
    {"Stretch", "2", "0", kWallpaperStretch},   {"Fit", "6", "0", kWallpaperFit},
    {"Fill", "10", "0", kWallpaperFill},        {"Span", "22", "0", kWallpaperSpan},
    {"MissingValuesCentre", nullptr, nullptr, kWallpaperCentre},
    {"TilingOnlyWithStyleZero", "10", "1", kWallpaperFill},
    {"UnknownStyleAsZero", "7", "1", kWallpaperTile},
    {"NotANumberAsZero", "fill", "0", kWallpaperCentre},
    {"LeadingSpaces", " 22", "0", kWallpaperSpan},
};

class StyleTable : public ::testing::TestWithParam<StyleCase> {};

TEST_P(StyleTable, ReadsTheStoredStyle) {
  const StyleCase& c = GetParam();
  EXPECT_EQ(c.style, wallpaperStyleFromTexts(c.styleText, c.tileText));
}

INSTANTIATE_TEST_SUITE_P(Registry, StyleTable, ::testing::ValuesIn(kStyleCases), ParamName());

TEST(WallpaperPosition, EachPositionOfThePerMonitorInterface) {
  const WallpaperStyle styles[] = {kWallpaperCentre, kWallpaperTile, kWallpaperStretch,
                                   kWallpaperFit,    kWallpaperFill, kWallpaperSpan};
  for (int position = 0; position < 6; ++position)
    EXPECT_EQ(styles[position], wallpaperStyleFromPosition(position)) << position;
  EXPECT_EQ(kWallpaperFill, wallpaperStyleFromPosition(9));
}

// Per monitor, the first picture that decodes: what the desktop shows
// (the object's path, Windows' copies of it) before what the user once
// chose, which may be gone; an empty answer is the colour, not a failure.
struct SourcesCase {
  const char* name;
  ObjectAnswer answer;
  std::vector<WallpaperSource> order;
};

const SourcesCase kSourcesCases[] = {
    {"ObjectsPathThenCopiesThenPolicyThenUser", kObjectPicture,
     {kSourceObjectPath, kSourceMonitorTranscoded, kSourceTranscoded, kSourcePolicy,
      kSourceUser}},
    {"SilentObjectStartsAtTheCopies", kObjectSilent,
     {kSourceMonitorTranscoded, kSourceTranscoded, kSourcePolicy, kSourceUser}},
    {"EmptyPathIsTheColourAlone", kObjectNoPicture, {}},
};

class SourcesTable : public ::testing::TestWithParam<SourcesCase> {};

TEST_P(SourcesTable, TriesWhatTheDesktopShowsFirst) {
  const SourcesCase& c = GetParam();
  WallpaperSource order[kWallpaperSourceCount + 1];
  int count = wallpaperSources(c.answer, order);
  EXPECT_EQ(c.order, std::vector<WallpaperSource>(order, order + count));
}

INSTANTIATE_TEST_SUITE_P(Wallpapers, SourcesTable, ::testing::ValuesIn(kSourcesCases), ParamName());

// The object's list lags a display change: only a monitor it lists at the
// same rectangle answers for one of the saver's; its order does not count.
struct MatchCase {
  const char* name;
  std::vector<ScreenRect> object;
  std::vector<int> matches;  // for the saver's two monitors
};

const ScreenRect kRightOfXga = {1024, 0, 2304, 1024};
const MatchCase kMatchCases[] = {
    {"SameListMatchesInOrder", {kXga, kRightOfXga}, {0, 1}},
    {"OtherOrderMatchesByRectangle", {kRightOfXga, kXga}, {1, 0}},
    {"OldRectangleOfAResizedMonitorMatchesNothing", {kXga, {1024, 0, 2048, 768}}, {0, -1}},
    {"MonitorNotListedYet", {kXga}, {0, -1}},
    {"NoObjectMonitors", {}, {-1, -1}},
};

class MatchTable : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchTable, OnlyTheSameRectangleAnswersForAMonitor) {
  const MatchCase& c = GetParam();
  MonitorArea saver[2] = {{kXga, true}, {kRightOfXga, false}};
  int matches[2] = {7, 7};
  matchObjectMonitors(c.object.data(), static_cast<int>(c.object.size()), saver, 2, matches);
  EXPECT_EQ(c.matches, std::vector<int>(matches, matches + 2));
}

INSTANTIATE_TEST_SUITE_P(Wallpapers, MatchTable, ::testing::ValuesIn(kMatchCases), ParamName());

// The policy numbers its styles 0-5, not as Control Panel\Desktop does.
TEST(WallpaperStyleChoice, PolicyTexts) {
  WallpaperStyle style = kWallpaperCentre;
  EXPECT_TRUE(wallpaperStyleFromPolicyText("4", &style));
  EXPECT_EQ(kWallpaperFill, style);
  EXPECT_TRUE(wallpaperStyleFromPolicyText("1", &style));
  EXPECT_EQ(kWallpaperTile, style);
  EXPECT_FALSE(wallpaperStyleFromPolicyText("10", &style));
  EXPECT_FALSE(wallpaperStyleFromPolicyText(nullptr, &style));
  EXPECT_FALSE(wallpaperStyleFromPolicyText("x", &style));
}

TEST(SaversDesktop, OnlyDefaultInAnyCaseIsTheUsersOwn) {
  EXPECT_TRUE(isUsersDesktopName("DeFault"));
  EXPECT_FALSE(isUsersDesktopName("Screen-saver"));
  EXPECT_FALSE(isUsersDesktopName("Defaults"));
  EXPECT_FALSE(isUsersDesktopName(nullptr));
}

}  // namespace
