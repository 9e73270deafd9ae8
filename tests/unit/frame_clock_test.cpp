// The frame clock on the wrapping millisecond clock: its gates, its pace,
// and every rule of the render loop's schedule from any start time.
#include <gtest/gtest.h>
#include <stdint.h>

#include <random>
#include <string>
#include <vector>

#include "host/frame_clock.h"
#include "tests/param_name.h"

namespace {

struct GateCase {
  const char* name;
  uint32_t now;
  uint32_t since;  // last mouse move
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

class EyeGateTable : public ::testing::TestWithParam<GateCase> {};
TEST_P(EyeGateTable, UnderOneSecond) {
  const GateCase& c = GetParam();
  EXPECT_EQ(c.open, eyesVisible(c.now, c.since));
}
INSTANTIATE_TEST_SUITE_P(MouseWindow, EyeGateTable, ::testing::ValuesIn(kEyeCases), ParamName());

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

  // A run that never pauses (the counter on for weeks) keeps its anchor
  // within a second, so its slots still compare right after 2^32 ms.
  FramePace run = {0xFFFFF000u, 1, 0xFFFFF010u};
  uint32_t now = run.next;
  for (int frame = 0; frame < 600; ++frame) {
    advancePace(&run, now, 60);
    now = run.next;
    ASSERT_LE(run.next - run.anchor, 1016u) << "frame " << frame;
  }
  EXPECT_EQ(0xFFFFF000u + 10016u, run.next) << "ten seconds later, still exactly on the slots";
}


TEST(WallSecond, SplitsTheSystemTimeIntoTheSecondAndTheWaitForTheNext) {
  WallSecond onTheSecond = wallSecondAt(130000000000000000ull);
  EXPECT_EQ(13000000000LL, onTheSecond.second);
  EXPECT_EQ(1000u, onTheSecond.untilNext);
  WallSecond justBefore = wallSecondAt(130000000000000000ull - 10000u);
  EXPECT_EQ(12999999999LL, justBefore.second);
  EXPECT_EQ(1u, justBefore.untilNext);
}

// The render loop's schedule as scenarios played from the loop's start.
// Times are milliseconds after the start (64-bit, so a scenario can run
// longer than the 32-bit clock's cycle); the wall clock runs on its own,
// half a second into a second when the loop starts. Every scenario is
// played from start times spread over the whole 32-bit range and must give
// the same steps as its row, which is what it gives when started at 0.
enum EventKind { kAsk, kMouseMove, kPaint, kPasswordCheckEnded, kDark, kLit, kDisplayChange };

// What an ask must answer: the flags, and the wait when it does not draw.
enum : unsigned { kDraw = 1, kEyes = 2, kRestartFps = 4, kFine = 8, kRelayout = 16 };

struct Event {
  EventKind kind;
  uint64_t at;
  unsigned expected;  // flags, for asks
  uint32_t waitMs;    // for asks that do not draw
};

struct Scenario {
  const char* name;
  FrameClockSettings settings;
  std::vector<Event> events;
};

const uint64_t kWallPhase = 500;  // ms into a wall-clock second at the loop's start
const uint64_t kCycle = 1ull << 32;

Event ask(uint64_t at, unsigned expected, uint32_t waitMs = 0) {
  return {kAsk, at, expected, waitMs};
}
Event move(uint64_t at) { return {kMouseMove, at, 0, 0}; }
Event paint(uint64_t at) { return {kPaint, at, 0, 0}; }
Event passwordRefused(uint64_t at) { return {kPasswordCheckEnded, at, 0, 0}; }
Event dark(uint64_t at) { return {kDark, at, 0, 0}; }
Event lit(uint64_t at) { return {kLit, at, 0, 0}; }
Event displayChange(uint64_t at) { return {kDisplayChange, at, 0, 0}; }

const FrameClockSettings kNothingOn = {60, false, false};
const FrameClockSettings kClockOn = {60, true, false};
const FrameClockSettings kCounterOn = {60, false, true};

const Scenario kScenarios[] = {
    {"RightAfterTheStartNothingIsDueUntilTheHoldBackEnds",
     kNothingOn,
     {ask(0, 0, 3001), ask(1, 0, 3000), ask(3000, 0, 1)}},
    {"FirstFrameWhenTheHoldBackEndsThenSleepUntilAMessage",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), ask(3002, 0, kWaitForever), ask(900000, 0, kWaitForever)}},
    {"HoldBackIgnoresDamageMouseAndCounter",
     kCounterOn,
     {paint(100), move(1500), ask(1500, 0, 1501), ask(3001, kDraw | kRestartFps | kFine)}},
    {"MouseMoveInTheHoldBackShowsNoEyesAfterIt",
     kNothingOn,
     {move(1000), ask(1000, 0, 2001), ask(3001, kDraw | kRestartFps),
      ask(3002, 0, kWaitForever)}},
    {"DamageDrawsAtOnce",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), paint(5000), ask(5000, kDraw), ask(5001, 0, kWaitForever)}},
    {"EyesComeWithAMovePacedAtTheDisplayRate",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), move(5000), ask(5000, kDraw | kEyes | kFine),
      ask(5001, kEyes | kFine, 15), ask(5016, kDraw | kEyes | kFine),
      ask(5020, kEyes | kFine, 13), ask(5033, kDraw | kEyes | kFine)}},
    {"EyesWakeTheLoopWhenTheirSecondEnds",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), move(5000), ask(5000, kDraw | kEyes | kFine),
      ask(5990, kDraw | kEyes | kFine), ask(5995, kEyes | kFine, 5)}},
    {"OneFrameRightAfterTheEyesGoThenStill",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), move(5000), ask(5000, kDraw | kEyes | kFine),
      ask(6000, kDraw), ask(6001, 0, kWaitForever), ask(60000, 0, kWaitForever)}},
    {"ClockDrawsWhenItsSecondChanges",
     kClockOn,
     {ask(3001, kDraw | kRestartFps), ask(3002, 0, 498), ask(3499, 0, 1), ask(3500, kDraw),
      ask(3501, 0, 999)}},
    {"CounterPacesAtTheDisplayRateFromTheFirstFrame",
     kCounterOn,
     {ask(3001, kDraw | kRestartFps | kFine), ask(3002, kFine, 15), ask(3017, kDraw | kFine),
      ask(3020, kFine, 14), ask(3034, kDraw | kFine)}},
    {"ClockAndCounterWakeForWhicheverComesFirst",
     {60, true, true},
     {ask(3001, kDraw | kRestartFps | kFine), ask(3002, kFine, 15), ask(3017, kDraw | kFine),
      ask(3490, kDraw | kFine), ask(3499, kFine, 1)}},
    {"RefusedPasswordHoldsBackThreeSecondsAndRestartsTheCount",
     kCounterOn,
     {ask(3001, kDraw | kRestartFps | kFine), ask(3017, kDraw | kFine),
      passwordRefused(10000), ask(10000, 0, 3001), ask(13000, 0, 1),
      ask(13001, kDraw | kRestartFps | kFine), ask(13002, kFine, 15),
      ask(13017, kDraw | kFine)}},
    {"PacedFramesAfterAPauseStartAtOnce",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), move(5000), ask(5000, kDraw | kEyes | kFine),
      ask(6000, kDraw), move(kCycle / 2 + 7000), ask(kCycle / 2 + 7000, kDraw | kEyes | kFine),
      ask(kCycle / 2 + 7001, kEyes | kFine, 15)}},
    {"HoldBackStaysOverWhenTheClockComesRound",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), ask(kCycle / 2, 0, kWaitForever),
      ask(kCycle + 1000, 0, kWaitForever), paint(kCycle + 2000), ask(kCycle + 2000, kDraw)}},
    {"EyesStayGoneWhenTheClockComesRound",
     kNothingOn,
     {ask(3001, kDraw | kRestartFps), move(5000), ask(5000, kDraw | kEyes | kFine),
      ask(6000, kDraw), ask(kCycle + 5500, 0, kWaitForever)}},
    {"CounterFindsItsFrameDueAfterAFreezeOfWeeks",
     kCounterOn,
     {ask(3001, kDraw | kRestartFps | kFine), ask(3002, kFine, 15),
      ask(kCycle / 2 + 3001, kDraw | kFine), ask(kCycle / 2 + 3002, kFine, 15),
      ask(kCycle / 2 + 3017, kDraw | kFine), ask(kCycle + 9000, kDraw | kFine),
      ask(kCycle + 9001, kFine, 15)}},
    {"DarkDisplaysDrawNothingAndWakeForNothing",
     {60, true, true},
     {ask(3001, kDraw | kRestartFps | kFine), dark(4000), move(4100), paint(4200),
      ask(4200, 0, kWaitForever), ask(kCycle / 2, 0, kWaitForever)}},
    {"LitAgainDrawsAtOnceAndCountsAfresh",
     kCounterOn,
     {ask(3001, kDraw | kRestartFps | kFine), dark(4000), lit(kCycle - 100),
      ask(kCycle - 100, kDraw | kRestartFps | kFine), ask(kCycle - 99, kFine, 15)}},
    {"DarkThroughTheHoldBackThenItsFirstFrame",
     kNothingOn,
     {dark(10), ask(3500, 0, kWaitForever), lit(5000), ask(5000, kDraw | kRestartFps)}},
    {"ABurstOfChangesRelaysOutOnceItSettles",
     kClockOn,
     {ask(3001, kDraw | kRestartFps), displayChange(3100), ask(3100, 0, 400),
      displayChange(3300), ask(3301, 0, 199), ask(3500, kDraw), ask(3501, 0, 299),
      ask(3799, 0, 1), ask(3800, kRelayout), ask(3800, kDraw), ask(3801, 0, 699)}},
    {"ChangesInTheDarkRelayOutWithoutAFrame",
     kCounterOn,
     {ask(3001, kDraw | kRestartFps | kFine), dark(4000), displayChange(4000),
      ask(4000, 0, 500), ask(4500, kRelayout), ask(4500, 0, kWaitForever)}},
    {"AChangeInTheHoldBackWaitsForWhicheverComesFirst",
     kNothingOn,
     {displayChange(2800), ask(2800, 0, 201), ask(3001, kDraw | kRestartFps),
      ask(3002, 0, 298), ask(3300, kRelayout), ask(3300, kDraw)}},
};

