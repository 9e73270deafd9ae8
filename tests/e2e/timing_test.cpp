// The saver's timeline, from the start to Escape, on the machine's clock
// and on shifted ones.
#include "tests/e2e/scene_shots.h"

using namespace shots;

namespace {

// The millisecond clock the saver runs on. The uptime groups of the Wine
// tests shift Wine's clocks (GLIMMER_UPTIME): "past-2^31" puts it past
// 2^31 ms, about 25 days of uptime; "wrap-in-hold-back" puts its wrap past
// 2^32 inside the saver's first 3 s. Unset, the clock is the machine's.
std::string uptimeMode() {
  const char* mode = getenv("GLIMMER_UPTIME");
  return mode == nullptr ? "" : mode;
}

// True once the wrapping clock has reached `tick`.
bool tickReached(DWORD tick) { return static_cast<LONG>(timeGetTime() - tick) >= 0; }

// When the first frame, with the clock in it, appears after the window was
// seen at `since`: between *lastWithout, when the last shot without it
// began, and the returned time; 0 when none came within 7 s (scaled).
DWORD waitForTheFirstFrame(const Picture& desktop, DWORD since, Picture* shot,
                           DWORD* lastWithout) {
  Region clock = clockCorner(desktop.height);
  *lastWithout = since;
  while (timeGetTime() - since < slack(7000)) {
    DWORD before = timeGetTime();
    *shot = captureScreen();
    if (countNew(*shot, desktop, clock, isRed) > 300) return timeGetTime();
    *lastWithout = before;
    sleepMs(20);
  }
  return 0;
}

// Checks that the clock stands where the group asked, and for the wrap
// waits until a start now puts the wrap inside the hold-back. How long the
// saver takes from its start to its loop varies with the machine's load
// (0.7 to 3 s were seen), so a first start, ended at once, measures it:
// the second start is timed to begin its loop 1.5 s before the wrap.
::testing::AssertionResult placeTheClock(const std::string& mode, const Picture& desktop) {
  DWORD now = timeGetTime();
  if (mode == "past-2^31") {
    if (now >= 0x80000000u && now < 0xFFF00000u) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the clock was not shifted past 2^31: " << now;
  }
  if (mode == "wrap-in-hold-back") {
    if (now < 0u - 120000u || now > 0u - 9000u) {
      return ::testing::AssertionFailure() << "the clock is not shortly before its wrap: " << now;
    }
    SaverProcess measured;
    DWORD started = timeGetTime();
    if (!measured.start(quotedSaver() + " /s") ||
        waitForWindow(measured.pid(), "MainWindow", slack(15000)) == nullptr) {
      return ::testing::AssertionFailure() << "the measuring start failed";
    }
    Picture shot;
    DWORD lastWithout = 0;
    DWORD firstFrame = waitForTheFirstFrame(desktop, timeGetTime(), &shot, &lastWithout);
    pressKey(VK_ESCAPE);
    measured.waitExit(slack(10000));
    if (firstFrame == 0) return ::testing::AssertionFailure() << "the measuring start drew nothing";
    DWORD toLoop = firstFrame - started > kHoldBack + 1 ? firstFrame - started - kHoldBack - 1 : 0u;
    const DWORD startAt = 0u - 1500u - toLoop;
    printf("The saver took %lu ms from its start to its loop; the next start is due at %lu\n",
           static_cast<unsigned long>(toLoop), static_cast<unsigned long>(startAt));
    if (tickReached(startAt)) {
      return ::testing::AssertionFailure() << "the clock passed " << startAt << " while measuring";
    }
    while (!tickReached(startAt)) sleepMs(5);
    return ::testing::AssertionSuccess();
  }
  if (mode.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "unknown GLIMMER_UPTIME " << mode;
}

// Everything the saver does in time, from the start to Escape, with the
// clock and the counter on. Run as is on the machine's clock, and by the
// uptime groups on a clock past 2^31 and on one that wraps in the hold-back.
TEST_F(Scene, KeepsTimeFromStartToEscape) {
  std::string mode = uptimeMode();
  writeSettings("Current resolution", "1", "1");
  ASSERT_TRUE(placeTheClock(mode, desktop_));
  DWORD started = timeGetTime();
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s")) << "error " << GetLastError();
  ASSERT_NE(nullptr, waitForWindow(saver_.pid(), "MainWindow", slack(15000)));
  DWORD windowSeen = timeGetTime();
  int w = desktop_.width, h = desktop_.height;
  Region clock = clockCorner(h), counter = counterCorner();

  // The first frame, with the clock in it, when the hold-back ends: 3 s
  // after the loop starts, which is shortly after the window appears.
  Picture shot;
  DWORD lastWithout = 0;
  DWORD firstFrame = waitForTheFirstFrame(desktop_, windowSeen, &shot, &lastWithout);
  saveBitmap(shot, shotPath("keeps-time-first-frame"));
  ASSERT_NE(0u, firstFrame) << "no frame within " << slack(7000) << " ms of the window (clock at "
                            << windowSeen << ")";
  EXPECT_GE(firstFrame - started, kHoldBack) << "a frame came inside the hold-back";
  EXPECT_LE(firstFrame - windowSeen, slack(5000)) << "the first frame came late";
  // Outside the two texts the first frame is the desktop, pixel for pixel.
  EXPECT_EQ(0, differenceOf(shot, desktop_).pixels - countDifferent(shot, desktop_, clock) -
                   countDifferent(shot, desktop_, counter))
      << "the first frame differs from the desktop outside the clock and the counter";
  if (mode == "wrap-in-hold-back") {
    // The frame came between the last shot without it and the one with it;
    // the loop started 3001 ms before. Fail only when that surely missed.
    bool startedBeforeTheWrap = started >= 0x80000000u;
    bool frameAfterIt = firstFrame < 0x80000000u;
    bool loopStartedBeforeIt = static_cast<LONG>(lastWithout - kHoldBack - 1) < 0;
    EXPECT_TRUE(startedBeforeTheWrap && frameAfterIt && loopStartedBeforeIt)
        << "the wrap did not fall inside the hold-back: started at " << started
        << ", first frame between " << lastWithout << " and " << firstFrame;
  }
  // Each text only in its own corner.
  EXPECT_EQ(0, countNew(shot, desktop_, counter, isRed)) << "red in the counter's corner";
  EXPECT_EQ(0, countNew(shot, desktop_, clock, isGreen)) << "green in the clock's corner";
  Region label = newOf(shot, desktop_, counter, isGreen).box;
  int labelStart = label.left, labelEnd = label.right - 1;
  ASSERT_GT(labelEnd, labelStart) << "no counter on the first frame";

  // The counter's first figure: its text grows to the right of "FPS:".
  DWORD figureSeen = 0;
  int figureEnd = labelEnd;
  while (timeGetTime() - firstFrame < slack(1500)) {
    shot = captureScreen();
    figureEnd = newOf(shot, desktop_, counter, isGreen).box.right - 1;
    if (figureEnd > labelEnd + 4) {
      figureSeen = timeGetTime();
      break;
    }
    sleepMs(50);
  }
  saveBitmap(shot, shotPath("keeps-time-counter"));
  EXPECT_NE(0u, figureSeen) << "the counter shows no figure " << slack(1500)
                            << " ms after the first frame";
  // Frames at the display's rate make a figure of two digits; a saver that
  // draws only when the clock's second changes shows 1 or 2. "FPS:" is four
  // glyphs; a space and one digit come to under two more. Translated code
  // draws a few frames a second: one digit is all it can show.
  double glyph = (labelEnd - labelStart) / 4.0;
  double digits = timeScale() > 1 ? 1.0 : 2.0;
  EXPECT_GT(figureEnd - labelEnd, (digits + 0.3) * glyph)
      << "the figure is one digit: under 10 frames a second (glyphs " << glyph
      << " px, figure to x " << figureEnd << ", label to x " << labelEnd << ")";

  // The clock changes every second: sampled every 100 ms for 3.3 s, its
  // picture never stays the same for much more than a second (the rest
  // of the bound is a late frame's and the sampling's).
  Picture previous = captureScreen();
  DWORD sameSince = timeGetTime(), longestSame = 0, sampling = timeGetTime();
  int changes = 0;
  while (timeGetTime() - sampling < 3300) {
    sleepMs(100);
    Picture next = captureScreen();
    DWORD now = timeGetTime();
    if (countDifferent(next, previous, clock) > 20) {
      ++changes;
      sameSince = now;
    } else if (now - sameSince > longestSame) {
      longestSame = now - sameSince;
    }
    previous = next;
  }
  EXPECT_GE(changes, 3) << "the clock changed " << changes << " times in 3.3 s";
  EXPECT_LT(longestSame, 1000u + slack(300)) << "the clock stood still for " << longestSame
                                             << " ms";

  // The eyes: within 0.5 s of a move, and gone a second after it, within
  // the same 0.5 s: both bounds beyond the second catch only slowness.
  Region middle = middleOf(w, h);
  moveMouse(w / 2 + 120, h / 2 - 90);
  DWORD moved = timeGetTime();
  DWORD eyesSeen = 0, eyesGone = 0;
  while (timeGetTime() - moved < kMouseMoveWindow + slack(1500)) {
    shot = captureScreen();
    DWORD now = timeGetTime();
    int changed = countChanged(shot, desktop_, middle);
    if (eyesSeen == 0 && changed > 5000) {
      eyesSeen = now;
      saveBitmap(shot, shotPath("keeps-time-eyes"));
    }
    if (eyesSeen != 0 && changed < 50) {
      eyesGone = now;
      break;
    }
    sleepMs(20);
  }
  ASSERT_NE(0u, eyesSeen) << "no eyes within " << kMouseMoveWindow + slack(1500)
                          << " ms of a mouse move";
  EXPECT_LE(eyesSeen - moved, slack(500)) << "the eyes came late";
  ASSERT_NE(0u, eyesGone) << "the eyes stayed for " << kMouseMoveWindow + slack(1500) << " ms";
  EXPECT_LE(eyesGone - moved, kMouseMoveWindow + slack(500)) << "the eyes stayed too long";
  printf("Timing on the clock from %lu: first frame %lu ms after the start, counter figure %lu ms "
         "after it (%.1f glyphs wide with its space), eyes after %lu ms for %lu ms\n",
         static_cast<unsigned long>(started), static_cast<unsigned long>(firstFrame - started),
         static_cast<unsigned long>(figureSeen == 0 ? 0 : figureSeen - firstFrame), (figureEnd - labelEnd) / glyph,
         static_cast<unsigned long>(eyesSeen - moved), static_cast<unsigned long>(eyesGone - moved));
  stop();
}

}  // namespace
