// The full-screen saver window and its window procedure. The loop that
// draws into it is in render_loop_win32.cpp.
#include "host/saver_app.h"

#include "host/display_power_win32.h"
#include "host/window_place.h"
#include "host/window_class_win32.h"
#include "platform/failure_report_win32.h"
#include "resources/resource_ids.h"

namespace {

const char kSaverClassName[] = "MainWindow";
// Windows 8.1's message for a window whose monitor's DPI changed; the build
// targets older systems, whose headers lack it.
const UINT kDpiChanged = 0x02E0;

LRESULT CALLBACK saverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      saverApp.centreCursor();
      return 0;
    case WM_ACTIVATE:
      // Exactly 0: deactivated and not minimised. A nested modal loop (error
      // box, password dialog) takes the activation away legitimately.
      if (wParam == 0 && !saverApp.modalActive) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      // Activated, however late (a click, Alt+Tab, a foreground the system
      // refused at start and gave later): the keys come to the window.
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) SetFocus(hwnd);
      return 0;
    case WM_WINDOWPOSCHANGING: {
      // The window stays over every monitor whoever moves it: Windows puts
      // windows back where they were when a monitor returns, and a strip of
      // the live desktop would show beside the frozen one. The z-order is
      // the system's to keep.
      WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      WindowMove asked = {pos->x, pos->y, pos->cx, pos->cy, (pos->flags & SWP_NOMOVE) != 0,
                          (pos->flags & SWP_NOSIZE) != 0};
      WindowMove kept = guardedMove(asked, saverApp.layout.window);
      pos->x = kept.x;
      pos->y = kept.y;
      pos->cx = kept.width;
      pos->cy = kept.height;
      pos->flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
      if (kept.keepsPlace) pos->flags |= SWP_NOMOVE;
      if (kept.keepsSize) pos->flags |= SWP_NOSIZE;
      return 0;
    }
    case WM_CLOSE:
      if (!saverApp.modalActive && saverApp.verifyPassword(hwnd) != 0) PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      saverApp.paintWindow(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_DISPLAYCHANGE:
    case kDpiChanged:
      // The saver lays itself out again; the suggested rectangle of a DPI
      // change is for windows of one monitor.
      saverApp.noteDisplayChange();
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == kPowerSettingChange) saverApp.noteDisplayState(lParam);
      saverApp.notePowerEvent(wParam);
      return TRUE;
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
    case WM_SYSKEYDOWN:
      // An active window without the focus gets its keys as system keys:
      // Escape without Alt is still Escape.
      if (wParam == VK_ESCAPE && (lParam & (1 << 29)) == 0) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
      }
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SYSCOMMAND:
      // The system asks before it powers a monitor down; a saver must never
      // keep it lit. Alt+F4 (SC_CLOSE), SC_SCREENSAVE and the rest are
      // swallowed.
      if ((wParam & 0xFFF0) == SC_MONITORPOWER) return DefWindowProcA(hwnd, message, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      // The loop notes mouse moves as it takes them from the queue. A
      // window the system kept from the foreground at start asks again:
      // the process that gets the user's input may take it.
      if (!saverApp.modalActive && GetForegroundWindow() != hwnd) SetForegroundWindow(hwnd);
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
  // Started by a program that keeps the foreground (a scheduler, a hot-key
  // tool, a launcher that starts it through a second process), the window
  // is shown but not activated, and Escape would go to that program. The
  // system may still refuse; the window then takes the keys once it is
  // activated (see WM_ACTIVATE and WM_MOUSEMOVE).
  SetForegroundWindow(window);
  return true;
}
