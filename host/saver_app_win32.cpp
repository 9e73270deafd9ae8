// The application object: construction, the one shutdown, the fatal error
// report, and the start-up sequences of the saver and the preview.
#include "host/saver_app.h"

#include <stdlib.h>
#include <GL/gl.h>

#include "desktop/changed_desktop_win32.h"
#include "desktop/desktop_background_win32.h"
#include "desktop/ole_picture_win32.h"
#include "desktop/picture_sources.h"
#include "host/display_power_win32.h"
#include "host/command_line.h"
#include "host/monitors_win32.h"
#include "platform/failure_report_win32.h"
#include "resources/resource_ids.h"
#include "scene/gl_context_gl.h"
#include "scene/gl_names.h"
#include "scene/textures_gl.h"
#include "settings/display_mode_win32.h"
#include "settings/setting_flags.h"
#include "settings/setting_names.h"
#include "settings/settings_dialog_win32.h"
#include "settings/settings_store_win32.h"

SaverApp saverApp;

namespace {

const char kTextureFailure[] = "Can not create texture(s).";

const char* const kStageNames[kStartUpStageCount] = {
    "settings",    "mode_switch", "desktop_copy", "window",
    "gl_fonts",    "eye_texture", "snapshot",     "display_list"};

// The dialog's way out on a fatal error: the same report as everywhere.
void reportDialogError(const char* message) { saverApp.reportError(message); }

}  // namespace

const char* startUpStageName(int stage) {
  return stage >= 0 && stage < kStartUpStageCount ? kStageNames[stage] : "";
}

SaverApp::SaverApp() : settingsKeyPath(kSettingsKeyPath) {}

// The one way out of every mode, from WinMain's return and from
// reportError; it runs once, whichever comes first. What the user and the
// rest of the system feel goes first: the display mode, the screen-saver
// state (a saver that dies inside its loop must not leave the system
// believing one still runs), the 1 ms system timer. Then the GL objects, in
// the reverse order of their making.
void SaverApp::shutDown() {
  if (shutDownDone) return;
  shutDownDone = true;
  restoreDisplayMode();
  if (screenSaverRunning) {
    BOOL previous = FALSE;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
    screenSaverRunning = false;
  }
  useFineTimer(false);
  unregisterDisplayState(displayStateNotice);
  displayStateNotice = nullptr;
  releaseDesktopCopy(&desktopCopy);
  releaseGraphics();
}

// The font lists go while their context is current (GL calls without one
// are silently lost), then the context. A lost context takes its lists
// with it, and the calls are then harmless.
void SaverApp::releaseGlContext() {
  if (glContext == nullptr) return;
  makeGlContextCurrent(windowDc, glContext);
  clockOverlay.releaseFont();
  fpsCounter.releaseFont();
  deleteGlContext(glContext);
  glContext = nullptr;
}

// The GL context, then the DC it was made on.
void SaverApp::releaseGraphics() {
  releaseGlContext();
  if (windowDc != nullptr) {
    ReleaseDC(window, windowDc);
    windowDc = nullptr;
  }
}

void SaverApp::reportError(const char* message) {
  modalActive = true;
  // Everything is given back before the box: the user may leave it open
  // indefinitely, and the process ends right after it.
  shutDown();
  ShowCursor(TRUE);
  MessageBoxA(window, message, "Error", MB_OK);
  modalActive = false;
  exit(1);
}

// The preview lives inside its host's client area: a host with a border
// or a caption would crop a child the size of its outer rectangle.
void SaverApp::measureWindow(HWND target) {
  RECT rect;
  if (target != nullptr && GetClientRect(target, &rect)) {
    screenWidth = rect.right - rect.left;
    screenHeight = rect.bottom - rect.top;
  } else {
    screenWidth = 0;
    screenHeight = 0;
  }
}

// The saver covers every monitor: the window is the bounds of them all.
void SaverApp::measureDesktop() {
  monitorCount = listMonitors(monitors, kMaxMonitors);
  layout = screenLayout(monitors, monitorCount);
  screenWidth = layout.window.right - layout.window.left;
  screenHeight = layout.window.bottom - layout.window.top;
}

// The middle of the primary monitor, whose top-left corner is the desktop's
// origin.
void SaverApp::centreCursor() {
  SetCursorPos((layout.primary.right - layout.primary.left) / 2,
               (layout.primary.bottom - layout.primary.top) / 2);
}

const char* SaverApp::parseCommandLine() {
  return parseCommandLineText(GetCommandLineA(), &parentWindow);
}

