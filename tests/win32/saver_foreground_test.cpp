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

decltype(&CreateWindowExA) realCreateWindow;
decltype(&SetForegroundWindow) realSetForeground;
decltype(&PostMessageA) realPost;
int foregroundAsks = 0;
int closeRequests = 0;

// Points user32's `name` at `to`; returns what it pointed at.
template <typename Proc>
Proc redirect(const char* name, Proc to) {
  return reinterpret_cast<Proc>(replaceImport("user32.dll", name, reinterpret_cast<void*>(to)));
}

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

// Counted, not posted: this thread's pump would end the run.
BOOL WINAPI countCloses(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_CLOSE) return realPost(window, message, wParam, lParam);
  ++closeRequests;
  return TRUE;
}

TEST(Foreground, AStartKeptFromItAsksAndTakesItAtTheFirstMouseMove) {
  HWND holder = testkit::showForegroundHolder();
  ASSERT_NE(nullptr, holder);
  realCreateWindow = redirect("CreateWindowExA", createUnactivated);
  realSetForeground = redirect("SetForegroundWindow", refuseTheFirst);
  saverApp.measureDesktop();
  bool created = saverApp.createSaverWindow(GetModuleHandleA(nullptr));
  redirect("CreateWindowExA", realCreateWindow);
  EXPECT_TRUE(created);
  EXPECT_EQ(1, foregroundAsks) << "the shown window did not ask for the foreground";
  EXPECT_EQ(holder, GetForegroundWindow());

  // The user's first move over the window is input to the saver's process.
  SendMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(testkit::waitForForeground(saverApp.window, testkit::slack(2000)));
  EXPECT_EQ(saverApp.window, GetFocus()) << "Escape would not reach the window";

  // Active without the focus, the window gets Escape as a system key.
  realPost = redirect("PostMessageA", countCloses);
  SetFocus(nullptr);
  INPUT escape[2] = {};
  escape[0].type = escape[1].type = INPUT_KEYBOARD;
  escape[0].ki.wVk = escape[1].ki.wVk = VK_ESCAPE;
  escape[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, escape, sizeof(INPUT));
  EXPECT_TRUE(testkit::waitUntil([] { return closeRequests == 1; }, testkit::slack(2000)));
  redirect("PostMessageA", realPost);
  redirect("SetForegroundWindow", realSetForeground);
  DestroyWindow(saverApp.window);
  saverApp.window = nullptr;
  UnregisterClassA("MainWindow", GetModuleHandleA(nullptr));
  DestroyWindow(holder);
}

}  // namespace
