// What becomes of a move or a resize of the saver's window.
#include <gtest/gtest.h>

#include <tuple>

#include "host/window_place.h"
#include "tests/param_name.h"

namespace {

struct MoveCase {
  const char* name;
  ScreenRect layout;
  WindowMove asked, kept;
};

const ScreenRect kTwoMonitors = {-1280, 0, 1024, 1024};
const MoveCase kMoveCases[] = {
    {"AnotherPlaceAndSize", kTwoMonitors, {200, 150, 400, 300, false, false},
     {-1280, 0, 2304, 1024, false, false}},
    {"ZOrderOnlyStillPutsItBack", kTwoMonitors, {0, 0, 0, 0, true, true},
     {-1280, 0, 2304, 1024, false, false}},
    {"NoLayoutYet", {0, 0, 0, 0}, {200, 150, 400, 300, false, true}, {200, 150, 400, 300, false, true}},
};

auto fields(const WindowMove& m) {
  return std::make_tuple(m.x, m.y, m.width, m.height, m.keepsPlace, m.keepsSize);
}

class MoveTable : public ::testing::TestWithParam<MoveCase> {};
TEST_P(MoveTable, KeepsTheLayoutsRectangle) {
  EXPECT_EQ(fields(GetParam().kept), fields(guardedMove(GetParam().asked, GetParam().layout)));
}
INSTANTIATE_TEST_SUITE_P(Moves, MoveTable, ::testing::ValuesIn(kMoveCases), ParamName());

}  // namespace
