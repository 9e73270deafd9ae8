// The saver's start-up and frame, measured in a program of their own.
//
// Links the same glue objects as Glimmerwatch.scr and runs the saver's own
// start-up stages, render-loop entry, message step and frame, reading
// QueryPerformanceCounter between them, so the product itself carries no
// timing code and nothing here re-types what it does. Then it draws the
// saver's frame, with the clock, the counter and the eyes, as fast as the
// frame allows, and counts the frames.
//
// Usage: glimmer_bench.exe <result-file> [warm-up ms] [measured ms] [part ms]
// A measured time of 0 stops after the start-up. With a part time, it also
// draws the frame's parts cumulatively (backdrop, then the clock, the
// counter, the eyes) for that long each, to show where a frame's time goes.
// Last, it times one overlay's glyph lists on their own.
#include <stdio.h>
#include <string.h>
#include <GL/gl.h>

#include "bench/bench_output.h"
#include "host/saver_app.h"
#include "scene/fps_count.h"
#include "scene/frame_gl.h"

namespace {

const long kDefaultWarmUpMs = 1000;
const long kDefaultMeasuredMs = 5000;

// Milliseconds from the process's creation, as the system recorded it, to
// now: the loader's share of the start-up, which no product code can touch.
double millisecondsSinceProcessCreation() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1.0;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER from, to;
  from.LowPart = created.dwLowDateTime;
  from.HighPart = created.dwHighDateTime;
  to.LowPart = now.dwLowDateTime;
  to.HighPart = now.dwHighDateTime;
  return static_cast<double>(to.QuadPart - from.QuadPart) / 10000.0;  // 100 ns units
}

// runSaver's stages in its order, each timed under stage_<name>_ms, then
// the render loop's entry and first pass. A failing stage ends the run with
// the saver's own message under "failed".
void timeStartUp(HINSTANCE instance) {
  LARGE_INTEGER begin = readCounter();
  LARGE_INTEGER stage = begin;
  for (int step = 0; step < kStartUpStageCount; ++step) {
    const char* failure = saverApp.runStartUpStage(step, instance);
    if (failure != nullptr) failBench(failure);
    char key[64];
    snprintf(key, sizeof key, "stage_%s_ms", startUpStageName(step));
    endStage(key, &stage);
  }

  // The first frame the loop would draw, left unpresented on purpose: a
  // swap would wait for the display, while finishing it with glFinish times
  // the whole of the first frame's work.
  saverApp.enterRenderLoop();
  if (!saverApp.takeOneMessage()) failBench("first frame: the window was closed");
  FrameStep first = {};
  first.draw = true;
  first.restartFpsPeriod = true;
  saverApp.drawFrame(first);
  glFinish();
  endStage("stage_first_frame_ms", &stage);

  writeNumber("startup_total_ms", millisecondsSince(begin));
}

// Draws frames for `milliseconds` back to back, each as the render loop
// draws one once the hold-back is over, with a mouse move seen every frame
// so the eyes are drawn too. The real loop paces its frames; here they are
// not paced, so the rate shows what a frame costs. Returns the number of
// frames.
long drawSteadyFrames(long milliseconds, double* elapsedMs) {
  // Every frame is presented with SwapBuffers and shows the eyes, the
  // clock and the counter, as in the steady state of a real run.
  saverApp.showTime = true;
  saverApp.showFps = true;
  FrameStep steady = {};
  steady.draw = true;
  steady.eyes = true;
  LARGE_INTEGER start = readCounter();
  long frames = 0;
  while (millisecondsSince(start) < static_cast<double>(milliseconds)) {
    if (!saverApp.takeOneMessage()) failBench("frames: the window was closed");
    saverApp.drawFrame(steady);
    presentFrame(saverApp.windowDc);
    ++frames;
  }
  // Whatever the rasteriser still has queued belongs to the counted frames.
  glFinish();
  *elapsedMs = millisecondsSince(start);
  return frames;
}

