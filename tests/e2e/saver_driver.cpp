#include "tests/e2e/saver_driver.h"

#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

namespace driver {

const char* const kSettingsKey = "Software\\Tessaly\\Glimmerwatch";

SaverProcess::~SaverProcess() {
  kill();
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
}

bool SaverProcess::start(const std::string& commandLine, const std::string& currentDirectory,
                         const std::string& desktop) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  std::vector<char> desktopName(desktop.begin(), desktop.end());
  desktopName.push_back('\0');
  if (!desktop.empty()) startup.lpDesktop = desktopName.data();
  // Once in a CI run, on a Wine prefix made moments before, CreateProcess
  // failed for the saver although the same start worked everywhere else;
  // such a failure is before any of the saver's code runs. A start is tried
  // up to three times, and each failure is logged with its error.
  for (int attempt = 1;; ++attempt) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                       &info_)) {
      return true;
    }
    DWORD error = GetLastError();
    fprintf(stderr, "start %d of %s failed: error %lu\n", attempt, commandLine.c_str(),
            static_cast<unsigned long>(error));
    if (attempt == 3) {
      SetLastError(error);
      return false;
    }
    Sleep(500);
  }
}

DWORD SaverProcess::waitExit(DWORD timeoutMs) {
  if (info_.hProcess == nullptr) return STILL_ACTIVE;
  waitUntil([this] { return !running(); }, timeoutMs);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool SaverProcess::running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void SaverProcess::kill() {
  if (running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

std::string directoryOfTests() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of("\\/"));
}

// GLIMMER_SCR names another .scr (a Windows path): the 32-bit build's
// cases run this 64-bit driver against the 32-bit .scr, so that only the
// program under test is a 32-bit process.
std::string saverPath() {
  const char* other = getenv("GLIMMER_SCR");
  if (other != nullptr && *other != '\0') return other;
  return directoryOfTests() + "\\Glimmerwatch.scr";
}
std::string quotedSaver() { return "\"" + saverPath() + "\""; }

namespace {

struct WindowSearch {
  DWORD pid;
  const char* className;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid) return TRUE;
  if (search->className != nullptr && windowClass(window) != search->className) return TRUE;
  search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> topLevelWindows(DWORD pid, const char* className, HDESK desktop = nullptr) {
  WindowSearch search{pid, className, {}};
  if (desktop != nullptr) {
    EnumDesktopWindows(desktop, collectWindow, reinterpret_cast<LPARAM>(&search));
  } else {
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

}  // namespace

HWND waitForWindow(DWORD pid, const char* className, DWORD timeoutMs, HDESK desktop) {
  HWND window = nullptr;
  waitUntil([&] {
    std::vector<HWND> found = topLevelWindows(pid, className, desktop);
    if (!found.empty()) window = found.front();
    return window != nullptr;
  }, timeoutMs);
  return window;
}

std::string windowClass(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

void expectErrorBoxThenExit(SaverProcess& saver, const std::string& text, HWND owner,
                            DWORD exitCode, DWORD timeoutMs) {
  MessageBoxInfo box = waitForMessageBox(saver.pid(), slack(timeoutMs));
  ASSERT_NE(nullptr, box.window) << "no box saying \"" << text << "\"";
  EXPECT_EQ("Error", box.caption);
  EXPECT_EQ(text, box.text);
  EXPECT_EQ(owner, GetWindow(box.window, GW_OWNER)) << "the box's owner";
  std::vector<HWND> shown = testkit::visibleWindowsOf(saver.pid());
  std::string names;
  for (HWND window : shown) names += " " + windowClass(window) + " \"" + windowText(window) + "\"";
  EXPECT_EQ(owner != nullptr ? 2u : 1u, shown.size()) << "the program shows:" << names;
  pressOk(box);
  EXPECT_EQ(exitCode, saver.waitExit(slack(10000)));
}

bool bringToFront(HWND window) {
  if (GetForegroundWindow() != window) SetForegroundWindow(window);
  return testkit::waitForForeground(window, slack(5000));
}

void deleteSettings() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
}

namespace {
void setValue(HKEY key, const char* name, const char* text) {
  if (text == nullptr) {
    RegDeleteValueA(key, name);
    return;
  }
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(strlen(text) + 1));
}
}  // namespace

void writeSettings(const char* resolution, const char* showTime, const char* showFps) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  setValue(key, "Resolution", resolution);
  setValue(key, "Show Time", showTime);
  setValue(key, "Show FPS", showFps);
  RegCloseKey(key);
}

bool settingsKeyExists() { return keyExists(kSettingsKey); }

std::string readSettingText(const char* name) {
  char text[300] = {};
  DWORD size = sizeof(text) - 1;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "<missing>";
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string(text) : std::string("<missing>");
}

namespace {
void sendKey(WORD virtualKey, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

// Absolute positions count over the virtual screen, every monitor, so that
// a point on a second monitor is not clamped to the primary's edge. On one
// monitor the virtual screen is the primary and nothing changes.
void sendMouse(DWORD flags, int x, int y) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  input.mi.dx = MulDiv(x - left, 65535, width - 1);
  input.mi.dy = MulDiv(y - top, 65535, height - 1);
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  SendInput(1, &input, sizeof(input));
}
}  // namespace

void pressKey(WORD virtualKey) {
  sendKey(virtualKey, false);
  Sleep(30);
  sendKey(virtualKey, true);
}

void pressAltF4() {
  sendKey(VK_MENU, false);
  Sleep(30);
  sendKey(VK_F4, false);
  Sleep(30);
  sendKey(VK_F4, true);
  sendKey(VK_MENU, true);
}

namespace {
// Under Wine the saver's GetCursorPos reads the X pointer back, and while
// the full-screen saver holds the pointer grab Wine refuses to warp it for
// any other process: injected moves arrive as messages but the cursor stays
// where it was. xdotool moves the pointer the way a real mouse does.
bool moveXPointer(int x, int y) {
  static const bool underWine =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  if (!underWine || GetFileAttributesA("Z:\\usr\\bin\\xdotool") == INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  // X counts from the root window's top-left corner, which is the whole
  // desktop's: left of or above the primary monitor when another monitor
  // lies there, where Windows counts negative coordinates.
  char line[96];
  snprintf(line, sizeof(line), "Z:\\usr\\bin\\xdotool mousemove %d %d",
           x - GetSystemMetrics(SM_XVIRTUALSCREEN), y - GetSystemMetrics(SM_YVIRTUALSCREEN));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  // A Unix child's handle cannot be waited on: the move is done when Wine
  // reads the pointer there (the saver may centre it again at once, so a
  // pointer that never reads there is no failure, only the end of the wait).
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  waitUntil([x, y] {
    POINT cursor;
    return GetCursorPos(&cursor) && cursor.x == x && cursor.y == y;
  }, slack(300));
  return true;
}
}  // namespace

// The Unix path of a Windows path, through Wine's own mapping.
std::string hostPath(const std::string& windowsPath) {
  typedef char*(CDECL * UnixFileNameProc)(const WCHAR*);
  UnixFileNameProc toUnix = reinterpret_cast<UnixFileNameProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return std::string();
  std::vector<WCHAR> wide(windowsPath.size() + 1);
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(),
                      static_cast<int>(wide.size()));
  char* path = toUnix(wide.data());
  if (path == nullptr) return std::string();
  std::string result(path);
  HeapFree(GetProcessHeap(), 0, path);
  return result;
}

bool runHostCommand(const std::string& command, DWORD timeoutMs) {
  if (GetFileAttributesA("Z:\\bin\\sh") == INVALID_FILE_ATTRIBUTES) return false;
  std::string done = directoryOfTests() + "\\e2e-host-command.done";
  DeleteFileA(done.c_str());
  std::string doneUnix = hostPath(done);
  if (doneUnix.empty()) return false;
  // A Unix child's handle cannot be waited on: the shell leaves a file
  // behind once the command has ended, whatever its exit status.
  std::string line = "Z:\\bin\\sh -c \"" + command + "; : > '" + doneUnix + "'\"";
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  if (!waitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                 timeoutMs)) {
    return false;
  }
  DeleteFileA(done.c_str());
  return true;
}

