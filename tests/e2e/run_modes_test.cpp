// The run modes of the real .scr under Wine: the saver window and what ends
// it, the preview in a host window, the error box of a broken installation
// and the switches that do nothing.
#include <gtest/gtest.h>

#include "tests/e2e/saver_driver.h"
#include "tests/param_name.h"

using namespace driver;

namespace {

const char kNotInstalled[] = "This program is not properly installed. Please reinstall.";

class RunModes : public ::testing::Test {
 protected:
  void SetUp() override { writeSettings("Current resolution", "0", "0"); }
};

// Waits for the saver window of `saver`, or fails the test.
HWND startSaver(SaverProcess& saver, const std::string& tail = " /s") {
  if (!saver.start(quotedSaver() + tail)) return nullptr;
  return waitForWindow(saver.pid(), "MainWindow", 15000);
}

TEST_F(RunModes, SaverWindowCoversTheScreenOnTopAndCentresTheCursor) {
  SetCursorPos(7, 9);  // park it, so that centring is a visible move
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  sleepMs(500);

  EXPECT_EQ("Glimmerwatch", windowText(window));
  LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_EQ(WS_POPUP | WS_VISIBLE, style & (WS_POPUP | WS_VISIBLE | WS_CHILD | WS_CAPTION));
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rect.right);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), rect.bottom);

  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, cursor.x);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, cursor.y);

  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver.waitExit(10000));
}

TEST_F(RunModes, OnlyEscapeEndsTheSaverAmongKeysClicksAndMoves) {
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  SetForegroundWindow(window);
  sleepMs(500);

  pressKey(VK_SPACE);
  pressKey('A');
  pressKey(VK_RETURN);
  clickMouse(100, 100);
  moveMouse(300, 200);
  moveMouse(310, 220);
  pressAltF4();
  // A system request to start a screen saver is swallowed too.
  PostMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  EXPECT_EQ(STILL_ACTIVE, saver.waitExit(1500)) << "ended by a key other than Escape";
  EXPECT_TRUE(IsWindow(window));

  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver.waitExit(10000));
}

TEST_F(RunModes, ACloseRequestFromOutsideEndsTheSaver) {
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  sleepMs(300);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, saver.waitExit(10000));
}

TEST_F(RunModes, ActivationOfAnotherWindowEndsTheSaver) {
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  sleepMs(500);
  // An activation, or a deactivation with the minimised flag, is no reason
  // to end.
  PostMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
  PostMessageA(window, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
  EXPECT_EQ(STILL_ACTIVE, saver.waitExit(1000));

  HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0,
                               50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, other);
  SetForegroundWindow(other);
  DWORD code = STILL_ACTIVE;
  for (int i = 0; i < 100 && code == STILL_ACTIVE; ++i) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    code = saver.waitExit(100);
  }
  DestroyWindow(other);
  EXPECT_EQ(0u, code);
}

struct MissingValueCase {
  const char* name;
  const char* resolution;
  const char* showTime;
  const char* showFps;
};

class MissingSettings : public ::testing::TestWithParam<MissingValueCase> {};

TEST_P(MissingSettings, StopBeforeAnyWindowWithTheInstallMessage) {
  const MissingValueCase& c = GetParam();
  if (c.resolution == nullptr && c.showTime == nullptr && c.showFps == nullptr) {
    deleteSettings();
  } else {
    writeSettings(c.resolution, c.showTime, c.showFps);
  }
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + " /s"));
  MessageBoxInfo box = waitForMessageBox(saver.pid(), 15000);
  ASSERT_NE(nullptr, box.window);
  EXPECT_EQ("Error", box.caption);
  EXPECT_EQ(kNotInstalled, box.text);
  EXPECT_EQ(nullptr, GetWindow(box.window, GW_OWNER)) << "the box must have no owner";
  EXPECT_EQ(nullptr, waitForWindow(saver.pid(), "MainWindow", 0));
  pressOk(box);
  EXPECT_EQ(1u, saver.waitExit(10000));
  // Reading never creates what the installer should have made.
  if (c.resolution == nullptr && c.showTime == nullptr && c.showFps == nullptr) {
    EXPECT_FALSE(settingsKeyExists());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Install, MissingSettings,
    ::testing::Values(MissingValueCase{"NoKey", nullptr, nullptr, nullptr},
                      MissingValueCase{"NoShowTime", "Current resolution", nullptr, "0"},
                      MissingValueCase{"NoShowFps", "Current resolution", "0", nullptr},
                      MissingValueCase{"NoResolution", nullptr, "1", "1"}),
    ParamName());

TEST_F(RunModes, UnknownSwitchesDoNothingAndExitWithZero) {
  const char* tails[] = {" /x", " //s", " -q 5"};
  for (const char* tail : tails) {
    SaverProcess saver;
    ASSERT_TRUE(saver.start(quotedSaver() + tail));
    EXPECT_EQ(0u, saver.waitExit(10000)) << tail;
    EXPECT_EQ(nullptr, waitForWindow(saver.pid(), nullptr, 0)) << tail;
  }
}

// A command line passed through CreateProcess reaches the program as is;
// an unquoted path whose name holds a dash must still preview, not start
// the full-screen saver.
TEST_F(RunModes, DashInsideAnUnquotedPathIsNotTheSwitch) {
  std::string dashed = directoryOfTests() + "\\MY-SAVER.scr";
  ASSERT_TRUE(CopyFileA(saverPath().c_str(), dashed.c_str(), FALSE));
  SaverProcess saver;
  // Window 0 is no window: a preview stops with its own message, where the
  // full-screen saver would have opened MainWindow.
  ASSERT_TRUE(saver.start(dashed + " /p 0"));
  MessageBoxInfo box = waitForMessageBox(saver.pid(), 15000);
  EXPECT_EQ("Can not create window.", box.text);
  EXPECT_EQ(nullptr, waitForWindow(saver.pid(), "MainWindow", 0));
  pressOk(box);
  EXPECT_EQ(1u, saver.waitExit(10000));
  DeleteFileA(dashed.c_str());
}

