// The frame's time gates on the wrapping millisecond clock.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

#include "scene/frame_timing.h"

namespace {

struct GateCase {
  const char* name;
  uint32_t now;
  uint32_t since;  // last mouse move, or start of the hold-back
  bool open;
};

const GateCase kEyeCases[] = {
    {"SameMillisecond", 5000, 5000, true},
    {"Seen999msAgo", 5999, 5000, true},
    {"Seen1000msAgo", 6000, 5000, false},
    {"LongAgo", 900000, 5000, false},
    {"Seen999msAgoAcrossWrap", 0x000002E7u, 0xFFFFFF00u, true},
    {"Seen1000msAgoAcrossWrap", 0x000002E8u, 0xFFFFFF00u, false},
    {"NeverSeenLongAfterBoot", 3600000, 0, false},
};

const GateCase kHoldBackCases[] = {
    {"AtStart", 10000, 10000, false},
    {"Exactly3000", 13000, 10000, false},
    {"Past3000", 13001, 10000, true},
    {"Exactly3000AcrossWrap", 2000, 0xFFFFFC18u, false},
    {"Past3000AcrossWrap", 2001, 0xFFFFFC18u, true},
};

std::string caseName(const ::testing::TestParamInfo<GateCase>& info) {
  return info.param.name;
}

class EyeGateTable : public ::testing::TestWithParam<GateCase> {};
TEST_P(EyeGateTable, UnderOneSecond) {
  const GateCase& c = GetParam();
  EXPECT_EQ(c.open, eyesVisible(c.now, c.since));
}
INSTANTIATE_TEST_SUITE_P(MouseWindow, EyeGateTable, ::testing::ValuesIn(kEyeCases), caseName);

class HoldBackTable : public ::testing::TestWithParam<GateCase> {};
TEST_P(HoldBackTable, MoreThanThreeSeconds) {
  const GateCase& c = GetParam();
  EXPECT_EQ(c.open, holdBackOver(c.now, c.since));
}
INSTANTIATE_TEST_SUITE_P(Presentation, HoldBackTable, ::testing::ValuesIn(kHoldBackCases),
                         caseName);

// One row per rule of the schedule. The base is a quiet saver long after
// its hold-back: first frame shown, nothing on, no input.
struct ScheduleCase {
  const char* name;
  FrameSchedule schedule;
  bool drawNow;
  uint32_t waitMs;  // checked when not drawing
};

FrameSchedule quiet() {
  FrameSchedule s = {};
  s.now = 100000;
  s.holdBackStart = 10000;
  s.holdBackFrameShown = true;
  s.lastMouseMoveTime = 0;
  s.untilNextSecond = 400;
  s.nextPacedTime = 90000;
  return s;
}

template <typename Change>
FrameSchedule with(Change change) {
  FrameSchedule s = quiet();
  change(s);
  return s;
}

const ScheduleCase kScheduleCases[] = {
    {"NothingOnNoInputSleepsUntilAMessage", quiet(), false, kWaitForever},
    {"HoldBackDrawsNothingAndWaitsForItsEnd",
     with([](FrameSchedule& s) { s.holdBackStart = 99000; s.holdBackFrameShown = false; }),
     false, 2001},
    {"HoldBackIgnoresDamageAndMouse",
     with([](FrameSchedule& s) {
       s.holdBackStart = 99000; s.damaged = true; s.lastMouseMoveTime = 99990; s.fpsOn = true;
     }),
     false, 2001},
    {"FirstFrameWhenTheHoldBackEnds",
     with([](FrameSchedule& s) { s.holdBackStart = 96999; s.holdBackFrameShown = false; }),
     true, 0},
    {"PasswordHoldBackEndsWithAFrame",
     with([](FrameSchedule& s) { s.holdBackStart = 95000; s.holdBackFrameShown = false; }),
     true, 0},
    {"DamageDrawsAtOnce", with([](FrameSchedule& s) { s.damaged = true; }), true, 0},
    {"EyesUpDrawAtTheDisplayRate",
     with([](FrameSchedule& s) { s.lastMouseMoveTime = 99900; s.lastFrameShowedEyes = true;
                                 s.nextPacedTime = 100000; }),
     true, 0},
    {"EyesUpWaitForTheNextRefresh",
     with([](FrameSchedule& s) { s.lastMouseMoveTime = 99900; s.lastFrameShowedEyes = true;
                                 s.nextPacedTime = 100012; }),
     false, 12},
    {"EyesUpWakeWhenTheyAreDue",
     with([](FrameSchedule& s) { s.lastMouseMoveTime = 99005; s.lastFrameShowedEyes = true;
                                 s.nextPacedTime = 100016; }),
     false, 5},
    {"OneFrameRightAfterTheEyesGo",
     with([](FrameSchedule& s) { s.lastMouseMoveTime = 99000; s.lastFrameShowedEyes = true; }),
     true, 0},
    {"NoMoreFramesOnceTheEyesAreGone",
     with([](FrameSchedule& s) { s.lastMouseMoveTime = 99000; }), false, kWaitForever},
    {"ClockDrawsWhenItsSecondChanges",
     with([](FrameSchedule& s) { s.clockOn = true; s.clockSecondChanged = true; }), true, 0},
    {"ClockWaitsForTheWallClocksNextSecond",
     with([](FrameSchedule& s) { s.clockOn = true; }), false, 400},
    {"ClockNeverWaitsZero",
     with([](FrameSchedule& s) { s.clockOn = true; s.untilNextSecond = 0; }), false, 1},
    {"SecondChangeIgnoredWithTheClockOff",
     with([](FrameSchedule& s) { s.clockSecondChanged = true; }), false, kWaitForever},
    {"FpsCounterDrawsAtTheDisplayRate",
     with([](FrameSchedule& s) { s.fpsOn = true; s.nextPacedTime = 99990; }), true, 0},
    {"FpsCounterWaitsForTheNextRefresh",
     with([](FrameSchedule& s) { s.fpsOn = true; s.nextPacedTime = 100017; }), false, 17},
    {"ClockAndCounterWakeForWhicheverComesFirst",
     with([](FrameSchedule& s) { s.fpsOn = true; s.clockOn = true; s.nextPacedTime = 100017;
                                 s.untilNextSecond = 3; }),
     false, 3},
    {"PaceAcrossTheClockWrap",
     with([](FrameSchedule& s) { s.now = 5; s.holdBackStart = 0xFFFF0000u; s.fpsOn = true;
                                 s.nextPacedTime = 0xFFFFFFF0u; }),
     true, 0},
};

class ScheduleTable : public ::testing::TestWithParam<ScheduleCase> {};
TEST_P(ScheduleTable, DrawsOrSleeps) {
  const ScheduleCase& c = GetParam();
  FrameDecision decision = decideFrame(c.schedule);
  EXPECT_EQ(c.drawNow, decision.drawNow);
  if (!c.drawNow) {
    EXPECT_EQ(c.waitMs, decision.waitMs);
  }
}
INSTANTIATE_TEST_SUITE_P(Rules, ScheduleTable, ::testing::ValuesIn(kScheduleCases),
                         [](const ::testing::TestParamInfo<ScheduleCase>& info) {
                           return std::string(info.param.name);
                         });

// 60 frames a second means exactly 60 due times in every 1000 ms, whatever
// the anchor, also across the wrap of the clock.
TEST(PacedFrameTime, SixtyFramesInEverySecond) {
  for (uint32_t anchor : {0u, 12345u, 0xFFFFFF00u}) {
    EXPECT_EQ(anchor + 1000u, pacedFrameTime(anchor, 60, 60));
    EXPECT_EQ(anchor + 16u, pacedFrameTime(anchor, 1, 60));
    EXPECT_EQ(anchor + 33u, pacedFrameTime(anchor, 2, 60));
    EXPECT_EQ(anchor + 2000u, pacedFrameTime(anchor, 240, 120));
  }
  EXPECT_EQ(1000u, pacedFrameTime(0, 1, 0)) << "a rate of 0 must not divide by zero";
}

// The cadence keeps its slots while frames come on time, and restarts from
// a late frame instead of rushing to catch up.
TEST(FramePace, OnTimeFramesTakeTheNextSlotLateOnesRestart) {
  FramePace pace = {1000, 1, 1016};
  advancePace(&pace, 1016, 60);
  EXPECT_EQ(1033u, pace.next) << "on time: the next slot";
  advancePace(&pace, 1040, 60);
  EXPECT_EQ(1050u, pace.next) << "a few ms late: still the next slot";
  advancePace(&pace, 5000, 60);
  EXPECT_EQ(5016u, pace.next) << "after a pause: a new run from this frame";
  FramePace wrapped = {0xFFFFFFF0u, 1, 0u};
  advancePace(&wrapped, 0u, 60);
  EXPECT_EQ(0x11u, wrapped.next) << "across the wrap of the clock: anchor + 33";
}

}  // namespace