bool showOnRootWindow(const Picture& picture, const std::string& name) {
  std::string file = shotPath(name);
  if (!saveBitmap(picture, file)) return false;
  std::string fileOnHost = hostPath(file);
  if (fileOnHost.empty()) return false;
  // display exits with 1 after drawing into the root window.
  return runHostCommand("display -window root '" + fileOnHost + "'", 20000);
}

void moveMouse(int x, int y) {
  if (!moveXPointer(x, y)) SetCursorPos(x, y);
  sendMouse(MOUSEEVENTF_MOVE, x, y);
}

void clickMouse(int x, int y) {
  sendMouse(MOUSEEVENTF_MOVE, x, y);
  sendMouse(MOUSEEVENTF_LEFTDOWN, x, y);
  Sleep(30);
  sendMouse(MOUSEEVENTF_LEFTUP, x, y);
}

Picture captureAllMonitors() {
  return captureArea(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

double psnr(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      double d = static_cast<double>((a.pixels[i] >> shift) & 0xFF) -
                 static_cast<double>((b.pixels[i] >> shift) & 0xFF);
      sum += d * d;
    }
  }
  double mse = sum / (static_cast<double>(a.pixels.size()) * 3.0);
  if (mse == 0.0) return 99.0;
  return 10.0 * log10(255.0 * 255.0 / mse);
}

