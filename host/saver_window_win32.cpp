// The full-screen saver window and its window procedure. The loop that
// draws into it is in render_loop_win32.cpp.
#include "host/saver_app.h"

#include "desktop/desktop_copy_win32.h"
#include "host/window_class_win32.h"
#include "platform/failure_report_win32.h"
#include "resources/resource_ids.h"

namespace {

const char kSaverClassName[] = "MainWindow";

LRESULT CALLBACK saverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      saverApp.centreCursor();
      return 0;
    case WM_ACTIVATE:
      // Exactly 0: deactivated and not minimised. A nested modal loop (error
      // box, password dialog) takes the activation away legitimately.
      if (wParam == 0 && !saverApp.modalActive) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      if (!saverApp.modalActive && saverApp.verifyPassword(hwnd) != 0) PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      // Until the first frame, the desktop as it was copied: without a
      // compositor that repeats what the screen shows anyway, and with one
      // the window would otherwise show black through the hold-back. After
      // it, the loop redraws the whole window once the hold-back allows.
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (saverApp.desktopCopy.bitmap != nullptr) paintDesktopCopy(dc, saverApp.desktopCopy);
      EndPaint(hwnd, &paint);
      saverApp.frameClock.windowDamaged();
      return 0;
    }
    case WM_ERASEBKGND:
      // Never erased: until the first frame is presented the window shows
      // the desktop (WM_PAINT paints the copy over what is still there).
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
  // No class cursor: WM_SETCURSOR sets the arrow itself.
  if (!registerWindowClass(instance, kSaverClassName, saverWindowProc,
                           LoadIconA(instance, MAKEINTRESOURCEA(IDI_EYE)), nullptr)) {
    return false;
  }

  // Over every monitor. WM_CREATE centres the cursor on the primary one,
  // which runSaver has measured before this call.
  window = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, "Glimmerwatch",
                           WS_POPUP | WS_VISIBLE, layout.window.left, layout.window.top,
                           screenWidth, screenHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    reportSystemFailure("window", "CreateWindowExA", GetLastError());
    return false;
  }
  ShowWindow(window, SW_SHOW);
  // Painted at once, not when the loop first looks at the queue seconds later.
  UpdateWindow(window);
  return true;
}
