// The settings dialog and the display-mode switch of the real .scr under
// Wine. On the 1024x768 true-colour Xvfb screen Wine lists 1024x768 at 32,
// 16 and 8 bits (no 24-bit modes), and accepts a change only to that size.
#include <ctype.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/saver_driver.h"
#include "tests/param_name.h"

using namespace driver;

namespace {

const char kCannotChange[] = "Can not change resolution";
const char kLowColour[] =
    "This program must be run either in high (16 bpp) or in true (32 bpp) color. Change your "
    "display settings prior to running this program again.";

// What the dialog offers on this screen, in list order.
const std::vector<std::string> kScreenEntries = {"Current resolution", "1024x768x32",
                                                 "1024x768x16"};

// The visible "Settings" dialog of `pid`, or null.
HWND waitForSettingsDialog(DWORD pid, DWORD timeoutMs) {
  HWND dialog = nullptr;
  waitUntil([&] {
    dialog = waitForWindow(pid, "#32770", 0);
    return dialog != nullptr && IsWindowVisible(dialog) && windowText(dialog) == "Settings";
  }, timeoutMs);
  return dialog != nullptr && IsWindowVisible(dialog) && windowText(dialog) == "Settings"
             ? dialog
             : nullptr;
}

// What the user sees in the dialog's controls.
struct DialogView {
  std::vector<std::string> entries;
  int selected = CB_ERR;
  bool showTime = false;
  bool showFps = false;
};

DialogView readDialog(HWND dialog) {
  DialogView view;
  HWND combo = GetDlgItem(dialog, IDC_RESOLUTION);
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    // Across processes only the W message brings the whole text back.
    wchar_t wide[260] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
    char text[260] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    view.entries.push_back(text);
  }
  view.selected = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
  view.showTime = SendDlgItemMessageA(dialog, IDC_SHOW_TIME, BM_GETCHECK, 0, 0) == BST_CHECKED;
  view.showFps = SendDlgItemMessageA(dialog, IDC_SHOW_FPS, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return view;
}

// A real mouse click in the middle of a control of the dialog.
void clickControl(HWND dialog, int id) {
  RECT rect;
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  clickMouse((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

void expectSettings(const char* resolution, const char* showTime, const char* showFps) {
  EXPECT_EQ(resolution, readSettingText("Resolution"));
  EXPECT_EQ(showTime, readSettingText("Show Time"));
  EXPECT_EQ(showFps, readSettingText("Show FPS"));
}

class SettingsDialog : public ::testing::Test {
 protected:
  // Starts the dialog over the given stored values; null (the test fails)
  // when it does not show in front, where clicks and keys reach it.
  HWND open(const char* resolution, const char* showTime, const char* showFps,
            const std::string& tail = " /c") {
    writeSettings(resolution, showTime, showFps);
    if (!saver_.start(quotedSaver() + tail)) return nullptr;
    HWND dialog = waitForSettingsDialog(saver_.pid(), slack(15000));
    return dialog != nullptr && bringToFront(dialog) ? dialog : nullptr;
  }

  SaverProcess saver_;
};

struct StoredCase {
  const char* name;
  const char* resolution;
  const char* showTime;
  const char* showFps;
  int selected;  // CB_ERR: the list shows no choice
  bool showTimeChecked;
  bool showFpsChecked;
};

const StoredCase kStoredCases[] = {
    {"CurrentResolutionIsEntryZero", "Current resolution", "0", "1", 0, false, true},
    {"StoredTrueColourModeSelected", "1024x768x32", "1", "0", 1, true, false},
    {"StoredHighColourModeSelected", "1024x768x16", "1", "1", 2, true, true},
    {"CaseBlindPrefixFindsFirstEntryAfterZero", "1024X768", "0", "0", 1, false, false},
    {"ModeNotOnThisScreenLeavesListEmpty", "1280x1024x32", "0", "0", CB_ERR, false, false},
    {"OnlyExactOneChecksABox", "1024x768x32", " 1", "01", 1, false, false},
};

class StoredSettings : public SettingsDialog,
                       public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredSettings, ShowInTheDialogAndCancelWritesNothing) {
  const StoredCase& c = GetParam();
  HWND dialog = open(c.resolution, c.showTime, c.showFps);
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER)) << "the dialog has no owner";

  DialogView view = readDialog(dialog);
  EXPECT_EQ(kScreenEntries, view.entries);
  EXPECT_EQ(c.selected, view.selected);
  EXPECT_EQ(c.showTimeChecked, view.showTime);
  EXPECT_EQ(c.showFpsChecked, view.showFps);

  // Change everything, then cancel: the stored texts stay byte for byte.
  SendDlgItemMessageA(dialog, IDC_RESOLUTION, CB_SETCURSEL, 2, 0);
  clickControl(dialog, IDC_SHOW_TIME);
  clickControl(dialog, IDC_SHOW_FPS);
  clickControl(dialog, IDC_CANCEL);
  EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
  expectSettings(c.resolution, c.showTime, c.showFps);
}

INSTANTIATE_TEST_SUITE_P(Dialog, StoredSettings, ::testing::ValuesIn(kStoredCases), ParamName());

struct CloseCase {
  const char* name;
  bool viaCloseBox;  // else the Escape key, which must not close
};

class ClosingWithoutOk : public SettingsDialog, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingWithoutOk, WritesNothing) {
  const CloseCase& c = GetParam();
  HWND dialog = open("1024x768x32", "1", "0");
  ASSERT_NE(nullptr, dialog);
  SendDlgItemMessageA(dialog, IDC_RESOLUTION, CB_SETCURSEL, 0, 0);
  clickControl(dialog, IDC_SHOW_TIME);
  clickControl(dialog, IDC_SHOW_FPS);

