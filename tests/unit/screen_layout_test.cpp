// Window, eye viewport and text positions on desktops of several monitors.
#include <gtest/gtest.h>

#include <string>

#include "scene/screen_layout.h"
#include "tests/param_name.h"

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

INSTANTIATE_TEST_SUITE_P(Desktops, LayoutTable, ::testing::ValuesIn(kLayoutCases), ParamName());

}  // namespace
