// The saver's start-up and frame, measured in a program of their own.
//
// Links the same glue objects as Glimmerwatch.scr and calls the SaverApp
// functions in the order runSaver does, reading QueryPerformanceCounter
// between them, so the product itself carries no timing code. Then it draws
// the saver's frame, with the clock, the counter and the eyes, as fast as the
// render loop would, and counts the frames.
//
// Usage: glimmer_bench.exe <result-file> [warm-up ms] [measured ms] [part ms]
// With a part time, it also draws the frame's parts cumulatively (backdrop,
// then the clock, the counter, the eyes) for that long each, to show where a
// frame's time goes; and it times one overlay's glyph lists on their own.
#include <stdlib.h>
#include <string.h>
#include <GL/gl.h>

#include "bench/bench_output.h"
#include "host/saver_app.h"
#include "scene/fps_count.h"
#include "scene/screen_space.h"
#include "settings/setting_flags.h"

namespace {

const long kDefaultWarmUpMs = 1000;
const long kDefaultMeasuredMs = 5000;
const DWORD kLongAfterHoldBack = 10000;  // ms; see drawSteadyFrames

// What the render loop does with the queue in one pass: one message taken
// and dispatched. Returns false once WM_QUIT arrives.
bool takeOneMessage() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    if (message.message == WM_MOUSEMOVE) saverApp.lastMouseMoveTime = timeGetTime();
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

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

// runSaver's sequence, stage by stage, with its error checks.
void startUpAsRunSaver(HINSTANCE instance) {
  LARGE_INTEGER begin = readCounter();
  LARGE_INTEGER stage = begin;

  SettingValue showTimeText = saverApp.readSetting(saverApp.settingsKeyPath, "Show Time");
  if (!showTimeText.ok) failBench("settings");
  if (settingFlagIsOn(showTimeText.text)) saverApp.showTime = true;
  SettingValue showFpsText = saverApp.readSetting(saverApp.settingsKeyPath, "Show FPS");
  if (!showFpsText.ok) failBench("settings");
  if (settingFlagIsOn(showFpsText.text)) saverApp.showFps = true;
  SettingValue resolution = saverApp.readSetting(saverApp.settingsKeyPath, "Resolution");
  if (!resolution.ok) failBench("settings");
  endStage("stage_settings_ms", &stage);

  if (!saverApp.switchDisplayMode(saverApp.window, resolution.text)) failBench("mode switch");
  UpdateWindow(GetDesktopWindow());
  saverApp.measureWindow(GetDesktopWindow());
  endStage("stage_mode_switch_ms", &stage);

  if (!saverApp.createSaverWindow(instance)) failBench("window");
  endStage("stage_window_ms", &stage);

  if (!saverApp.setUpOpenGl(saverApp.window, saverApp.screenWidth, saverApp.screenHeight,
                            saverApp.colorBits)) {
    failBench("opengl");
  }
  endStage("stage_gl_fonts_ms", &stage);

  if (!saverApp.buildResourceTexture(saverApp.window, 104, "#1000", "JPG_IMAGE",
                                     GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR)) {
    failBench("eye texture");
  }
  endStage("stage_eye_texture_ms", &stage);

  if (!saverApp.buildDesktopSnapshot(saverApp.BackdropQuad, 103, GL_NEAREST, GL_NEAREST)) {
    failBench("snapshot");
  }
  endStage("stage_snapshot_ms", &stage);

  if (!saverApp.buildDisplayLists()) failBench("display lists");
  endStage("stage_display_list_ms", &stage);

  // The render loop's entry and its first pass. The frame is still inside
  // the hold-back, so drawFrame finishes it with glFinish: the time is the
  // whole of the first frame's work.
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);
  saverApp.screenSaverRunning = true;
  saverApp.startTime = timeGetTime();
  if (!takeOneMessage()) failBench("first frame");
  saverApp.drawFrame(saverApp.showTime, saverApp.showFps);
  endStage("stage_first_frame_ms", &stage);

  writeNumber("startup_total_ms", millisecondsSince(begin));
}

// Draws frames for `milliseconds` the way the render loop does once the
// hold-back is over, with a mouse move seen every frame so the eyes are
// drawn too. Returns the number of frames.
long drawSteadyFrames(long milliseconds, double* elapsedMs) {
  // Far past the hold-back, so every frame is presented with SwapBuffers
  // as in the steady state of a real run.
  saverApp.startTime = timeGetTime() - kLongAfterHoldBack;
  LARGE_INTEGER start = readCounter();
  long frames = 0;
  while (millisecondsSince(start) < static_cast<double>(milliseconds)) {
    if (!takeOneMessage()) failBench("frames: the window was closed");
    saverApp.lastMouseMoveTime = timeGetTime();
    saverApp.drawFrame(true, true);
    ++frames;
  }
  // Whatever the rasteriser still has queued belongs to the counted frames.
  glFinish();
  *elapsedMs = millisecondsSince(start);
  return frames;
}

// The frame's parts in drawFrame's order, each with all the ones before it.
enum FrameParts { kBackdropOnly, kPlusClock, kPlusFps, kPlusEyes, kPartCount };
const char* const kPartKeys[kPartCount] = {"part_backdrop_fps", "part_plus_clock_fps",
                                           "part_plus_counter_fps", "part_plus_eyes_fps"};

void drawFrameParts(int parts) {
  char fpsText[kFpsTextSize];
  strncpy(fpsText, saverApp.fpsCounter.tickFps(), sizeof fpsText - 1);
  fpsText[sizeof fpsText - 1] = '\0';
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  if (parts >= kPlusClock) saverApp.clockOverlay.drawClock();
  if (parts >= kPlusFps) saverApp.fpsCounter.drawFps(fpsText);
  drawBackdrop(saverApp.BackdropQuad);
  if (parts >= kPlusEyes) saverApp.drawEyes();
  SwapBuffers(saverApp.windowDc);
}

void measureFrameParts(long milliseconds) {
  for (int parts = 0; parts < kPartCount; ++parts) {
    LARGE_INTEGER start = readCounter();
    long frames = 0;
    while (millisecondsSince(start) < static_cast<double>(milliseconds)) {
      if (!takeOneMessage()) failBench("parts: the window was closed");
      drawFrameParts(parts);
      ++frames;
    }
    glFinish();
    writeNumber(kPartKeys[parts], static_cast<double>(frames) * 1000.0 / millisecondsSince(start));
  }
}

// Builds one more overlay's 96 glyph lists and throws them away: the font
// share of the GL set-up stage, which builds two of them.
void measureOneOverlayFont() {
  ClockOverlay spare = {};
  LARGE_INTEGER start = readCounter();
  spare.initOverlay(saverApp.window);
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

  startUpAsRunSaver(instance);
  writeNumber("screen_width", saverApp.screenWidth);
  writeNumber("screen_height", saverApp.screenHeight);
  writeText("gl_vendor", reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
  writeText("gl_renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  writeText("gl_version", reinterpret_cast<const char*>(glGetString(GL_VERSION)));

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
  if (partMs > 0) {
    measureOneOverlayFont();
    measureFrameParts(partMs);
  }

  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
  saverApp.screenSaverRunning = false;
  writeText("done", "1");
  closeBenchOutput();
  // SaverApp's destructor puts the display mode back and releases GL.
  return 0;
}