  if (c.viaCloseBox) {
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else {
    ASSERT_TRUE(bringToFront(dialog));
    pressKey(VK_ESCAPE);
    // A wait that shows the dialog does NOT close.
    EXPECT_EQ(STILL_ACTIVE, saver_.waitExit(1500)) << "Escape closed the dialog";
    EXPECT_TRUE(IsWindowVisible(dialog));
    expectSettings("1024x768x32", "1", "0");
    clickControl(dialog, IDC_CANCEL);
  }
  EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
  expectSettings("1024x768x32", "1", "0");
}

INSTANTIATE_TEST_SUITE_P(Dialog, ClosingWithoutOk,
                         ::testing::Values(CloseCase{"CloseBox", true},
                                           CloseCase{"EscapeThenCancel", false}),
                         ParamName());

struct OkCase {
  const char* name;
  const char* storedResolution;
  const char* storedShowFps;
  int select;  // entry to pick, or CB_ERR to leave the list alone
  bool toggleTime;
  bool toggleFps;
  bool viaEnter;  // else a click on OK
  const char* resolution;
  const char* showTime;
  const char* showFps;
};

const OkCase kOkCases[] = {
    {"ClickWritesPickedModeAndBothFlags", "1024x768x32", "0", 2, false, true, false,
     "1024x768x16", "0", "1"},
    {"EnterActsAsOk", "1024x768x16", "0", 0, true, false, true, "Current resolution", "1", "0"},
    {"UncheckedBoxWritesZeroOverOddText", "1024x768x32", "yes", CB_ERR, false, false, false,
     "1024x768x32", "0", "0"},
    {"NoSelectionKeepsStoredModeAndWritesFlags", "1280x1024x32", "yes", CB_ERR, true, false,
     false, "1280x1024x32", "1", "0"},
};

class OkButton : public SettingsDialog, public ::testing::WithParamInterface<OkCase> {};

TEST_P(OkButton, WritesTheDialogsChoices) {
  const OkCase& c = GetParam();
  HWND dialog = open(c.storedResolution, "0", c.storedShowFps);
  ASSERT_NE(nullptr, dialog);
  if (c.select != CB_ERR) SendDlgItemMessageA(dialog, IDC_RESOLUTION, CB_SETCURSEL, c.select, 0);
  if (c.toggleTime) clickControl(dialog, IDC_SHOW_TIME);
  if (c.toggleFps) clickControl(dialog, IDC_SHOW_FPS);
  if (c.viaEnter) {
    ASSERT_TRUE(bringToFront(dialog));
    pressKey(VK_RETURN);
  } else {
    clickControl(dialog, IDC_OK);
  }
  EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
  expectSettings(c.resolution, c.showTime, c.showFps);
}

INSTANTIATE_TEST_SUITE_P(Dialog, OkButton, ::testing::ValuesIn(kOkCases), ParamName());

TEST_F(SettingsDialog, NoSwitchAndAWindowNumberAfterCOpenTheSameDialog) {
  for (const char* tail : {"", " /c:1234", " -C 99"}) {
    SaverProcess saver;
    writeSettings("1024x768x16", "1", "1");
    ASSERT_TRUE(saver.start(quotedSaver() + tail));
    HWND dialog = waitForSettingsDialog(saver.pid(), slack(15000));
    ASSERT_NE(nullptr, dialog) << tail;
    EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER)) << tail;
    EXPECT_EQ(2, readDialog(dialog).selected) << tail;
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, saver.waitExit(slack(10000))) << tail;
  }
}

struct SwitchCase {
  const char* name;
  const char* resolution;
  bool starts;  // else "Can not change resolution" and exit code 1
};

// How a text parses is the unit tables' (mode_text); here the system's
// answer to a mode it lists, to the desktop's own, and to one it does not.
const SwitchCase kSwitchCases[] = {
    {"ListedHighColourMode", "1024x768x16", true},
    {"CurrentResolution", "Current resolution", true},
    {"SizeTheScreenDoesNotList", "1280x1024x32", false},
};

class DisplaySwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(DisplaySwitch, StartsTheSaverOrRefuses) {
  const SwitchCase& c = GetParam();
  writeSettings(c.resolution, "0", "0");
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + " /s"));
  if (c.starts) {
    HWND window = waitForWindow(saver.pid(), "MainWindow", slack(15000));
    ASSERT_NE(nullptr, window);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(1024, rect.right - rect.left);
    EXPECT_EQ(768, rect.bottom - rect.top);
    EXPECT_TRUE(messageBoxes(saver.pid()).empty());
    ASSERT_TRUE(bringToFront(window));
    pressKey(VK_ESCAPE);
    EXPECT_EQ(0u, saver.waitExit(slack(10000)));
  } else {
    expectErrorBoxThenExit(saver, kCannotChange);  // before any saver window
  }
  // The screen is back at its own size either way.
  EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
}

INSTANTIATE_TEST_SUITE_P(Saver, DisplaySwitch, ::testing::ValuesIn(kSwitchCases), ParamName());

// Runs on an 8-bit screen: the depth is refused before the stored mode is
// even looked at, also when it names a mode this screen lists.
class Depth8DisplaySwitch : public ::testing::TestWithParam<const char*> {};

TEST_P(Depth8DisplaySwitch, RefusesTheDesktopDepthFirst) {
  writeSettings(GetParam(), "0", "0");
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + " /s"));
  expectErrorBoxThenExit(saver, kLowColour);
}

INSTANTIATE_TEST_SUITE_P(Depth8Screen, Depth8DisplaySwitch,
                         ::testing::Values("1024x768x32", "1024x768x8", "Current resolution",
                                           "1280x1024x32"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name;
                           for (const char* p = info.param; *p != '\0'; ++p) {
                             name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