WallSecond wallAt(uint64_t at) { return wallSecondAt((kWallPhase + at) * 10000u); }

std::string describe(const FrameStep& step) {
  std::string text = step.draw ? "draw" : "wait " + std::to_string(step.waitMs);
  if (step.eyes) text += " eyes";
  if (step.restartFpsPeriod) text += " restart-fps";
  if (step.fineTimer) text += " fine-timer";
  if (step.relayout) text = "relayout";
  return text;
}

std::string describe(unsigned expected, uint32_t waitMs) {
  FrameStep step = {};
  step.draw = (expected & kDraw) != 0;
  step.waitMs = step.draw ? 0 : waitMs;
  step.eyes = (expected & kEyes) != 0;
  step.restartFpsPeriod = (expected & kRestartFps) != 0;
  step.fineTimer = (expected & kFine) != 0;
  step.relayout = (expected & kRelayout) != 0;
  return describe(step);
}

// Plays the scenario with the loop started at `start`, drawing whenever an
// ask says so; returns one line per ask.
std::vector<std::string> play(const Scenario& scenario, uint32_t start) {
  FrameClock clock = {};
  clock.start(scenario.settings, start);
  std::vector<std::string> steps;
  for (const Event& event : scenario.events) {
    uint32_t now = start + static_cast<uint32_t>(event.at);
    switch (event.kind) {
      case kMouseMove: clock.mouseMoved(now); break;
      case kPaint: clock.windowDamaged(); break;
      case kPasswordCheckEnded: clock.passwordCheckEnded(now); break;
      case kDark: clock.displaysOff(); break;
      case kLit: clock.displaysOn(); break;
      case kDisplayChange: clock.displaysChanged(now); break;
      case kAsk: {
        FrameStep step = clock.next(now, wallAt(event.at));
        if (step.draw) clock.frameDrawn(step, now, wallAt(event.at));
        if (step.relayout) clock.relaidOut();
        steps.push_back("at +" + std::to_string(event.at) + ": " + describe(step));
        break;
      }
    }
  }
  return steps;
}

