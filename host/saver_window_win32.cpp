// The full-screen saver window, its polling render loop and the frame the
// loop draws.
#include "host/saver_app.h"

#include <string.h>

#include "resources/resource_ids.h"
#include "scene/frame_gl.h"
#include "scene/frame_timing.h"

namespace {

const char kSaverClassName[] = "MainWindow";
const UINT kSaverClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;

void centreCursor() { SetCursorPos(saverApp.screenWidth / 2, saverApp.screenHeight / 2); }

LRESULT CALLBACK saverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      centreCursor();
      return 0;
    case WM_ACTIVATE:
      // Exactly 0: deactivated and not minimised. A nested modal loop (error
      // box, password dialog) takes the activation away legitimately.
      if (wParam == 0 && !saverApp.modalActive) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      if (!saverApp.modalActive && saverApp.verifyPassword(hwnd) != 0) PostQuitMessage(0);
      return 0;
    case WM_ERASEBKGND:
      // Never erased: until the first frame is presented the desktop
      // underneath stays visible, and that is what the snapshot copies.
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSCOMMAND:
      // Alt+F4 (SC_CLOSE), SC_SCREENSAVE and the rest are all swallowed.
      return 0;
    case WM_MOUSEMOVE:
      // The loop notes mouse moves as it takes them from the queue.
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

bool SaverApp::createSaverWindow(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = kSaverClassStyle;
  windowClass.lpfnWndProc = saverWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_EYE));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kSaverClassName;
  if (RegisterClassExA(&windowClass) == 0) return false;

  // WM_CREATE centres the cursor from screenWidth and screenHeight, which
  // runSaver has measured before this call.
  window = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, "Glimmerwatch",
                           WS_POPUP | WS_VISIBLE, 0, 0, screenWidth, screenHeight,
                           nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

void SaverApp::enterRenderLoop() {
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);
  screenSaverRunning = true;
  startTime = timeGetTime();
}

void SaverApp::leaveRenderLoop() {
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
  screenSaverRunning = false;
}

// The one place that decides what counts as a mouse move for the eyes.
void SaverApp::noteMouseMove(UINT message) {
  if (message == WM_MOUSEMOVE) lastMouseMoveTime = timeGetTime();
}

bool SaverApp::takeOneMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return true;
  if (message.message == WM_QUIT) {
    quitCode = static_cast<int>(message.wParam);
    return false;
  }
  // The frame only peeks at the head of the queue, so a mouse move taken
  // here would never reach it; Wine turns X motion into messages inside
  // this very call, which made the eyes miss most single moves.
  noteMouseMove(message.message);
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

// Polls and never waits: with an empty queue it draws frame after frame,
// with messages waiting it takes one per frame.
int SaverApp::runRenderLoop() {
  enterRenderLoop();
  while (takeOneMessage()) drawFrame(showTime, showFps);
  leaveRenderLoop();
  return quitCode;
}

void SaverApp::drawFrame(bool timeShown, bool fpsShown) {
  char fpsText[kFpsTextSize];
  strncpy(fpsText, fpsCounter.tickFps(), sizeof fpsText - 1);
  fpsText[sizeof fpsText - 1] = '\0';

  FrameContent content = {};
  content.backdrop = &BackdropQuad;
  content.clock = timeShown ? &clockOverlay : nullptr;
  content.fpsCounter = fpsShown ? &fpsCounter : nullptr;
  content.fpsText = fpsText;

  // Only look at the queue: the render loop takes the message next pass.
  MSG waiting;
  if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) noteMouseMove(waiting.message);
  content.eyes = eyesVisible(timeGetTime(), lastMouseMoveTime);
  if (content.eyes) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    content.cursorX = cursor.x;
    content.cursorY = cursor.y;
  }
  drawScene(content);

  // The first frames stay in the back buffer until the hold-back ends.
  finishFrame(windowDc, holdBackOver(timeGetTime(), startTime));
}
