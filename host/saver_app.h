#pragma once
// The one application object. Every run mode works on the single global
// instance `saverApp`; window and dialog procedures reach it directly.
#include <windows.h>
#include <mmsystem.h>  // timeGetTime: the one clock for elapsed times

#include "scene/overlays.h"
#include "scene/screen_quad.h"
#include "settings/setting_value.h"

class SaverApp {
 public:
  SaverApp();
  ~SaverApp();

  // Entry and run modes.
  const char* parseCommandLine();
  int runSaver(HINSTANCE instance);
  int runPreview(HINSTANCE instance);
  INT_PTR runSettingsDialog(HINSTANCE instance);
  void changePassword(HWND owner);

  // Restores the display, shows `message` in an "Error" box and exits with 1.
  [[noreturn]] void reportError(const char* message);
  void measureWindow(HWND window);
  void releaseGraphics();

  // Windows and loops.
  bool createSaverWindow(HINSTANCE instance);
  bool createPreviewWindow(HINSTANCE instance);
  int runRenderLoop();
  int runMessagePump();
  int verifyPassword(HWND window);

  // Settings store: the only access to the registry.
  SettingValue readSetting(const char* keyPath, const char* valueName);
  bool writeSetting(const char* keyPath, const char* valueName, const char* text);
  bool switchDisplayMode(HWND window, const char* modeText);

  // Scene.
  bool setUpOpenGl(HWND window, int width, int height, int colorBits);
  bool buildDisplayLists();
  bool buildResourceTexture(HWND window, unsigned textureName,
                            const char* resourceName, const char* resourceType,
                            int minFilter, int magFilter);
  bool buildDesktopSnapshot(const ScreenQuad& quad, unsigned textureName,
                            int minFilter, int magFilter);
  void drawFrame(bool showTime, bool showFps);
  void drawEyes();

  ClockOverlay clockOverlay;
  FpsCounter fpsCounter;
  ScreenQuad BackdropQuad;  // the desktop snapshot, texture 103
  HDC windowDc;             // saver window's DC, kept for the whole run
  HGLRC glContext;
  int viewportWidth;        // pixels
  int viewportHeight;
  DWORD startTime;          // timeGetTime ms; frames are presented 3000 ms after it
  DWORD lastMouseMoveTime;  // timeGetTime ms of the last mouse move the frame saw
  HWND window;              // saver or preview window; null in the other modes
  int parentWindow;         // window number from the command line, 0 if none
  int screenWidth;          // pixels: the desktop's, or the preview host's
  int screenHeight;
  int colorBits;            // never assigned: 0 lets the platform choose
  const char* settingsKeyPath;
  bool modalActive;         // an error box or password check is up
  bool showTime;
  bool showFps;
  bool screenSaverRunning;  // SPI_SETSCREENSAVERRUNNING is on
};

extern SaverApp saverApp;

// Registry key under HKEY_CURRENT_USER that the installer creates.
extern const char* const kSettingsKeyPath;

// Fixed texts of the fatal errors raised by the saver start-up.
extern const char* const kNotInstalledMessage;
