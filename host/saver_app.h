#pragma once
// The one application object. Every run mode works on the single global
// instance `saverApp`; window and dialog procedures reach it directly.
// The settings, display-mode and scene code it calls are free functions over
// plain data; this object turns their failures into reportError.
#include <windows.h>
#include <mmsystem.h>  // timeGetTime: the one clock for elapsed times

#include "desktop/desktop_copy_win32.h"
#include "host/frame_clock.h"
#include "platform/system_imports_win32.h"
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

enum { kMaxMonitors = 16 };

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
  void measureDesktop();
  void centreCursor();

  // Saver start-up: runs one stage; null on success, else the fixed message
  // that runSaver reports.
  const char* runStartUpStage(int stage, HINSTANCE instance);
  bool createSaverWindow(HINSTANCE instance);
  bool composeBackground();  // the user's background instead of the screen
  bool setUpOpenGl(HWND window, int width, int height);

  // Windows and loops.
  bool createPreviewWindow(HINSTANCE instance);
  int runRenderLoop();
  void enterRenderLoop();
  bool takeOneMessage();        // false once WM_QUIT is taken
  void useFineTimer(bool fine);
  // Draws the frame `step` describes into the back buffer.
  void drawFrame(const FrameStep& step);
  int verifyPassword(HWND window);
  int runMessagePump();

  // What the system tells the saver window while it runs.
  void paintWindow(HDC dc);
  void noteDisplayChange();
  void noteDisplayState(LPARAM setting);
  // Sleep and resume (WM_POWERBROADCAST's PBT_APM* codes).
  void notePowerEvent(WPARAM event);

  ClockOverlay clockOverlay = {};
  FpsCounter fpsCounter = {};
  ScreenQuad BackdropQuad = {};  // the desktop snapshot
  // The desktop as it was at start (or the background drawn in its place),
  // kept for the whole run: the window paints it until its first frame,
  // and every picture after a change of the monitors, or a new GL context,
  // is made from it.
  DesktopCopy desktopCopy;
  HDC windowDc = nullptr;         // saver window's DC, kept for the whole run
  HGLRC glContext = nullptr;
  HWND window = nullptr;          // saver or preview window; null in the other modes
  int parentWindow = 0;           // window number from the command line, 0 if none
  int screenWidth = 0;            // pixels: the desktop's (every monitor), or the preview host's
  int screenHeight = 0;
  ScreenLayout layout = {};       // the saver window over every monitor; the scene's primary
  bool modalActive = false;       // an error box or password check is up
  bool showTime = false;
  bool showFps = false;

 private:
  void measureWindow(HWND target);
  void adoptHostDpiAwareness(HWND host);
  void releaseGraphics();
  void releaseGlContext();
  bool readSaverSettings();
  bool buildEyeTexture();
  bool buildGraphics();
  bool buildBackdrop();
  void placeScene();
  void placeBackdrop();
  void followDisplayChange();
  bool recoverGraphics();
  void noteMouseMove(UINT message);
  void loseGraphics();

  const char* settingsKeyPath;
  SettingValue resolution = {};   // the stored mode text, read at start-up
  bool screenSaverRunning = false;  // SPI_SETSCREENSAVERRUNNING is on
  int quitCode = 0;               // the render loop's result: WM_QUIT's wParam, or 1
  bool shutDownDone = false;

  // The monitors now, and as they were when the desktop was copied.
  MonitorArea monitors[kMaxMonitors] = {};
  int monitorCount = 0;
  MonitorArea startMonitors[kMaxMonitors] = {};
  int startMonitorCount = 0;
  ScreenRect startBounds = {};

  // The render loop's schedule.
  FrameClock frameClock;          // what is due when, on timeGetTime's clock
  bool fineTimer = false;         // a 1 ms system timer period is asked for
  bool framePresentedOnce = false;  // the GL has shown a frame: the window no longer paints the copy
  HANDLE displayStateNotice = nullptr;  // the system's display-state registration
  bool graphicsLost = false;      // a present, a reset or a resume asks for a new GL context
  GlRecovery glRecovery;          // how long a lost GL is tried again
  bool rebuildAfterRelayout = false;  // a resume's rebuild waits for the displays to settle
  bool resumeNoted = false;       // this wake's resume was taken (cleared by the next suspend)
  // The driver's reset query where the context is told of resets, else null.
  GetGraphicsResetStatusARBProc glResetStatus = nullptr;
};

extern SaverApp saverApp;
