#pragma once
// The one application object. Every run mode works on the single global
// instance `saverApp`; window and dialog procedures reach it directly.
// The settings, display-mode and scene code it calls are free functions over
// plain data; this object turns their failures into reportError.
#include <windows.h>
#include <mmsystem.h>  // timeGetTime: the one clock for elapsed times

#include "desktop/desktop_copy_win32.h"
#include "host/frame_clock.h"
#include "scene/overlays_gl.h"
#include "scene/screen_layout.h"
#include "scene/screen_quad.h"
#include "settings/setting_value.h"

// The saver's start-up, in runSaver's order. Each stage either succeeds or
// names the fixed message that ends the program.
enum SaverStartUpStage {
  kStageSettings,      // the three stored values
  kStageModeSwitch,    // the configured display mode; the screen measured
  kStageDesktopCopy,   // the desktop copied, before anything covers it
  kStageWindow,        // the full-screen window
  kStageOpenGl,        // context, base state, overlay fonts, backdrop record
  kStageEyeTexture,    // the eye picture, decoded and uploaded
  kStageSnapshot,      // the desktop copy uploaded
  kStageDisplayLists,  // the eye sphere
  kStartUpStageCount
};

// Short name of a stage for measurements, such as "snapshot".
const char* startUpStageName(int stage);

class SaverApp {
 public:
  SaverApp();

  // Entry and run modes.
  const char* parseCommandLine();
  int runSaver(HINSTANCE instance);
  int runPreview(HINSTANCE instance);
  INT_PTR runSettingsDialog(HINSTANCE instance);
  void changePassword(HWND owner);

  // Gives back what the run took, in order, once: see saver_app_win32.cpp.
  void shutDown();
  // Shuts down, shows `message` in an "Error" box and exits with 1.
  [[noreturn]] void reportError(const char* message);
  void measureWindow(HWND window);
  void measureDesktop();
  void centreCursor();
  void releaseGraphics();

  // Saver start-up: runs one stage; null on success, else the fixed message
  // that runSaver reports.
  const char* runStartUpStage(int stage, HINSTANCE instance);
  bool readSaverSettings();
  bool buildEyeTexture();
  bool composeBackground();  // the user's background instead of the screen
  bool createSaverWindow(HINSTANCE instance);
  bool setUpOpenGl(HWND window, int width, int height, int colorBits);

  // Windows and loops.
  bool createPreviewWindow(HINSTANCE instance);
  void adoptHostDpiAwareness(HWND host);
  int runRenderLoop();
  void enterRenderLoop();
  bool takeOneMessage();        // false once WM_QUIT is taken
  void noteMouseMove(UINT message);
  void useFineTimer(bool fine);
  // Draws the frame `step` describes; the loop always presents it.
  void drawFrame(const FrameStep& step, bool present);
  int runMessagePump();
  int verifyPassword(HWND window);

  ClockOverlay clockOverlay;
  FpsCounter fpsCounter;
  ScreenQuad BackdropQuad;  // the desktop snapshot
  DesktopCopy desktopCopy;  // the desktop, shown by the window until the first frame
  HDC windowDc;             // saver window's DC, kept for the whole run
  HGLRC glContext;
  int viewportWidth;        // pixels
  int viewportHeight;
  HWND window;              // saver or preview window; null in the other modes
  int parentWindow;         // window number from the command line, 0 if none
  int screenWidth;          // pixels: the desktop's (every monitor), or the preview host's
  int screenHeight;
  ScreenLayout layout;      // the saver window over every monitor; the scene's primary
  int colorBits;            // never assigned: 0 lets the platform choose
  const char* settingsKeyPath;
  SettingValue resolution;  // the stored mode text, read at start-up
  bool modalActive;         // an error box or password check is up
  bool showTime;
  bool showFps;
  bool screenSaverRunning;  // SPI_SETSCREENSAVERRUNNING is on
  int quitCode;             // wParam of the WM_QUIT that ended the render loop

  // The render loop's schedule.
  FrameClock frameClock;          // what is due when, on timeGetTime's clock
  bool fineTimer;                 // a 1 ms system timer period is asked for
  bool shutDownDone;
};

extern SaverApp saverApp;