bool SaverApp::readSaverSettings() {
  SettingValue showTimeText = readSetting(settingsKeyPath, kShowTimeValue);
  if (!showTimeText.ok) return false;
  if (settingFlagIsOn(showTimeText.text)) showTime = true;

  SettingValue showFpsText = readSetting(settingsKeyPath, kShowFpsValue);
  if (!showFpsText.ok) return false;
  if (settingFlagIsOn(showFpsText.text)) showFps = true;

  resolution = readSetting(settingsKeyPath, kResolutionValue);
  return resolution.ok;
}

// Also makes every new context after a reset, on the DC kept from the
// first.
bool SaverApp::setUpOpenGl(HWND targetWindow, int width, int height) {
  // On failure nothing is undone here: the caller ends the process, and the
  // exit-time release takes the DC back.
  if (windowDc == nullptr) windowDc = GetDC(targetWindow);
  if (windowDc == nullptr) {
    reportFailure("OpenGL set-up", "GetDC gave no DC for the window");
    return false;
  }
  glContext = createGlContext(windowDc, &glResetStatus);
  if (glContext == nullptr) return false;
  setUpSceneState(width, height, layout.eyesWidth, layout.eyesHeight);
  clockOverlay.initOverlay(targetWindow, {layout.clockX, layout.clockBaselineY});
  fpsCounter.initOverlay(targetWindow, {layout.fpsX, layout.fpsBaselineY});
  BackdropQuad.texture = kSnapshotTexture;
  placeBackdrop();
  return true;
}

// The backdrop covers the window, which covers every monitor.
void SaverApp::placeBackdrop() {
  BackdropQuad.left = layout.window.left;
  BackdropQuad.top = layout.window.top;
  BackdropQuad.width = screenWidth;
  BackdropQuad.height = screenHeight;
}

// Where the scene's parts go on the window as `layout` has it now: the
// viewport, the texts on the primary monitor, the backdrop over all.
void SaverApp::placeScene() {
  placeSceneViewport(screenWidth, screenHeight, layout.eyesWidth, layout.eyesHeight);
  clockOverlay.moveOverlay(window, {layout.clockX, layout.clockBaselineY});
  fpsCounter.moveOverlay(window, {layout.fpsX, layout.fpsBaselineY});
  placeBackdrop();
}

// The backdrop for the monitors now, made from the start picture: itself
// while every monitor shows what it showed at start, else a picture with
// the background on the changed ones, held only for its upload.
bool SaverApp::buildBackdrop() {
  PictureSource sources[kMaxMonitors];
  pictureSources(startMonitors, startMonitorCount, startBounds, monitors, monitorCount, sources);
  if (picturesUnchanged(sources, monitorCount, startBounds, layout.window)) {
    return buildDesktopSnapshot(&BackdropQuad, desktopCopy.bits, desktopCopy.width,
                                desktopCopy.height);
  }
  DesktopCopy picture;
  if (!composeChangedDesktop(desktopCopy, monitors, sources, monitorCount, layout.window,
                             &picture)) {
    return false;
  }
  bool built = buildDesktopSnapshot(&BackdropQuad, picture.bits, picture.width, picture.height);
  releaseDesktopCopy(&picture);
  return built;
}

// Everything the GL holds, on a new context: the driver may have been reset
// (after sleep, a remote session, an update), taking the old one's
// textures and lists with it. False when the system gives no new one.
bool SaverApp::buildGraphics() {
  releaseGlContext();
  if (!setUpOpenGl(window, screenWidth, screenHeight)) return false;
  requestSwapInterval(1);
  return buildEyeTexture() && buildBackdrop() && buildEyeSphereList();
}

// The monitors have settled after a change: the window covers them as they
// are now, and the picture follows. A change that left them as they were
// (a mode set and set back) only repaints.
void SaverApp::followDisplayChange() {
  MonitorArea previous[kMaxMonitors];
  int previousCount = monitorCount;
  CopyMemory(previous, monitors, sizeof(previous));
  measureDesktop();
  if (sameMonitors(previous, previousCount, monitors, monitorCount)) {
    // A monitor that dropped out and came back within the settle leaves the
    // list as it was, but the system may have moved the window meanwhile.
    SetWindowPos(window, nullptr, layout.window.left, layout.window.top, screenWidth,
                 screenHeight, SWP_NOACTIVATE | SWP_NOZORDER);
    return;
  }
  // Windows moves windows off a monitor that went away and does not resize
  // a full-screen one: the saver must cover the new desktop itself.
  SetWindowPos(window, HWND_TOPMOST, layout.window.left, layout.window.top, screenWidth,
               screenHeight, SWP_NOACTIVATE);
  placeScene();
  frameClock.settings.refreshRate = usableRefreshRate(currentRefreshRate());
  // A lost GL gets the whole picture with its rebuild; a context the driver
  // reset would lose the upload.
  if (graphicsLost) return;
  if (glContextWasReset(glResetStatus) || !buildBackdrop()) loseGraphics();
}