bool saveBitmap(const Picture& picture, const std::string& path) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  int rowBytes = (picture.width * 3 + 3) & ~3;
  BITMAPFILEHEADER fileHeader = {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = picture.width;
  header.biHeight = picture.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  fileHeader.bfType = 0x4D42;
  fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(header);
  fileHeader.bfSize = fileHeader.bfOffBits + rowBytes * picture.height;
  fwrite(&fileHeader, sizeof(fileHeader), 1, file);
  fwrite(&header, sizeof(header), 1, file);
  std::vector<unsigned char> row(rowBytes, 0);
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      unsigned pixel = picture.at(x, y);
      row[x * 3 + 0] = pixel & 0xFF;
      row[x * 3 + 1] = (pixel >> 8) & 0xFF;
      row[x * 3 + 2] = (pixel >> 16) & 0xFF;
    }
    fwrite(row.data(), rowBytes, 1, file);
  }
  fclose(file);
  return true;
}

Picture loadBitmap(const std::string& path) {
  Picture picture;
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return picture;
  BITMAP size = {};
  GetObjectA(bitmap, sizeof(size), &size);
  BITMAPINFO info = testkit::topDownInfo(size.bmWidth, size.bmHeight);
  std::vector<unsigned> pixels(static_cast<size_t>(size.bmWidth) * size.bmHeight);
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, size.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  if (rows != size.bmHeight) return picture;
  for (unsigned& pixel : pixels) pixel &= 0xFFFFFF;
  picture.width = size.bmWidth;
  picture.height = size.bmHeight;
  picture.pixels.swap(pixels);
  return picture;
}

// Beside the .scr under test, so that each build keeps the shots of its own.
std::string shotPath(const std::string& name) {
  std::string saver = saverPath();
  std::string directory = saver.substr(0, saver.find_last_of("\\/")) + "\\e2e-shots";
  CreateDirectoryA(directory.c_str(), nullptr);
  return directory + "\\" + name + ".bmp";
}

void sleepMs(DWORD ms) { Sleep(ms); }

}  // namespace driver
