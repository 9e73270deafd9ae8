// The password hooks of the real .scr under Wine: the close check on both
// system families and the change-password mode. The system's two password
// services are replaced by doubles built with the tests (tests/doubles),
// copied into the prefix's system folder for one test and removed after it.
// The doubles write what they were asked into calls.log of a control folder
// and answer as its files tell them (see tests/doubles/double_record.h).
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/saver_driver.h"
#include "tests/e2e/scene_shots.h"
#include "tests/param_name.h"

using namespace driver;

namespace {

const char kPasswordCplMessage[] = "Can not load library 'password.cpl'.";
const char kMprMessage[] = "Can not load library mpr.dll";

std::string systemFolder() {
  char path[MAX_PATH] = {};
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  return std::string(path, length);
}

std::string builtDouble(const char* relativePath) {
  return directoryOfTests() + "\\doubles\\" + relativePath;
}

std::string hex(HWND window) {
  char text[32];
  snprintf(text, sizeof(text), "%llx",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return text;
}

// Sleeps until `ms` have passed since `start` (GetTickCount), if not yet.
void sleepUntil(DWORD start, DWORD ms) {
  DWORD elapsed = GetTickCount() - start;
  if (elapsed < ms) sleepMs(ms - elapsed);
}

bool sameText(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Share of pixels that are black, 0..1.
double blackShare(const Picture& picture) {
  if (picture.pixels.empty()) return 0.0;
  size_t black = 0;
  for (unsigned pixel : picture.pixels) {
    if (((pixel >> 16) & 0xFF) < 24 && ((pixel >> 8) & 0xFF) < 24 && (pixel & 0xFF) < 24) ++black;
  }
  return static_cast<double>(black) / static_cast<double>(picture.pixels.size());
}

// A file put in place for one test. Whatever was there before (Wine's own
// placeholder mpr.dll, say) is set aside and comes back afterwards; a copy
// set aside by an earlier run that died is kept, not overwritten.
class PlacedFile {
 public:
  PlacedFile(const std::string& source, const std::string& target)
      : target_(target), saved_(target + ".glimmer-saved") {
    if (GetFileAttributesA(saved_.c_str()) == INVALID_FILE_ATTRIBUTES) {
      MoveFileA(target_.c_str(), saved_.c_str());
    }
    placed_ = CopyFileA(source.c_str(), target_.c_str(), FALSE) != 0;
  }
  ~PlacedFile() {
    DeleteFileA(target_.c_str());
    MoveFileA(saved_.c_str(), target_.c_str());
  }
  PlacedFile(const PlacedFile&) = delete;
  PlacedFile& operator=(const PlacedFile&) = delete;
  bool placed() const { return placed_; }

 private:
  std::string target_;
  std::string saved_;
  bool placed_ = false;
};

// A value among Wine's settings for the .scr alone
// (HKCU\Software\Wine\AppDefaults\Glimmerwatch.scr, or a key below it),
// which the program reads when it starts. Removed afterwards, together with
// the keys it had to create.
class SaverWineSetting {
 public:
  SaverWineSetting(const char* subKey, const char* name, const char* value)
      : base_("Software\\Wine\\AppDefaults\\Glimmerwatch.scr"), name_(name) {
    full_ = subKey == nullptr ? base_ : base_ + "\\" + subKey;
    baseExisted_ = keyExists(base_.c_str());
    fullExisted_ = keyExists(full_.c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, full_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    set_ = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(strlen(value) + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~SaverWineSetting() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, full_.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, name_.c_str());
      RegCloseKey(key);
    }
    if (!fullExisted_ && full_ != base_) RegDeleteKeyA(HKEY_CURRENT_USER, full_.c_str());
    if (!baseExisted_) RegDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
  }
  SaverWineSetting(const SaverWineSetting&) = delete;
  SaverWineSetting& operator=(const SaverWineSetting&) = delete;
  bool set() const { return set_; }

 private:
  std::string base_;
  std::string full_;
  std::string name_;
  bool baseExisted_ = false;
  bool fullExisted_ = false;
  bool set_ = false;
};

// Whether two files hold the same bytes.
bool sameBytes(const std::string& a, const std::string& b) {
  FILE* first = fopen(a.c_str(), "rb");
  FILE* second = fopen(b.c_str(), "rb");
  bool same = first != nullptr && second != nullptr;
  while (same) {
    int x = fgetc(first), y = fgetc(second);
    same = x == y;
    if (x == EOF) break;
  }
  if (first != nullptr) fclose(first);
  if (second != nullptr) fclose(second);
  return same;
}

// What a test run that died half-way (a crash, a timeout) leaves in place
// stays there for every later test and run, which would then run over a
// planted module or as the wrong system family. Put back: set-aside system
// modules; remove: doubles still in the system folder, planted copies, the
// Wine settings for the .scr. Only these tests make any of them.
void clearWhatADeadRunLeft(const std::string& plantedCwd) {
  const char* names[] = {"password.cpl", "mpr.dll"};
  const char* doubles[] = {"password.cpl", "mpr.dll", "noexport\\mpr.dll"};
  for (const char* name : names) {
    std::string target = systemFolder() + "\\" + name;
    std::string saved = target + ".glimmer-saved";
    if (GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileA(target.c_str());
      MoveFileA(saved.c_str(), target.c_str());
    } else {
      for (const char* built : doubles) {
        if (sameBytes(target, builtDouble(built))) DeleteFileA(target.c_str());
      }
    }
    DeleteFileA((directoryOfTests() + "\\" + name).c_str());
    DeleteFileA((plantedCwd + "\\" + name).c_str());
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Glimmerwatch.scr\\DllOverrides");
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Glimmerwatch.scr");
}

// The control folder of the doubles, emptied before and after each test,
// plus the program's folder and a separate current directory in which a
// test may plant modules.
class PasswordHooks : public ::testing::Test {
 protected:
  // In the constructor, before the members of derived fixtures set their
  // Wine settings.
  PasswordHooks() { clearWhatADeadRunLeft(directoryOfTests() + "\\password-cwd"); }

  void SetUp() override {
    control_ = directoryOfTests() + "\\password-doubles";
    plantedCwd_ = directoryOfTests() + "\\password-cwd";
    CreateDirectoryA(control_.c_str(), nullptr);
    CreateDirectoryA(plantedCwd_.c_str(), nullptr);
    clearControl();
    controlVariable_.reset(new ScopedEnvironment("GLIMMER_DOUBLE_DIR", control_.c_str()));
    writeSettings("Current resolution", "0", "0");
    SetCursorPos(5, 5);
    desktop_ = settledScreen();
  }

  void TearDown() override {
    saver_.kill();
    files_.clear();
    controlVariable_.reset();
    clearControl();
  }

  void clearControl() {
    const char* names[] = {"calls.log", "answer", "hold"};
    for (const char* name : names) DeleteFileA(controlFile(name).c_str());
  }

  std::string controlFile(const char* name) const { return control_ + "\\" + name; }

  void setAnswer(const char* word) {
    FILE* file = fopen(controlFile("answer").c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fputs(word, file);
    fclose(file);
  }
  void hold() {
    FILE* file = fopen(controlFile("hold").c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fclose(file);
  }
  void release() { DeleteFileA(controlFile("hold").c_str()); }

  // Puts a built double (path under doubles\) at `target` for this test.
  void place(const char* builtPath, const std::string& target) {
    files_.emplace_back(new PlacedFile(builtDouble(builtPath), target));
    ASSERT_TRUE(files_.back()->placed()) << target;
  }
  void placeInSystem(const char* builtPath, const char* name) {
    place(builtPath, systemFolder() + "\\" + name);
  }
  // The same module beside the .scr and in the current directory the .scr
  // is started in: the two places a bare module name is looked up first.
  void plant(const char* builtPath, const char* name) {
    place(builtPath, directoryOfTests() + "\\" + name);
    place(builtPath, plantedCwd_ + "\\" + name);
  }

  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    FILE* file = fopen(controlFile("calls.log").c_str(), "rb");
    if (file == nullptr) return lines;
    char line[512];
    while (fgets(line, sizeof(line), file) != nullptr) {
      std::string text(line);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      lines.push_back(text);
    }
    fclose(file);
    return lines;
  }
  int countCalls(const std::string& prefix) const {
    int count = 0;
    for (const std::string& line : calls())
      if (line.compare(0, prefix.size(), prefix) == 0) ++count;
    return count;
  }
  bool waitForCalls(const std::string& prefix, int count, DWORD timeoutMs) const {
    return waitUntil([&] { return countCalls(prefix) >= count; }, slack(timeoutMs));
  }
  std::string allCalls() const {
    std::string text;
    for (const std::string& line : calls()) text += "\n  " + line;
    return text.empty() ? " (none)" : text;
  }

  HWND startSaver() { return startSaver(saver_); }
  HWND startSaver(SaverProcess& saver) {
    if (!saver.start(quotedSaver() + " /s", plantedCwd_)) return nullptr;
    HWND window = waitForWindow(saver.pid(), "MainWindow", slack(15000));
    return window != nullptr && bringToFront(window) ? window : nullptr;
  }

  std::string control_;
  std::string plantedCwd_;
  Picture desktop_;  // the screen before the saver started
  std::vector<std::unique_ptr<PlacedFile>> files_;
  std::unique_ptr<ScopedEnvironment> controlVariable_;
  SaverProcess saver_;
};

// On the NT family (Wine's default) the check needs no service: the window
// goes black and the saver ends, even with a refusing service installed.
class PasswordNt : public PasswordHooks {};

// Screenshots taken back to back on a thread of their own while a saver
// ends, so that a picture it shows only for its last few milliseconds can
// still be caught: a band across the middle of the screen, an eighth of it,
// which takes an eighth of the time of the whole. A shot counts when it
// began after arm() and the saver was still running once it was taken.
class LastMomentShots {
 public:
  explicit LastMomentShots(const SaverProcess& saver) : saver_(saver) {
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
  }
  ~LastMomentShots() { join(); }
  LastMomentShots(const LastMomentShots&) = delete;
  LastMomentShots& operator=(const LastMomentShots&) = delete;

  void arm() { InterlockedExchange(&armed_, 1); }
  // Waits until the saver has ended (at most 10 s more) and the last shot is done.
  void join() {
    if (thread_ == nullptr) return;
    WaitForSingleObject(thread_, 15000);
    InterlockedExchange(&quit_, 1);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  int counted() const { return counted_; }
  double darkest() const { return darkest_; }
  const Picture& darkestShot() const { return darkestShot_; }

 private:
  static DWORD WINAPI run(void* self) {
    static_cast<LastMomentShots*>(self)->loop();
    return 0;
  }
  void loop() {
    DWORD start = GetTickCount();
    while (InterlockedCompareExchange(&quit_, 0, 0) == 0 && GetTickCount() - start < 15000) {
      bool armed = InterlockedCompareExchange(&armed_, 0, 0) != 0;
      int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
      Picture shot = captureArea(0, height * 7 / 16, width, height / 8);
      if (!saver_.running()) return;
      if (!armed) continue;
      ++counted_;
      double share = blackShare(shot);
      if (share > darkest_ || counted_ == 1) {
        darkest_ = share;
        darkestShot_ = shot;
      }
    }
  }

  const SaverProcess& saver_;
  HANDLE thread_ = nullptr;
  volatile LONG armed_ = 0;
  volatile LONG quit_ = 0;
  int counted_ = 0;
  double darkest_ = 0.0;
  Picture darkestShot_;
};

TEST_F(PasswordNt, EscapePaintsBlackAndEndsWithoutAskingTheService) {
  placeInSystem("password.cpl", "password.cpl");
  setAnswer("refuse");
  hold();  // a call would hang here instead of ending
  // The saver paints black and ends at once, sometimes before a single
  // capture is done. Every start in which a capture was taken while the
  // saver ran must show black; a start without one shows nothing either
  // way, and only such a start is made up for by another, up to 8 starts
  // in all for 3 with captures.
  const int kStarts = 3;
  const int kMostStarts = 8;
  int starts = 0, startsSeen = 0, counted = 0;
  bool boxSeen = false;
  while (startsSeen < kStarts && starts < kMostStarts) {
    ++starts;
    SaverProcess saver;
    HWND window = startSaver(saver);
    ASSERT_NE(nullptr, window) << "start " << starts;
    // Within the hold-back period: no frame has been presented, so the
    // screen still shows the desktop, and nothing but the black fill can
    // change it. (A wait that shows nothing else does.)
    sleepMs(1000);
    EXPECT_GT(psnr(captureScreen(), desktop_), 30.0)
        << "saver showed something before Escape, start " << starts;

    LastMomentShots shots(saver);
    pressKey(VK_ESCAPE);
    shots.arm();
    DWORD start = GetTickCount();
    while (saver.running() && GetTickCount() - start < 10000) {
      if (!messageBoxes(saver.pid()).empty()) boxSeen = true;
      sleepMs(5);
    }
    shots.join();
    EXPECT_EQ(0u, saver.waitExit(slack(10000))) << "start " << starts;
    if (shots.counted() == 0) continue;
    ++startsSeen;
    counted += shots.counted();
    saveBitmap(shots.darkestShot(), shotPath("password-nt-black"));
    EXPECT_GT(shots.darkest(), 0.95) << "start " << starts << ": none of its " << shots.counted()
                                     << " captures while the saver ran is black";
  }
  printf("%d capture(s) while the saver ran, in %d of %d start(s)\n", counted, startsSeen,
         starts);
  EXPECT_GT(startsSeen, 0) << "no capture while the saver ran, in " << starts << " starts";
  EXPECT_FALSE(boxSeen);
  EXPECT_EQ(0, countCalls("attach")) << "the service was loaded:" << allCalls();
  EXPECT_EQ(0, countCalls("verify")) << allCalls();
  release();
}

// On the 95/98 family: Wine's per-program version "win98" makes
// GetVersionExA of the .scr report that family.
class Password9x : public PasswordHooks {
 protected:
  void SetUp() override {
    PasswordHooks::SetUp();
    ASSERT_TRUE(win98_.set());
  }
  SaverWineSetting win98_{nullptr, "Version", "win98"};
};

// One run: a refused check with a second close request inside it, the hold
// of the frames afterwards, then an accepted check.
TEST_F(Password9x, RefusalKeepsTheSaverAndHoldsFramesBackAcceptanceEndsIt) {
  placeInSystem("password.cpl", "password.cpl");
  setAnswer("refuse");
  hold();
  HWND window = startSaver();
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(shots::eyesCameAndWent()) << "no frames before the check";
  EXPECT_GT(psnr(captureScreen(), desktop_), 30.0) << "frames of the frozen desktop expected";

  SetCursorPos(20, 20);  // away from the centre, so re-centring shows
  ASSERT_TRUE(bringToFront(window));
  pressKey(VK_ESCAPE);
  ASSERT_TRUE(waitForCalls("verify window=", 1, 5000)) << allCalls();
  // The service gets the saver window, and the cursor shown (a process
  // starts with a display count of 0).
  EXPECT_EQ("verify window=" + hex(window) + " cursor=1", calls()[1]) << allCalls();
  EXPECT_TRUE(sameText("attach " + systemFolder() + "\\password.cpl", calls()[0])) << allCalls();

  // While the check runs: the screen is black, and more close requests
  // (Escape again, a WM_CLOSE from outside) and a lost activation are ignored.
  Picture during = captureScreen();
  saveBitmap(during, shotPath("password-9x-during-check"));
  EXPECT_GT(blackShare(during), 0.95);
  pressKey(VK_ESCAPE);
  PostMessageA(window, WM_CLOSE, 0, 0);
  PostMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  sleepMs(500);  // a wait that shows no box comes
  EXPECT_TRUE(messageBoxes(saver_.pid()).empty());

  release();
  DWORD refused = GetTickCount();
  ASSERT_TRUE(waitForCalls("verify answer=refuse", 1, 5000)) << allCalls();
  EXPECT_TRUE(waitForCalls("detach free", 1, 2000)) << "not unloaded after the check:" << allCalls();

  // Waits that show no frame comes in the first two seconds of the new
  // hold-back.
  sleepUntil(refused, 1000);
  Picture afterOne = captureScreen();
  POINT cursor = {};
  GetCursorPos(&cursor);
  EXPECT_TRUE(saver_.running()) << "a refusal ended the saver";
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, cursor.x);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, cursor.y);
  sleepUntil(refused, 2000);
  Picture afterTwo = captureScreen();
  Picture afterFour;
  DWORD held = GetTickCount() - refused;
  shots::captureUntil(&afterFour, [&](const Picture& s) { return psnr(s, desktop_) > 30.0; },
                      (held < kHoldBack ? kHoldBack - held : 0) + slack(1500));
  saveBitmap(afterTwo, shotPath("password-9x-refused-2s"));
  saveBitmap(afterFour, shotPath("password-9x-refused-4s"));
  EXPECT_GT(blackShare(afterOne), 0.95) << "a frame was presented within 1 s of the refusal";
  EXPECT_GT(blackShare(afterTwo), 0.95) << "a frame was presented within 2 s of the refusal";
  EXPECT_GT(psnr(afterFour, desktop_), 30.0) << "frames did not come back";
  EXPECT_EQ(1, countCalls("verify window=")) << "a close request inside the check was acted on:"
                                             << allCalls();
  EXPECT_TRUE(saver_.running());

  setAnswer("accept");
  ASSERT_TRUE(bringToFront(window));
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
  EXPECT_EQ(2, countCalls("verify window=")) << allCalls();
  EXPECT_EQ(1, countCalls("verify answer=accept")) << allCalls();
  EXPECT_EQ(2, countCalls("detach free")) << allCalls();
}

// The check cannot run: the saver ends with the fixed message over its
// window, and exit code 1.
struct MissingServiceCase {
  const char* name;
  const char* systemModule;   // built double put in the system folder, or null
  const char* plantedModule;  // built double planted beside the .scr and in its cwd, or null
  bool loadsSystemModule;     // the module in the system folder gets loaded
};

class PasswordMissingService : public Password9x,
                               public ::testing::WithParamInterface<MissingServiceCase> {};

TEST_P(PasswordMissingService, EndsWithTheMessageAndExitCodeOne) {
  const MissingServiceCase& c = GetParam();
  if (c.systemModule != nullptr) placeInSystem(c.systemModule, "password.cpl");
  if (c.plantedModule != nullptr) plant(c.plantedModule, "password.cpl");
  setAnswer("accept");  // what a planted module would answer
  HWND window = startSaver();
  ASSERT_NE(nullptr, window);
  pressKey(VK_ESCAPE);
  {
    SCOPED_TRACE("calls:" + allCalls());
    expectErrorBoxThenExit(saver_, kPasswordCplMessage, window, 1, 10000);
  }

  EXPECT_EQ(0, countCalls("verify")) << allCalls();
  if (c.loadsSystemModule) {
    ASSERT_FALSE(calls().empty());
    EXPECT_TRUE(sameText("attach " + systemFolder() + "\\password.cpl", calls()[0])) << allCalls();
  } else {
    EXPECT_EQ(0, countCalls("attach")) << "a module outside the system folder was loaded:"
                                       << allCalls();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Password, PasswordMissingService,
    ::testing::Values(
        MissingServiceCase{"NoModule", nullptr, nullptr, false},
        MissingServiceCase{"ModuleWithoutTheExport", "noexport\\mpr.dll", nullptr, true},
        MissingServiceCase{"AcceptingModuleOnlyBesideTheProgramAndInItsCwd", nullptr,
                           "password.cpl", false}),
    ParamName());

// The "pass" mode, "/a" with the window number of the display settings.
// Wine loads its own builtin mpr.dll unless told to prefer a native one for
// the program. The per-program DllOverrides key does that; WINEDLLOVERRIDES
// would not, since Wine 8 does not pass it from a Windows parent's
// environment on to the child.
struct ChangeCase {
  const char* name;
  const char* systemModule;   // built double put in the system folder as mpr.dll, or null
  const char* plantedModule;  // built double planted beside the .scr and in its cwd, or null
  bool preferNative;          // native before builtin mpr for the program
  bool showsBox;              // "Can not load library mpr.dll" expected
  bool doubleCalled;          // the double in the system folder gets the call
};

class PasswordChange : public PasswordHooks, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(PasswordChange, PassesTheRequestOnOrShowsOneBox) {
  const ChangeCase& c = GetParam();
  if (c.systemModule != nullptr) placeInSystem(c.systemModule, "mpr.dll");
  if (c.plantedModule != nullptr) plant(c.plantedModule, "mpr.dll");
  // A real window number on the command line: it must not become the owner.
  HWND settingsWindow = CreateWindowExA(0, "STATIC", "settings", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, settingsWindow);
  std::string tail =
      " /a " + std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(settingsWindow)));
  std::unique_ptr<SaverWineSetting> native;
  if (c.preferNative) {
    native.reset(new SaverWineSetting("DllOverrides", "mpr", "native,builtin"));
    ASSERT_TRUE(native->set());
  }
  ASSERT_TRUE(saver_.start(quotedSaver() + tail, plantedCwd_));

  if (c.showsBox) {
    ASSERT_NE(nullptr, waitForMessageBox(saver_.pid(), slack(15000)).window)
        << "no message box; calls:" << allCalls();
    // The module is freed before the box, not at exit.
    EXPECT_EQ(1, countCalls("detach free")) << allCalls();
    // A null caption: Wine shows "Error" for it. A second box after OK
    // would keep the process alive.
    expectErrorBoxThenExit(saver_, kMprMessage, nullptr, 0);
  } else {
    EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
  }
  DestroyWindow(settingsWindow);

  std::vector<std::string> lines = calls();
  if (c.doubleCalled) {
    std::vector<std::string> expected = {"attach " + systemFolder() + "\\mpr.dll",
                                         "change provider=SCRSAVE owner=0 reserved=0,0",
                                         "detach free"};
    ASSERT_EQ(expected.size(), lines.size()) << allCalls();
    EXPECT_TRUE(sameText(expected[0], lines[0])) << lines[0];
    EXPECT_EQ(expected[1], lines[1]);
    EXPECT_EQ(expected[2], lines[2]);
  } else if (c.systemModule != nullptr) {
    EXPECT_EQ(0, countCalls("change")) << allCalls();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(sameText("attach " + systemFolder() + "\\mpr.dll", lines[0])) << allCalls();
  } else {
    EXPECT_TRUE(lines.empty()) << "a module outside the system folder was loaded:" << allCalls();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Password, PasswordChange,
    ::testing::Values(
        ChangeCase{"DoubleGetsProviderNoOwnerAndZeros", "mpr.dll", nullptr, true, false, true},
        ChangeCase{"ModuleWithoutTheExportShowsOneBox", "noexport\\mpr.dll", nullptr, true, true,
                   false},
        // Wine's builtin exports PwdChangePasswordA as a stub that returns
        // success at once, without a dialog: no box, exit 0, and the planted
        // copies, which would record the call, stay unused.
        ChangeCase{"PlantedModuleBesideTheProgramAndInItsCwdIsIgnored", nullptr, "mpr.dll", true,
                   false, false},
        ChangeCase{"WineBuiltinEndsQuietly", nullptr, nullptr, false, false, false}),
    ParamName());

}  // namespace