// A new context with everything in it; on failure the loss goes on, and
// the loop tries again while the recovery allows.
bool SaverApp::recoverGraphics() {
  if (!buildGraphics()) return false;
  graphicsLost = false;
  frameClock.windowDamaged();
  return true;
}

// The copy's stand-in where the screen is not the user's desktop. Started
// by the system, a saver runs on a desktop of its own, which keeps the
// user's windows from it; a copy of that screen shows black or a plain
// colour. The user's background, colour and wallpaper, is the closest
// picture of the desktop the system lets the saver have. Taken as well
// when the system refuses the copy.
bool SaverApp::composeBackground() {
  return composeDesktopBackground(monitors, monitorCount, layout.window, &desktopCopy);
}

// The eye picture from the program's resources, decoded at the window's
// resolution into a DIB that lives only for the upload.
bool SaverApp::buildEyeTexture() {
  DesktopCopy picture;
  if (!decodeOleResourcePicture(window, MAKEINTRESOURCEA(IDR_EYE_JPEG), "JPG_IMAGE",
                                largestTextureSide(), &picture)) {
    return false;
  }
  bool built = buildPictureTexture(kEyeTexture, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR,
                                   picture.width, picture.height, picture.bits);
  releaseDesktopCopy(&picture);
  return built;
}

const char* SaverApp::runStartUpStage(int stage, HINSTANCE instance) {
  switch (stage) {
    case kStageSettings:
      return readSaverSettings() ? nullptr : kNotInstalledMessage;
    case kStageModeSwitch: {
      // Before any window exists, so the window and the GL viewport are
      // made for the new desktop size.
      ModeSwitchResult result = switchDisplayMode(resolution.text);
      if (result == kModeTooFewColours) return kLowColourMessage;
      if (result == kModeRefused) return "Can not change resolution";
      UpdateWindow(GetDesktopWindow());
      measureDesktop();
      return nullptr;
    }
    case kStageDesktopCopy:
      // Before the window exists: once it is up, a compositing window
      // manager shows it black until its first frame, and a copy of the
      // screen would hold that black instead of the desktop.
      CopyMemory(startMonitors, monitors, sizeof(startMonitors));
      startMonitorCount = monitorCount;
      startBounds = layout.window;
      return (runsOnUsersDesktop() && copyDesktop(layout.window.left, layout.window.top,
                                                  screenWidth, screenHeight, &desktopCopy)) ||
                     composeBackground()
                 ? nullptr
                 : kTextureFailure;
    case kStageWindow:
      return createSaverWindow(instance) ? nullptr : "Can not create window.";
    case kStageOpenGl:
      return setUpOpenGl(window, screenWidth, screenHeight)
                 ? nullptr
                 : "Can not initialize OpenGL.";
    case kStageEyeTexture:
      return buildEyeTexture() ? nullptr : kTextureFailure;
    case kStageSnapshot:
      return buildBackdrop() ? nullptr : kTextureFailure;
    case kStageDisplayLists:
      return buildEyeSphereList() ? nullptr : "Can not create object(s).";
    default:
      return nullptr;
  }
}

int SaverApp::runSaver(HINSTANCE instance) {
  for (int stage = 0; stage < kStartUpStageCount; ++stage) {
    const char* failure = runStartUpStage(stage, instance);
    if (failure == nullptr) continue;
    reportFailure("start-up", "the %s stage failed", startUpStageName(stage));
    reportError(failure);
  }
  return runRenderLoop();
}

int SaverApp::runPreview(HINSTANCE instance) {
  HWND host = reinterpret_cast<HWND>(static_cast<INT_PTR>(parentWindow));
  adoptHostDpiAwareness(host);
  measureWindow(host);
  if (!createPreviewWindow(instance)) reportError("Can not create window.");
  return runMessagePump();
}

INT_PTR SaverApp::runSettingsDialog(HINSTANCE instance) {
  // No saver window exists in this mode, so the dialog has no owner; the
  // window number after the c switch is deliberately not used.
  return showSettingsDialog(instance, window, settingsKeyPath, reportDialogError);
}

// Waits for messages: the preview sits in the control panel for as long as
// it is open, and a spinning pump would keep a processor core busy.
int SaverApp::runMessagePump() {
  MSG message;
  BOOL result;
  while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (result == -1) {
      // GetMessageA fails only on arguments it cannot use; the preview
      // cannot go on then.
      reportSystemFailure("preview message pump", "GetMessageA", GetLastError());
      reportError("Can not create window.");
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
