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
  return waitForWindow(saver.pid(), "MainWindow", slack(15000));
}

TEST_F(RunModes, SaverWindowCoversTheScreenOnTopAndCentresTheCursor) {
  SetCursorPos(7, 9);  // park it, so that centring is a visible move
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  POINT cursor;
  waitUntil([&] {
    return GetCursorPos(&cursor) && cursor.x == GetSystemMetrics(SM_CXSCREEN) / 2 &&
           cursor.y == GetSystemMetrics(SM_CYSCREEN) / 2;
  }, slack(3000));

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

  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, cursor.x);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, cursor.y);

  ASSERT_TRUE(bringToFront(window));
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver.waitExit(slack(10000)));
}

TEST_F(RunModes, OnlyEscapeEndsTheSaverAmongKeysClicksAndMoves) {
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(bringToFront(window));

  pressKey(VK_SPACE);
  pressKey('A');
  pressKey(VK_RETURN);
  clickMouse(100, 100);
  moveMouse(300, 200);
  moveMouse(310, 220);
  pressAltF4();
  // A system request to start a screen saver is swallowed too.
  PostMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  // A wait that shows the saver does NOT end.
  EXPECT_EQ(STILL_ACTIVE, saver.waitExit(1500)) << "ended by a key other than Escape";
  EXPECT_TRUE(IsWindow(window));

  ASSERT_TRUE(bringToFront(window));
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver.waitExit(slack(10000)));
}

TEST_F(RunModes, ACloseRequestFromOutsideEndsTheSaver) {
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(nullptr, window);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, saver.waitExit(slack(10000)));
}

TEST_F(RunModes, ActivationOfAnotherWindowEndsTheSaver) {
  SaverProcess saver;
  HWND window = startSaver(saver);
  ASSERT_TRUE(bringToFront(window));
  // An activation, or a deactivation with the minimised flag, is no reason
  // to end: a wait that shows it does NOT end.
  PostMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
  PostMessageA(window, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
  EXPECT_EQ(STILL_ACTIVE, saver.waitExit(1000));

  HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0,
                               50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, other);
  SetForegroundWindow(other);
  DWORD code = saver.waitExit(slack(10000));
  DestroyWindow(other);
  EXPECT_EQ(0u, code);
}

// Which value is missing, and how each mode reads them, is the Win32
// tests' (settings_store); here the box and the exit code show once per
// mode.
struct MissingValueCase {
  const char* name;
  const char* tail;  // the mode
  bool keyExists;    // else no settings at all
};

class MissingSettings : public ::testing::TestWithParam<MissingValueCase> {};

TEST_P(MissingSettings, StopBeforeAnyWindowWithTheInstallMessage) {
  const MissingValueCase& c = GetParam();
  deleteSettings();
  if (c.keyExists) writeSettings("1024x768x32", "1", nullptr);
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + c.tail));
  expectErrorBoxThenExit(saver, kNotInstalled);
  // Reading never creates nor rewrites what the installer should have made.
  EXPECT_EQ(c.keyExists, settingsKeyExists());
  if (c.keyExists) {
    EXPECT_EQ("1024x768x32", readSettingText("Resolution"));
    EXPECT_EQ("1", readSettingText("Show Time"));
    EXPECT_EQ("<missing>", readSettingText("Show FPS"));
  }
}

INSTANTIATE_TEST_SUITE_P(Install, MissingSettings,
                         ::testing::Values(MissingValueCase{"NoKey", " /s", false},
                                           MissingValueCase{"DialogWithoutShowFps", " /c", true}),
                         ParamName());

