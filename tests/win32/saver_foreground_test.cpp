// The saver's window and the foreground, from inside the saver's process.
// Wine activates every top-level window it shows, whoever holds the
// foreground; a start the system keeps from the foreground is made here by
// answering the window's creation and the first request for the foreground
// on their way out of this executable.
#include <gtest/gtest.h>

#include <windows.h>

#include "host/saver_app.h"
#include "tests/test_helpers_win32.h"
#include "tests/win32/import_redirect.h"

namespace {

typedef HWND(WINAPI* CreateWindowProc)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND,
                                        HMENU, HINSTANCE, LPVOID);
typedef BOOL(WINAPI* SetForegroundProc)(HWND);
CreateWindowProc realCreateWindow;
SetForegroundProc realSetForeground;
int foregroundAsks = 0;

// Shown but not activated.
HWND WINAPI createUnactivated(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x,
                              int y, int width, int height, HWND parent, HMENU menu,
                              HINSTANCE instance, LPVOID param) {
  HWND window = realCreateWindow(exStyle, className, name, style & ~WS_VISIBLE, x, y, width,
                                 height, parent, menu, instance, param);
  if (window != nullptr && (style & WS_VISIBLE)) ShowWindow(window, SW_SHOWNA);
  return window;
}

// Refused once, as for a process that neither holds the foreground nor got
// the user's last input.
BOOL WINAPI refuseTheFirst(HWND window) {
  return ++foregroundAsks == 1 ? FALSE : realSetForeground(window);
}

TEST(Foreground, AStartKeptFromItAsksAndTakesItAtTheFirstMouseMove) {
  HWND holder = CreateWindowExA(0, "STATIC", "holds the foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, holder);
  SetForegroundWindow(holder);
  ASSERT_TRUE(testkit::waitForForeground(holder, testkit::slack(2000)));
  realCreateWindow = reinterpret_cast<CreateWindowProc>(
      replaceImport("user32.dll", "CreateWindowExA", reinterpret_cast<void*>(createUnactivated)));
  realSetForeground = reinterpret_cast<SetForegroundProc>(
      replaceImport("user32.dll", "SetForegroundWindow", reinterpret_cast<void*>(refuseTheFirst)));
  saverApp.measureDesktop();
  bool created = saverApp.createSaverWindow(GetModuleHandleA(nullptr));
  replaceImport("user32.dll", "CreateWindowExA", reinterpret_cast<void*>(realCreateWindow));
  EXPECT_TRUE(created);
  EXPECT_EQ(1, foregroundAsks) << "the shown window did not ask for the foreground";
  EXPECT_EQ(holder, GetForegroundWindow());

  // The user's first move over the window is input to the saver's process.
  SendMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(testkit::waitForForeground(saverApp.window, testkit::slack(2000)));
  EXPECT_EQ(saverApp.window, GetFocus()) << "Escape would not reach the window";

  replaceImport("user32.dll", "SetForegroundWindow", reinterpret_cast<void*>(realSetForeground));
  DestroyWindow(saverApp.window);
  saverApp.window = nullptr;
  UnregisterClassA("MainWindow", GetModuleHandleA(nullptr));
  DestroyWindow(holder);
}

}  // namespace
