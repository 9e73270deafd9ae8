// What becomes of a move or a resize of the saver's window.
#include <gtest/gtest.h>

#include "host/window_place.h"
#include "tests/param_name.h"

namespace {

struct MoveCase {
  const char* name;
  ScreenRect layout;
  WindowMove asked;
  WindowMove kept;
};

const ScreenRect kTwoMonitors = {-1280, 0, 1024, 1024};
const MoveCase kMoveCases[] = {
    {"AnotherPlaceAndSize", kTwoMonitors, {200, 150, 400, 300, false, false},
     {-1280, 0, 2304, 1024, false, false}},
    {"ZOrderOnlyStillPutsItBack", kTwoMonitors, {0, 0, 0, 0, true, true},
     {-1280, 0, 2304, 1024, false, false}},
    {"NoLayoutYet", {0, 0, 0, 0}, {200, 150, 400, 300, false, true}, {200, 150, 400, 300, false, true}},
};

class MoveTable : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MoveTable, KeepsTheLayoutsRectangle) {
  const MoveCase& c = GetParam();
  WindowMove kept = guardedMove(c.asked, c.layout);
  EXPECT_EQ(c.kept.x, kept.x);
  EXPECT_EQ(c.kept.y, kept.y);
  EXPECT_EQ(c.kept.width, kept.width);
  EXPECT_EQ(c.kept.height, kept.height);
  EXPECT_EQ(c.kept.keepsPlace, kept.keepsPlace);
  EXPECT_EQ(c.kept.keepsSize, kept.keepsSize);
}

INSTANTIATE_TEST_SUITE_P(Moves, MoveTable, ::testing::ValuesIn(kMoveCases), ParamName());

}  // namespace
