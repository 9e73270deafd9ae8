// Which monitors keep their part of the frozen desktop after the monitors
// change, and which show the background instead.
#include <gtest/gtest.h>

#include "desktop/picture_sources.h"
#include "tests/param_name.h"

namespace {

const MonitorArea kLeft = {{0, 0, 1024, 768}, true, "\\\\.\\DISPLAY1"};
const MonitorArea kRight = {{1024, 0, 2048, 768}, false, "\\\\.\\DISPLAY2"};
const ScreenRect kTwoWide = {0, 0, 2048, 768};

struct SourcesCase {
  const char* name;
  MonitorArea now[3];
  int nowCount;
  // Per monitor now: the start picture's x, or -1 for the background (all
  // start monitors share y 0).
  int startX[3];
  bool whole;  // the start picture is the whole new picture
};

// At start: kLeft (primary) and kRight, side by side.
const SourcesCase kCases[] = {
    {"Unchanged", {kLeft, kRight}, 2, {0, 1024}, true},
    {"ResolutionChangeOfOne",
     {{{0, 0, 800, 600}, true, "\\\\.\\DISPLAY1"}, {{800, 0, 1824, 768}, false, "\\\\.\\DISPLAY2"}},
     2, {-1, -1}, false},
    {"AddedRight",
     {kLeft, kRight, {{2048, 0, 3072, 768}, false, "\\\\.\\DISPLAY3"}}, 3, {0, 1024, -1}, false},
    {"AddedLeftAtANegativeOrigin",
     {{{-1280, 0, 0, 1024}, false, "\\\\.\\DISPLAY3"}, kLeft, kRight}, 3, {-1, 0, 1024}, false},
    {"OneRemoved", {kLeft}, 1, {0}, false},
    // The old primary's rectangle now belongs to the other device: its
    // pixels must not move onto that monitor.
    {"MainMonitorChanged",
     {{{-1024, 0, 0, 768}, false, "\\\\.\\DISPLAY1"}, {{0, 0, 1024, 768}, true, "\\\\.\\DISPLAY2"}},
     2, {-1, -1}, false},
    {"AllButOneGoneAndItMoved", {{{0, 0, 1024, 768}, true, "\\\\.\\DISPLAY2"}}, 1, {-1}, false},
    {"BackAtItsOldPlace", {kLeft, kRight}, 2, {0, 1024}, true},
    {"DevicesUnnamedTheRectangleDecides",
     {{{0, 0, 1024, 768}, true, ""}, {{1024, 0, 2048, 700}, false, ""}}, 2, {0, -1}, false},
};

class MonitorSourcesTable : public ::testing::TestWithParam<SourcesCase> {};

TEST_P(MonitorSourcesTable, OnlyTheSameMonitorInTheSamePlaceKeepsItsPicture) {
  const SourcesCase& c = GetParam();
  const MonitorArea start[] = {kLeft, kRight};
  PictureSource sources[3];
  pictureSources(start, 2, kTwoWide, c.now, c.nowCount, sources);
  ScreenLayout layout = screenLayout(c.now, c.nowCount);
  for (int i = 0; i < c.nowCount; ++i) {
    EXPECT_TRUE(sameRect(c.now[i].rect, sources[i].area)) << i;
    EXPECT_EQ(c.startX[i] >= 0, sources[i].fromStart) << i;
    if (c.startX[i] >= 0) {
      EXPECT_EQ(c.startX[i], sources[i].startX) << i;
      EXPECT_EQ(0, sources[i].startY) << i;
    }
  }
  EXPECT_EQ(c.whole, picturesUnchanged(sources, c.nowCount, kTwoWide, layout.window));
}

INSTANTIATE_TEST_SUITE_P(MonitorChanges, MonitorSourcesTable, ::testing::ValuesIn(kCases), ParamName());

// The start picture's own coordinates: a desktop whose bounds start left of
// and above the primary counts from the bounds' corner.
TEST(PictureSources, CountFromTheStartBoundsCorner) {
  const MonitorArea start[] = {{{-1280, -200, 0, 824}, false, "A"}, {{0, 0, 1024, 768}, true, "B"}};
  PictureSource sources[2];
  pictureSources(start, 2, {-1280, -200, 1024, 824}, start, 2, sources);
  EXPECT_EQ(0, sources[0].startX);
  EXPECT_EQ(0, sources[0].startY);
  EXPECT_EQ(1280, sources[1].startX);
  EXPECT_EQ(200, sources[1].startY);
}

}  // namespace