// The frame's parts in drawScene's order, each with all the ones before it.
enum FrameParts { kBackdropOnly, kPlusClock, kPlusFps, kPlusEyes, kPartCount };
const char* const kPartKeys[kPartCount] = {"part_backdrop_fps", "part_plus_clock_fps",
                                           "part_plus_counter_fps", "part_plus_eyes_fps"};

// One presented frame with only the first `parts` parts, through the
// saver's own scene and present calls; the eyes look at the screen's centre.
void drawFrameParts(int parts) {
  char fpsText[kFpsTextSize];
  strncpy(fpsText, saverApp.fpsCounter.tickFps(), sizeof fpsText - 1);
  fpsText[sizeof fpsText - 1] = '\0';
  FrameContent content = {};
  content.layout = &saverApp.layout;
  content.backdrop = &saverApp.BackdropQuad;
  content.clock = parts >= kPlusClock ? &saverApp.clockOverlay : nullptr;
  content.fpsCounter = parts >= kPlusFps ? &saverApp.fpsCounter : nullptr;
  content.fpsText = fpsText;
  content.eyes = parts >= kPlusEyes;
  content.cursorX = saverApp.screenWidth / 2;
  content.cursorY = saverApp.screenHeight / 2;
  drawScene(content);
  presentFrame(saverApp.windowDc);
}

void measureFrameParts(long milliseconds) {
  for (int parts = 0; parts < kPartCount; ++parts) {
    LARGE_INTEGER start = readCounter();
    long frames = 0;
    while (millisecondsSince(start) < static_cast<double>(milliseconds)) {
      if (!saverApp.takeOneMessage()) failBench("parts: the window was closed");
      drawFrameParts(parts);
      ++frames;
    }
    glFinish();
    writeNumber(kPartKeys[parts], static_cast<double>(frames) * 1000.0 / millisecondsSince(start));
  }
}

// Builds one more overlay's glyph lists and throws them away: the font
// share of the GL set-up stage, which builds two of them.
void measureOneOverlayFont() {
  ClockOverlay spare = {};
  OverlayPlace where = {saverApp.layout.clockX, saverApp.layout.clockBaselineY};
  LARGE_INTEGER start = readCounter();
  spare.initOverlay(saverApp.window, where);
  glFinish();
  writeNumber("font_lists_one_overlay_ms", millisecondsSince(start));
  spare.releaseFont();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  double loaderMs = millisecondsSinceProcessCreation();
  if (__argc < 2 || !openBenchOutput(__argv[1])) return 3;
  writeNumber("process_start_to_main_ms", loaderMs);
  long warmUpMs = argumentNumber(__argc, __argv, 2, kDefaultWarmUpMs);
  long measuredMs = argumentNumber(__argc, __argv, 3, kDefaultMeasuredMs);

  timeStartUp(instance);
  writeNumber("screen_width", saverApp.screenWidth);
  writeNumber("screen_height", saverApp.screenHeight);
  writeText("gl_vendor", reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
  writeText("gl_renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  writeText("gl_version", reinterpret_cast<const char*>(glGetString(GL_VERSION)));

  if (measuredMs > 0) {
    double elapsedMs = 0.0;
    drawSteadyFrames(warmUpMs, &elapsedMs);
    // Every one of these frames is swapped; bench.sh counts the presented
    // ones from outside over this interval and checks it against `frames`.
    writeWallClock("measure_start_unix_ns");
    long frames = drawSteadyFrames(measuredMs, &elapsedMs);
    writeWallClock("measure_end_unix_ns");
    writeNumber("frames", static_cast<double>(frames));
    writeNumber("frame_seconds", elapsedMs / 1000.0);
    writeNumber("fps", static_cast<double>(frames) * 1000.0 / elapsedMs);

    long partMs = argumentNumber(__argc, __argv, 4, 0);
    if (partMs > 0) measureFrameParts(partMs);
  }
  // After the frames, so the spare lists cannot slow them; part of the
  // start-up figures, so measured in every run.
  measureOneOverlayFont();

  saverApp.shutDown();
  writeText("done", "1");
  closeBenchOutput();
  return 0;
}
