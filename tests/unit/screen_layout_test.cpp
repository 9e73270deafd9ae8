// Window, eye viewport and text positions on desktops of several monitors,
// and where the wallpaper goes on each of them.
#include <gtest/gtest.h>

#include <string>

#include "desktop/desktop_background.h"
#include "scene/screen_layout.h"

namespace {

struct LayoutCase {
  const char* name;
  MonitorArea monitors[3];
  int count;
  ScreenRect window;
  ScreenRect primary;
  int eyesX, eyesY, eyesWidth, eyesHeight;
  int clockX, clockBaselineY, fpsX, fpsBaselineY;
};

const LayoutCase kLayoutCases[] = {
    {"OneMonitor", {{{0, 0, 1024, 768}, true}}, 1,
     {0, 0, 1024, 768}, {0, 0, 1024, 768}, 0, 0, 1024, 768, 0, 763, 0, 25},
    {"SecondRightOfThePrimary", {{{0, 0, 1024, 768}, true}, {{1024, 0, 2048, 768}, false}}, 2,
     {0, 0, 2048, 768}, {0, 0, 1024, 768}, 0, 0, 1024, 768, 0, 763, 0, 25},
    {"SecondLeftOfThePrimary", {{{-1280, 0, 0, 1024}, false}, {{0, 0, 1920, 1080}, true}}, 2,
     {-1280, 0, 1920, 1080}, {1280, 0, 3200, 1080}, 1280, 0, 1920, 1080, 1280, 1075, 1280, 25},
    {"SecondAboveThePrimary", {{{0, 0, 1024, 768}, true}, {{0, -768, 1024, 0}, false}}, 2,
     {0, -768, 1024, 768}, {0, 768, 1024, 1536}, 0, 0, 1024, 768, 0, 1531, 0, 793},
    // A taller second monitor: the primary's bottom edge is not the window's.
    {"DifferentSizes", {{{0, 0, 1920, 1080}, true}, {{1920, 0, 3840, 2160}, false}}, 2,
     {0, 0, 3840, 2160}, {0, 0, 1920, 1080}, 0, 1080, 1920, 1080, 0, 1075, 0, 25},
    {"PortraitSecondLeftAndHigher",
     {{{-1080, -500, 0, 1420}, false}, {{0, 0, 1920, 1080}, true}}, 2,
     {-1080, -500, 1920, 1420}, {1080, 500, 3000, 1580}, 1080, 340, 1920, 1080, 1080, 1575, 1080,
     525},
    {"ThreeInARowPrimaryInTheMiddle",
     {{{-800, 0, 0, 600}, false}, {{0, 0, 800, 600}, true}, {{800, 0, 1600, 600}, false}}, 3,
     {-800, 0, 1600, 600}, {800, 0, 1600, 600}, 800, 0, 800, 600, 800, 595, 800, 25},
    {"NoneMarkedPrimaryTakesTheFirst", {{{0, 0, 800, 600}, false}, {{800, 0, 1600, 600}, false}},
     2, {0, 0, 1600, 600}, {0, 0, 800, 600}, 0, 0, 800, 600, 0, 595, 0, 25},
    {"NoMonitor", {}, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0, 0, 0, 0, 0, 0, 0},
};

bool sameRect(const ScreenRect& a, const ScreenRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class LayoutTable : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTable, CoversEveryMonitorAndKeepsTheSceneOnThePrimary) {
  const LayoutCase& c = GetParam();
  ScreenLayout layout = screenLayout(c.monitors, c.count);
  EXPECT_TRUE(sameRect(c.window, layout.window))
      << layout.window.left << "," << layout.window.top << " " << layout.window.right << ","
      << layout.window.bottom;
  EXPECT_TRUE(sameRect(c.primary, layout.primary))
      << layout.primary.left << "," << layout.primary.top << " " << layout.primary.right << ","
      << layout.primary.bottom;
  EXPECT_EQ(c.eyesX, layout.eyesX);
  EXPECT_EQ(c.eyesY, layout.eyesY);
  EXPECT_EQ(c.eyesWidth, layout.eyesWidth);
  EXPECT_EQ(c.eyesHeight, layout.eyesHeight);
  EXPECT_EQ(c.clockX, layout.clockX);
  EXPECT_EQ(c.clockBaselineY, layout.clockBaselineY);
  EXPECT_EQ(c.fpsX, layout.fpsX);
  EXPECT_EQ(c.fpsBaselineY, layout.fpsBaselineY);
}

INSTANTIATE_TEST_SUITE_P(Desktops, LayoutTable, ::testing::ValuesIn(kLayoutCases),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                           return std::string(info.param.name);
                         });

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
                         [](const ::testing::TestParamInfo<PlacementCase>& info) {
                           return std::string(info.param.name);
                         });

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

INSTANTIATE_TEST_SUITE_P(Registry, StyleTable, ::testing::ValuesIn(kStyleCases),
                         [](const ::testing::TestParamInfo<StyleCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(WallpaperPosition, EachPositionOfThePerMonitorInterface) {
  const WallpaperStyle styles[] = {kWallpaperCentre, kWallpaperTile, kWallpaperStretch,
                                   kWallpaperFit,    kWallpaperFill, kWallpaperSpan};
  for (int position = 0; position < 6; ++position)
    EXPECT_EQ(styles[position], wallpaperStyleFromPosition(position)) << position;
  EXPECT_EQ(kWallpaperFill, wallpaperStyleFromPosition(9));
}

TEST(SaversDesktop, OnlyDefaultInAnyCaseIsTheUsersOwn) {
  EXPECT_TRUE(isUsersDesktopName("DeFault"));
  EXPECT_FALSE(isUsersDesktopName("Screen-saver"));
  EXPECT_FALSE(isUsersDesktopName("Defaults"));
  EXPECT_FALSE(isUsersDesktopName(nullptr));
}

}  // namespace