std::vector<std::string> expectedSteps(const Scenario& scenario) {
  std::vector<std::string> steps;
  for (const Event& event : scenario.events) {
    if (event.kind != kAsk) continue;
    steps.push_back("at +" + std::to_string(event.at) + ": " +
                    describe(event.expected, event.waitMs));
  }
  return steps;
}

// The named start times, where a comparison that is not made on differences
// goes wrong, and a fixed-seed sweep of others.
std::vector<uint32_t> startTimes() {
  std::vector<uint32_t> starts = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0x80000001u,
                                  0xFFFFFFFFu - 3000u, 0xFFFFFFFFu};
  std::mt19937 random(20261207u);
  for (int i = 0; i < 24; ++i) starts.push_back(static_cast<uint32_t>(random()));
  return starts;
}

class FrameClockScenario : public ::testing::TestWithParam<Scenario> {};
TEST_P(FrameClockScenario, SameStepsFromAnyStartTime) {
  const Scenario& scenario = GetParam();
  std::vector<std::string> expected = expectedSteps(scenario);
  ASSERT_EQ(expected, play(scenario, 0)) << "started at 0";
  for (uint32_t start : startTimes()) {
    EXPECT_EQ(expected, play(scenario, start)) << "started at " << start;
  }
}
INSTANTIATE_TEST_SUITE_P(Rules, FrameClockScenario, ::testing::ValuesIn(kScenarios), ParamName());

