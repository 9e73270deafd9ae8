#pragma once
// Drives the real Glimmerwatch.scr from outside, as the screen-saver host
// and a user would: starts it with a command line, finds its windows and
// error boxes, types and moves the mouse, reads the screen and the
// registry. Runs under Wine in the same private prefix and X display as the
// program under test.
#include <windows.h>

#include <string>
#include <vector>

#include "host/frame_clock.h"
#include "tests/test_helpers_win32.h"

namespace driver {

// What the Win32 tests share with the driver.
using testkit::captureArea;
using testkit::captureScreen;
using testkit::keyExists;
using testkit::MessageBoxInfo;
using testkit::messageBoxes;
using testkit::Picture;
using testkit::pressOk;
using testkit::ScopedEnvironment;
using testkit::setPolicyWallpaper;
using testkit::slack;
using testkit::timeScale;
using testkit::waitForMessageBox;
using testkit::waitUntil;
using testkit::windowText;

// From the saver's window appearing to its first frame at the latest: the
// hold-back, and the textures built before it starts.
const DWORD kUntilPresented = kHoldBack + 1500;

// A started .scr. Ends the process on destruction if it is still running,
// so a failing test leaves nothing behind.
class SaverProcess {
 public:
  SaverProcess() = default;
  ~SaverProcess();
  SaverProcess(const SaverProcess&) = delete;
  SaverProcess& operator=(const SaverProcess&) = delete;

  // Starts `commandLine` exactly as given (program path included), on the
  // named desktop ("WinSta0\\Screen-saver") if one is given.
  bool start(const std::string& commandLine, const std::string& currentDirectory = "",
             const std::string& desktop = "");
  // Exit code, or STILL_ACTIVE when it did not end within timeoutMs. The
  // test's own windows (a host, an owner the program was given) handle
  // their messages meanwhile, as live windows do: the program may send
  // them some and wait for the answer.
  DWORD waitExit(DWORD timeoutMs);
  bool running() const;
  void kill();
  DWORD pid() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_ = {};
};

// The .scr next to the test executable, quoted for a command line.
std::string saverPath();
std::string quotedSaver();
std::string directoryOfTests();

// First top-level window of `pid` with that class (null: any class) that
// appears within timeoutMs, on `desktop` (null: the caller's).
HWND waitForWindow(DWORD pid, const char* className, DWORD timeoutMs, HDESK desktop = nullptr);
std::string windowClass(HWND window);

// The program stops with one box captioned "Error" saying `text`, owned by
// `owner` (null: no owner) and beside nothing else of the program's on
// screen (the owner apart); OK ends it with `exitCode`. The wait for the box
// is a bound that catches slowness.
void expectErrorBoxThenExit(SaverProcess& saver, const std::string& text, HWND owner = nullptr,
                            DWORD exitCode = 1, DWORD timeoutMs = 15000);

// Makes `window` the foreground window and waits until it is: keys go to
// the foreground, so they are sent only to a window shown to be there.
bool bringToFront(HWND window);

// Settings under HKEY_CURRENT_USER\Software\Tessaly\Glimmerwatch.
extern const char* const kSettingsKey;
void deleteSettings();
void writeSettings(const char* resolution, const char* showTime, const char* showFps);
bool settingsKeyExists();
// The value's text, or "<missing>".
std::string readSettingText(const char* name);

// Real input through the system's input queue.
void pressKey(WORD virtualKey);
void pressAltF4();
void clickMouse(int x, int y);
void moveMouse(int x, int y);

// Every monitor: the whole virtual screen (its top-left pixel first, which
// is 0,0 only when no monitor lies left of or above the primary).
Picture captureAllMonitors();
// Peak signal-to-noise ratio in dB over all channels; 99 for identical.
double psnr(const Picture& a, const Picture& b);
// Writes a 24-bit BMP, for looking at what a test saw.
bool saveBitmap(const Picture& picture, const std::string& path);
// Reads a BMP; an empty picture when it cannot.
Picture loadBitmap(const std::string& path);
// Where tests put their screenshots (the build's e2e-shots folder).
std::string shotPath(const std::string& name);

// Runs a shell command on the machine that runs Wine and waits until it has
// ended; false when that cannot be done (not under Wine) or on timeout.
bool runHostCommand(const std::string& command, DWORD timeoutMs);
// The path on the machine that runs Wine of a Windows path; empty when not
// under Wine.
std::string hostPath(const std::string& windowsPath);
// Makes the X root window, the live desktop under every window, show the
// picture (saved as the shot `name` on the way); false when it could not.
// Windows drawn over the root keep their pixels: only where nothing covers
// the desktop does the change show.
bool showOnRootWindow(const Picture& picture, const std::string& name);

void sleepMs(DWORD ms);

// The screen once two shots in a row agree, so that what a window that just
// went (the last test's saver) leaves behind has been repainted.
inline Picture settledScreen(Picture (*capture)() = captureScreen) {
  Picture last = capture();
  waitUntil([&] {
    Picture next = capture();
    bool same = next.pixels == last.pixels;
    last = next;
    return same;
  }, slack(3000));
  return last;
}

}  // namespace driver
