#pragma once
// What the Win32 tests and the end-to-end driver share: the time bounds
// that widen where the program under test runs translated, polling for a
// condition instead of sleeping a fixed time, and letting the test's own
// windows paint, screenshots, the test's own windows, the registry and
// environment a test sets for a while, and the error boxes a program shows.
// Header-only: both test executables include it.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

// The GL part below is there for the tests that include the GL first.
#ifdef GL_TEXTURE_2D
#include "scene/screen_quad.h"
#include "scene/texture_sizes.h"
#endif

namespace testkit {

// How many times slower than native the program under test runs:
// GLIMMER_TIME_SCALE, set by the Wine test script where the 32-bit build
// runs as translated code. It widens the bounds that only catch slowness;
// the ones the saver's own rules set (the 3 s hold-back, the eyes' second)
// stay as they are.
inline DWORD timeScale() {
  const char* scale = getenv("GLIMMER_TIME_SCALE");
  int value = scale == nullptr ? 1 : atoi(scale);
  return value > 1 ? static_cast<DWORD>(value) : 1u;
}
// A bound that only catches slowness, widened by timeScale().
inline DWORD slack(DWORD ms) { return ms * timeScale(); }

// Lets the calling thread's windows handle what is queued for them.
inline void dispatchWaiting() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Asks `condition` every 10 ms, handling the thread's messages meanwhile,
// until it holds or `timeoutMs` passes; whether it held. The timeout is a
// bound that catches slowness: callers pass slack(...) where it is one.
template <typename Condition>
bool waitUntil(Condition condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    dispatchWaiting();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
}

// Handles the thread's messages for `ms`: only where the test must show
// that something does NOT happen within that time, or must let its own
// windows paint before the X server shows them.
inline void pumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    dispatchWaiting();
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// Whether `window` is the foreground window within `timeoutMs`: input is
// sent only to a window shown to take it.
inline bool waitForForeground(HWND window, DWORD timeoutMs) {
  return waitUntil([window] { return GetForegroundWindow() == window; }, timeoutMs);
}

// A window of this process that holds the foreground, as a program that
// starts the saver and keeps it would; null when it cannot take it.
inline HWND showForegroundHolder() {
  HWND window = CreateWindowExA(0, "STATIC", "holds the foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) return nullptr;
  SetForegroundWindow(window);
  if (waitForForeground(window, slack(2000))) return window;
  DestroyWindow(window);
  return nullptr;
}

// A picture of the screen: 0x00RRGGBB pixels, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned> pixels;
  unsigned at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A 32-bit, top-down DIB of width x height: rows as a Picture holds them.
inline BITMAPINFO topDownInfo(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A rectangle of the screen, in virtual-screen coordinates, from the
// desktop DC (which Wine reads from the X root window).
inline Picture captureArea(int left, int top, int width, int height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = topDownInfo(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
  GdiFlush();
  const unsigned* source = static_cast<const unsigned*>(bits);
  picture.pixels.assign(source, source + static_cast<size_t>(width) * height);
  for (unsigned& pixel : picture.pixels) pixel &= 0xFFFFFF;
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// The primary monitor only (the screen as single-monitor Windows knows it).
inline Picture captureScreen() {
  return captureArea(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// A window of the test over `area`, painted by `procedure`: top-most, never
// activated, as a notification or an on-screen display is. The class is
// registered on first use.
inline HWND showTestWindow(const char* className, WNDPROC procedure, int left, int top, int width,
                           int height) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);  // fails harmlessly once registered
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, className, "",
                                WS_POPUP, left, top, width, height, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return window;
}

// Whether a key of HKEY_CURRENT_USER exists.
inline bool keyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The group policy's wallpaper and its style; an empty path removes both.
inline void setPolicyWallpaper(const std::string& path, const char* style) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (path.empty()) {
    RegDeleteValueA(key, "Wallpaper");
    RegDeleteValueA(key, "WallpaperStyle");
  } else {
    RegSetValueExA(key, "Wallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() + 1));
    RegSetValueExA(key, "WallpaperStyle", 0, REG_SZ, reinterpret_cast<const BYTE*>(style),
                   static_cast<DWORD>(strlen(style) + 1));
  }
  RegCloseKey(key);
}

// An environment variable of this process (TEMP, APPDATA...), which the
// programs it starts inherit, set for as long as this lives; null removes
// it. The old value comes back afterwards, so a test that fails half-way
// leaves it as it found it for the tests after it.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    char old[1024];
    DWORD length = GetEnvironmentVariableA(name, old, sizeof(old));
    hadValue_ = length > 0 && length < sizeof(old);
    if (hadValue_) old_.assign(old, length);
    SetEnvironmentVariableA(name, value);
  }
  ~ScopedEnvironment() {
    SetEnvironmentVariableA(name_.c_str(), hadValue_ ? old_.c_str() : nullptr);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  // What the variable held before.
  const std::string& old() const { return old_; }

 private:
  std::string name_;
  std::string old_;
  bool hadValue_ = false;
};

// A window's text, asked with WM_GETTEXT: GetWindowText does not ask
// windows of other processes.
inline std::string windowText(HWND window) {
  char text[1024] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

// A message box of a process: its caption and its text.
struct MessageBoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
};

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};
inline BOOL CALLBACK collectVisibleWindow(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->pid && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

// The visible top-level windows of process `pid` (the test's own for a box
// its product code shows in process).
inline std::vector<HWND> visibleWindowsOf(DWORD pid) {
  WindowSearch search = {pid, {}};
  EnumWindows(collectVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// All message boxes the process shows at this moment.
inline std::vector<MessageBoxInfo> messageBoxes(DWORD pid) {
  std::vector<MessageBoxInfo> boxes;
  for (HWND window : visibleWindowsOf(pid)) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (strcmp(name, "#32770") != 0) continue;
    HWND text = GetDlgItem(window, 0xFFFF);  // a message box's text
    boxes.push_back({window, windowText(window), text != nullptr ? windowText(text) : ""});
  }
  return boxes;
}

// The first message box the process shows within timeoutMs (an empty one
// when none does).
inline MessageBoxInfo waitForMessageBox(DWORD pid, DWORD timeoutMs) {
  MessageBoxInfo found;
  waitUntil([&] {
    std::vector<MessageBoxInfo> boxes = messageBoxes(pid);
    if (!boxes.empty()) found = boxes.front();
    return !boxes.empty();
  }, timeoutMs);
  return found;
}

inline void pressOk(const MessageBoxInfo& box) {
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// What must hold while an error box shows; it ends the process with a code
// of its own when it does not.
typedef void (*BoxCheck)(HWND box);

struct ErrorBoxWatch {
  std::string caption;
  BoxCheck check;
  UINT noBoxCode;
};

inline DWORD WINAPI watchForErrorBox(LPVOID context) {
  const ErrorBoxWatch* watch = static_cast<const ErrorBoxWatch*>(context);
  MessageBoxInfo box;
  waitUntil([&] {
    for (const MessageBoxInfo& shown : messageBoxes(GetCurrentProcessId())) {
      if (shown.caption == watch->caption) box = shown;
    }
    return box.window != nullptr;
  }, slack(10000));
  if (box.window == nullptr) ExitProcess(watch->noBoxCode);
  if (watch->check != nullptr) watch->check(box.window);
  pressOk(box);
  return 0;
}

// For code under test that shows an error box in this very process and
// then ends it (a death-test child): a thread of its own waits for the box
// captioned `caption`, runs `check` on it while it shows and presses OK, or
// ends the process with `noBoxCode` when none shows within slack(10000) ms.
// Call it right before the code that fails. (A box of another process:
// driver::expectErrorBoxThenExit.)
inline void expectErrorBoxThenExit(BoxCheck check, UINT noBoxCode, const char* caption = "Error") {
  static ErrorBoxWatch watch;
  watch = {caption, check, noBoxCode};
  CreateThread(nullptr, 0, watchForErrorBox, &watch, 0, nullptr);
}

#ifdef GL_TEXTURE_2D

// Texels of the desktop quad's tiles, read back from the GL of the current
// context, that are not `expected(x, y)`, the colour (0x00RRGGBB) at that
// pixel of the quad; texture row 0 of a tile is its bottom row. A quad
// without tiles holds nothing right: one wrong texel. The first wrong one's
// pixel in *firstX, *firstY; in *tooLarge the tiles whose texture is larger
// than `largest` texels a side.
template <typename Expected>
int tileTexelsNot(const ScreenQuad& quad, Expected expected, int largest = 0x7FFFFFFF,
                  int* tooLarge = nullptr, int* firstX = nullptr, int* firstY = nullptr) {
  int wrong = snapshotTileCount(quad.tiles) == 0 ? 1 : 0, large = 0, wrongX = -1, wrongY = -1;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for (int i = 0; i < snapshotTileCount(quad.tiles); ++i) {
    SnapshotTile tile = snapshotTile(quad.tiles, i);
    glBindTexture(GL_TEXTURE_2D, tileTexture(quad, i));
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    if (width > largest || height > largest) ++large;
    if (width < tile.width || height < tile.height) {
      wrong += tile.width * tile.height;
      continue;
    }
    std::vector<unsigned> texels(static_cast<size_t>(width) * height);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE, texels.data());
    for (int y = 0; y < tile.height; ++y) {
      for (int x = 0; x < tile.width; ++x) {
        unsigned texel = texels[static_cast<size_t>(tile.height - 1 - y) * width + x];
        if (((texel ^ expected(tile.x + x, tile.y + y)) & 0xFFFFFFu) == 0) continue;
        if (wrong++ == 0) {
          wrongX = tile.x + x;
          wrongY = tile.y + y;
        }
      }
    }
  }
  if (tooLarge != nullptr) *tooLarge = large;
  if (firstX != nullptr) *firstX = wrongX;
  if (firstY != nullptr) *firstY = wrongY;
  return wrong;
}
#endif  // GL_TEXTURE_2D

}  // namespace testkit