TEST_F(RunModes, UnknownSwitchesDoNothingAndExitWithZero) {
  const char* tails[] = {" /x", " //s", " -q 5"};
  for (const char* tail : tails) {
    SaverProcess saver;
    ASSERT_TRUE(saver.start(quotedSaver() + tail));
    EXPECT_EQ(0u, saver.waitExit(slack(10000))) << tail;
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
  expectErrorBoxThenExit(saver, "Can not create window.");
  DeleteFileA(dashed.c_str());
}

HWND findPreview(HWND host, DWORD timeoutMs) {
  HWND preview = nullptr;
  waitUntil([&] {
    return (preview = FindWindowExA(host, nullptr, "PreviewWindow", nullptr)) != nullptr;
  }, timeoutMs);
  return preview;
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
  HWND preview = findPreview(host, slack(15000));
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

  EXPECT_EQ(STILL_ACTIVE, saver.waitExit(500));  // does NOT end by itself
  PostMessageA(preview, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, saver.waitExit(slack(10000)));
  DestroyWindow(host);
}

TEST_F(RunModes, PreviewEndsWhenTheHostIsDestroyed) {
  HWND host = createHost();
  ASSERT_NE(nullptr, host);
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + previewTail(host)));
  ASSERT_NE(nullptr, findPreview(host, slack(15000)));
  EXPECT_EQ(STILL_ACTIVE, saver.waitExit(500));  // does NOT end by itself
  DestroyWindow(host);
  EXPECT_EQ(0u, saver.waitExit(slack(10000)));
}

// The picture stored in the .scr (152 x 112 at 24 bits), stretched over a
// window of the screen's size as the preview stretches it.
Picture storedPictureOverTheScreen() {
  Picture expected;
  HMODULE module = LoadLibraryExA(saverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(nullptr, module);
  if (module == nullptr) return expected;
  HRSRC resource = FindResourceA(module, "#2000", reinterpret_cast<LPCSTR>(RT_BITMAP));
  const BITMAPINFOHEADER* stored = resource == nullptr ? nullptr :
      static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, resource)));
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, "#2000", IMAGE_BITMAP, 0, 0, 0));
  EXPECT_NE(nullptr, stored);
  EXPECT_NE(nullptr, bitmap);
  if (stored != nullptr && bitmap != nullptr) {
    EXPECT_EQ(152, stored->biWidth);
    EXPECT_EQ(112, stored->biHeight);
    EXPECT_EQ(24, stored->biBitCount);
    expected.width = GetSystemMetrics(SM_CXSCREEN);
    expected.height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen);
    HDC target = CreateCompatibleDC(screen);
    BITMAPINFO header = testkit::topDownInfo(expected.width, expected.height);
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(source, bitmap);
    SelectObject(target, canvas);
    StretchBlt(target, 0, 0, expected.width, expected.height, source, 0, 0, 152, 112, SRCCOPY);
    GdiFlush();
    const unsigned* pixels = static_cast<const unsigned*>(bits);
    expected.pixels.assign(pixels, pixels + static_cast<size_t>(expected.width) * expected.height);
    for (unsigned& pixel : expected.pixels) pixel &= 0xFFFFFF;
    DeleteDC(source);
    DeleteDC(target);
    DeleteObject(canvas);
    ReleaseDC(nullptr, screen);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  FreeLibrary(module);
  return expected;
}

// Wine shows painting into another process's window only when that window
// is the desktop, so the picture is checked with the desktop as host.
TEST_F(RunModes, PreviewPaintsThePictureStretchedOverItsWindow) {
  Picture expected = storedPictureOverTheScreen();
  ASSERT_FALSE(expected.pixels.empty());
  HWND desktop = GetDesktopWindow();
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + previewTail(desktop)));
  HWND preview = findPreview(desktop, slack(15000));
  ASSERT_NE(nullptr, preview);
  Picture shown;
  waitUntil([&] { return psnr(shown = captureScreen(), expected) > 30.0; }, slack(5000));
  saveBitmap(shown, shotPath("preview-on-desktop"));
  EXPECT_GT(psnr(shown, expected), 30.0) << "preview does not show the stretched picture";
  PostMessageA(preview, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, saver.waitExit(slack(10000)));
}

}  // namespace