// A lost GL: made again at once, then tried again a second apart until ten
// seconds after the loss. Events: 'l'ost, 't'ried, 'r'esumed, 'p'resented,
// '?' an ask and its answer.
struct RecoveryEvent { char kind; uint32_t at; const char* answer; };
struct RecoveryScenario { const char* name; std::vector<RecoveryEvent> events; };
const RecoveryScenario kRecoveryScenarios[] = {
    {"FirstTryAtOnceThenASecondApart",
     {{'?', 0, "rebuild"}, {'l', 100, ""}, {'?', 100, "rebuild"}, {'t', 100, ""},
      {'?', 1099, "wait 1"}, {'?', 1100, "rebuild"}}},
    {"GivesUpTenSecondsAfterTheFirstLoss",
     {{'l', 0, ""}, {'l', 5000, ""}, {'t', 9500, ""}, {'?', 9999, "wait 1"}, {'?', 10000, "give-up"}}},
    {"APresentEndsTheLoss",
     {{'l', 0, ""}, {'t', 0, ""}, {'p', 500, ""}, {'l', 9000, ""}, {'?', 9000, "rebuild"},
      {'t', 18500, ""}, {'?', 18999, "wait 1"}, {'?', 19000, "give-up"}}},
    {"AResumeGivesARunningLossTheWholeTimeAgain",
     {{'l', 0, ""}, {'t', 0, ""}, {'r', 0x90000000u, ""}, {'?', 0x90000000u, "rebuild"},
      {'t', 0x90000000u + 9500, ""}, {'?', 0x90000000u + 9999, "wait 1"}}},
};

class GlRecoveryScenario : public ::testing::TestWithParam<RecoveryScenario> {};
TEST_P(GlRecoveryScenario, SameStepsFromAnyStartTime) {
  for (uint32_t start : startTimes()) {
    GlRecovery recovery;
    for (const RecoveryEvent& event : GetParam().events) {
      uint32_t now = start + event.at;
      switch (event.kind) {
        case 'l': recovery.lost(now); break;
        case 't': recovery.attempted(now); break;
        case 'r': recovery.resumed(now); break;
        case 'p': recovery.presented(); break;
        default: {
          RebuildStep step = recovery.next(now);
          EXPECT_EQ(event.answer, step.giveUp    ? "give-up"
                                  : step.rebuild ? "rebuild"
                                                 : "wait " + std::to_string(step.waitMs))
              << "at +" << event.at << ", started at " << start;
        }
      }
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Rules, GlRecoveryScenario, ::testing::ValuesIn(kRecoveryScenarios),
                         ParamName());

}  // namespace
