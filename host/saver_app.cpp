// The application object: construction, the exit-time release, the fatal
// error report, and the start-up sequences of the saver and the preview.
#include "host/saver_app.h"

#include <GL/gl.h>
#include <stdlib.h>

#include "settings/setting_flags.h"

const char* const kSettingsKeyPath = "Software\\Tessaly\\Glimmerwatch";
const char* const kNotInstalledMessage =
    "This program is not properly installed. Please reinstall.";

SaverApp saverApp;

SaverApp::SaverApp() {
  startTime = 0;
  window = nullptr;
  parentWindow = 0;
  settingsKeyPath = kSettingsKeyPath;
}

// Runs in the runtime's exit processing after every mode, normal or fatal.
SaverApp::~SaverApp() {
  ChangeDisplaySettingsA(nullptr, 0);
  releaseGraphics();
}

void SaverApp::releaseGraphics() {
  if (windowDc != nullptr) {
    ReleaseDC(window, windowDc);
    windowDc = nullptr;
  }
  if (glContext != nullptr) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(glContext);
    glContext = nullptr;
  }
  clockOverlay.releaseFont();
  fpsCounter.releaseFont();
}

void SaverApp::reportError(const char* message) {
  modalActive = true;
  ChangeDisplaySettingsA(nullptr, 0);
  // A saver that dies inside its loop must not leave the system believing
  // a screen saver still runs.
  if (screenSaverRunning) {
    BOOL previous = FALSE;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
    screenSaverRunning = false;
  }
  ShowCursor(TRUE);
  MessageBoxA(window, message, "Error", MB_OK);
  modalActive = false;
  exit(1);
}

void SaverApp::measureWindow(HWND target) {
  RECT rect;
  if (target != nullptr && GetWindowRect(target, &rect)) {
    screenWidth = rect.right - rect.left;
    screenHeight = rect.bottom - rect.top;
  } else {
    screenWidth = 0;
    screenHeight = 0;
  }
}

int SaverApp::runSaver(HINSTANCE instance) {
  SettingValue showTimeText = readSetting(settingsKeyPath, "Show Time");
  if (!showTimeText.ok) reportError(kNotInstalledMessage);
  if (settingFlagIsOn(showTimeText.text)) showTime = true;

  SettingValue showFpsText = readSetting(settingsKeyPath, "Show FPS");
  if (!showFpsText.ok) reportError(kNotInstalledMessage);
  if (settingFlagIsOn(showFpsText.text)) showFps = true;

  SettingValue resolution = readSetting(settingsKeyPath, "Resolution");
  if (!resolution.ok) reportError(kNotInstalledMessage);

  // Before any window exists, so the window and the GL viewport are made
  // for the new desktop size.
  if (!switchDisplayMode(window, resolution.text)) reportError("Can not change resolution");

  UpdateWindow(GetDesktopWindow());
  measureWindow(GetDesktopWindow());

  if (!createSaverWindow(instance)) reportError("Can not create window.");

  if (!setUpOpenGl(window, screenWidth, screenHeight, colorBits)) {
    reportError("Can not initialize OpenGL.");
  }
  // The eye texture, then the desktop copy: the window is up but has not
  // painted, so the screen still shows the desktop.
  if (!buildResourceTexture(window, 104, "#1000", "JPG_IMAGE", GL_LINEAR_MIPMAP_LINEAR,
                            GL_LINEAR)) {
    reportError("Can not create texture(s).");
  }
  if (!buildDesktopSnapshot(BackdropQuad, 103, GL_NEAREST, GL_NEAREST)) {
    reportError("Can not create texture(s).");
  }
  if (!buildDisplayLists()) reportError("Can not create object(s).");

  return runRenderLoop();
}

int SaverApp::runPreview(HINSTANCE instance) {
  measureWindow(reinterpret_cast<HWND>(static_cast<INT_PTR>(parentWindow)));
  if (!createPreviewWindow(instance)) reportError("Can not create window.");
  return runMessagePump();
}