// Keeps the host window of this process responsive while waiting.
DWORD waitPumping(SaverProcess& saver, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    DWORD code = saver.waitExit(20);
    if (code != STILL_ACTIVE || GetTickCount() - start >= timeoutMs) return code;
  }
}

HWND findPreview(HWND host, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    HWND child = FindWindowExA(host, nullptr, "PreviewWindow", nullptr);
    if (child != nullptr) return child;
    Sleep(20);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

HWND createHost() {
  return CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 240,
                         nullptr, nullptr, nullptr, nullptr);
}

std::string previewTail(HWND host) {
  return " /p " + std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(host)));
}

TEST_F(RunModes, PreviewFillsItsHostAndEndsOnClose) {
  HWND host = createHost();
  ASSERT_NE(nullptr, host);
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + previewTail(host)));
  HWND preview = findPreview(host, 15000);
  ASSERT_NE(nullptr, preview);

  // Exactly the host's client area: the host has a caption and a border.
  RECT client, previewRect;
  GetClientRect(host, &client);
  MapWindowPoints(host, nullptr, reinterpret_cast<POINT*>(&client), 2);
  GetWindowRect(preview, &previewRect);
  EXPECT_TRUE(EqualRect(&client, &previewRect))
      << "client " << client.left << "," << client.top << "-" << client.right << ","
      << client.bottom << ", preview " << previewRect.left << "," << previewRect.top << "-"
      << previewRect.right << "," << previewRect.bottom;
  EXPECT_TRUE(GetWindowLongA(preview, GWL_STYLE) & WS_CHILD);

  EXPECT_EQ(STILL_ACTIVE, waitPumping(saver, 500));
  PostMessageA(preview, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, waitPumping(saver, 10000));
  DestroyWindow(host);
}

TEST_F(RunModes, PreviewEndsWhenTheHostIsDestroyed) {
  HWND host = createHost();
  ASSERT_NE(nullptr, host);
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + previewTail(host)));
  ASSERT_NE(nullptr, findPreview(host, 15000));
  EXPECT_EQ(STILL_ACTIVE, waitPumping(saver, 500));
  DestroyWindow(host);
  EXPECT_EQ(0u, waitPumping(saver, 10000));
}

TEST_F(RunModes, PreviewOfNoWindowReportsIt) {
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + " /p 0"));
  MessageBoxInfo box = waitForMessageBox(saver.pid(), 15000);
  EXPECT_EQ("Error", box.caption);
  EXPECT_EQ("Can not create window.", box.text);
  pressOk(box);
  EXPECT_EQ(1u, saver.waitExit(10000));
}

// Wine shows painting into another process's window only when that window
// is the desktop, so the picture is checked with the desktop as host.
TEST_F(RunModes, PreviewPaintsThePictureStretchedOverItsWindow) {
  HWND desktop = GetDesktopWindow();
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + previewTail(desktop)));
  HWND preview = FindWindowExA(desktop, nullptr, "PreviewWindow", nullptr);
  for (int i = 0; i < 300 && preview == nullptr; ++i) {
    Sleep(50);
    preview = FindWindowExA(desktop, nullptr, "PreviewWindow", nullptr);
  }
  ASSERT_NE(nullptr, preview);
  sleepMs(1500);
  Picture shown = captureScreen();
  saveBitmap(shown, shotPath("preview-on-desktop"));

  // The expected picture: the same bitmap from the .scr, stretched the same way.
  HMODULE module = LoadLibraryExA(saverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, "#2000", IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(nullptr, bitmap);
  // The stored picture itself: 152 x 112 at 24 bits.
  HRSRC resource = FindResourceA(module, "#2000", reinterpret_cast<LPCSTR>(RT_BITMAP));
  ASSERT_NE(nullptr, resource);
  const BITMAPINFOHEADER* stored =
      static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, resource)));
  ASSERT_NE(nullptr, stored);
  EXPECT_EQ(152, stored->biWidth);
  EXPECT_EQ(112, stored->biHeight);
  EXPECT_EQ(24, stored->biBitCount);

  Picture expected = shown;
  HDC screen = GetDC(nullptr);
  HDC source = CreateCompatibleDC(screen);
  HDC target = CreateCompatibleDC(screen);
  BITMAPINFO header = {};
  header.bmiHeader.biSize = sizeof(header.bmiHeader);
  header.bmiHeader.biWidth = shown.width;
  header.bmiHeader.biHeight = -shown.height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP canvas = CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(source, bitmap);
  SelectObject(target, canvas);
  StretchBlt(target, 0, 0, shown.width, shown.height, source, 0, 0, 152, 112, SRCCOPY);
  GdiFlush();
  const unsigned* pixels = static_cast<const unsigned*>(bits);
  for (size_t i = 0; i < expected.pixels.size(); ++i) expected.pixels[i] = pixels[i] & 0xFFFFFF;
  DeleteDC(source);
  DeleteDC(target);
  DeleteObject(canvas);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  FreeLibrary(module);

  double match = psnr(shown, expected);
  EXPECT_GT(match, 30.0) << "preview does not show the stretched picture";
  PostMessageA(preview, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, saver.waitExit(10000));
}

}  // namespace
