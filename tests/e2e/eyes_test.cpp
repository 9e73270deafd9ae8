// The eyes after a mouse move, their picture's temporary file, and the
// eyes on a portrait screen.
#include "tests/e2e/scene_shots.h"

#include <memory>

using namespace shots;

namespace {

// The eyes wake with a move and turn with the cursor: for one at the right
// edge their irises sit further right than for one at the left edge, and
// for one at the bottom further down than for one at the top (some 10 and
// 25 pixels here; eyes that turn the wrong way sit 35 pixels off the other
// way). A second after the last move they are gone.
TEST_F(Scene, EyesFollowAMouseMoveForASecond) {
  ASSERT_NE(nullptr, start("0", "0"));
  int w = desktop_.width, h = desktop_.height;
  Region middle = middleOf(w, h);
  const POINT cursor[4] = {{62, h / 2}, {w - 62, h / 2}, {w / 2, 40}, {w / 2, h - 40}};
  Picture shots[4];
  for (int i = 0; i < 4; ++i) {
    moveMouse(cursor[i].x, cursor[i].y);
    const Picture& before = i == 0 ? desktop_ : shots[i - 1];
    EXPECT_TRUE(captureUntil(&shots[i], [&](const Picture& shot) {
      return countChanged(shot, before, middle) > (i == 0 ? 5000 : 500);
    }, slack(1000))) << (i == 0 ? "no eyes in the middle of the screen" : "the eyes did not turn");
  }
  saveBitmap(shots[0], shotPath("eyes"));
  saveBitmap(shots[1], shotPath("eyes-turned"));
  expectRoundEyes(shots[0], desktop_, middle);
  // Nothing but the eyes changes: the corners stay the desktop.
  EXPECT_EQ(0, countChanged(shots[0], desktop_, {0, 0, 150, 100}));
  for (Region eye : {leftHalf(middle), rightHalf(middle)}) {
    EyeLook left = eyeLook(shots[0], desktop_, eye), right = eyeLook(shots[1], desktop_, eye);
    EyeLook top = eyeLook(shots[2], desktop_, eye), bottom = eyeLook(shots[3], desktop_, eye);
    printf("Iris of the eye at x %d: %+.1f px right for the cursor right, %+.1f px down for it "
           "at the bottom\n",
           eye.left, right.irisRight - left.irisRight, bottom.irisDown - top.irisDown);
    EXPECT_GT(right.irisRight - left.irisRight, 5.0) << "the eyes do not face the cursor's side";
    EXPECT_GT(bottom.irisDown - top.irisDown, 12.0) << "the eyes do not look up and down";
  }

  Picture after;
  EXPECT_TRUE(captureUntil(&after, [&](const Picture& shot) {
    return countChanged(shot, desktop_, middle) < 50;
  }, kMouseMoveWindow + slack(600))) << "eyes still there after a second";
  saveBitmap(after, shotPath("eyes-gone"));
  stop();
}

// The eye picture goes through a temporary file in the user's temporary
// folder; it must be gone once the saver runs, and a folder that cannot be
// written stops the start.
class SceneTemporaryFile : public Scene {
 protected:
  void useTemp(const std::string& folder) {
    temp_.reset(new ScopedEnvironment("TEMP", folder.c_str()));
    tmp_.reset(new ScopedEnvironment("TMP", folder.c_str()));
  }
  std::unique_ptr<ScopedEnvironment> temp_, tmp_;
};

int filesIn(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) ++count;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return count;
}

// Deletes the files in the folder, if it exists.
void deleteFilesIn(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileA((folder + "\\" + data.cFileName).c_str());
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

TEST_F(SceneTemporaryFile, NoTemporaryFileRemainsAfterAStart) {
  // A run that failed here leaves its files behind (the folders are removed
  // only when empty); they would fail every later run's check below.
  std::string folder = directoryOfTests() + "\\e2e-temp";
  CreateDirectoryA(folder.c_str(), nullptr);
  deleteFilesIn(folder);
  ASSERT_EQ(0, filesIn(folder));
  useTemp(folder);
  // Started from a folder it may not write, as the host starts it from the
  // system folder: the current directory must not matter.
  std::string current = directoryOfTests() + "\\e2e-readonly";
  CreateDirectoryA(current.c_str(), nullptr);
  deleteFilesIn(current);
  ASSERT_EQ(0, filesIn(current));
  writeSettings("Current resolution", "0", "0");
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s", current));
  ASSERT_NE(nullptr, waitForWindow(saver_.pid(), "MainWindow", slack(15000)));
  // Frames with the eyes come after the eye picture was read.
  EXPECT_TRUE(eyesCameAndWent()) << "no eyes";
  EXPECT_TRUE(messageBoxes(saver_.pid()).empty());
  EXPECT_EQ(0, filesIn(folder));
  EXPECT_EQ(0, filesIn(current));
  stop();
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(current.c_str());
}

TEST_F(SceneTemporaryFile, UnwritableTemporaryFolderStopsTheStart) {
  // Whatever made this folder in an earlier run would let the start succeed.
  std::string missing = directoryOfTests() + "\\no-such-folder";
  deleteFilesIn(missing);
  RemoveDirectoryA(missing.c_str());
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));
  useTemp(missing);
  writeSettings("Current resolution", "0", "0");
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s"));
  // The box belongs to the saver window, which is up by then.
  HWND window = waitForWindow(saver_.pid(), "MainWindow", slack(15000));
  ASSERT_NE(nullptr, window);
  expectErrorBoxThenExit(saver_, "Can not create texture(s).", window, 1, 20000);
}

// Run on a 768x1024 screen by the Wine test script.
class PortraitScene : public Scene {};

TEST_F(PortraitScene, EyesShowOnATallScreen) {
  ASSERT_LT(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  ASSERT_NE(nullptr, start("0", "0"));
  Picture frozen = captureScreen();
  double match = psnr(frozen, desktop_);
  printf("PSNR of the frozen portrait desktop: %.2f dB\n", match);
  EXPECT_GT(match, 40.0);

  int w = desktop_.width, cy = desktop_.height / 2;
  Region middle = {0, cy - 300, w, cy + 300};
  sweepMiddle(w, desktop_.height);
  Picture shot;
  EXPECT_TRUE(captureUntil(&shot, [&](const Picture& s) {
    return countChanged(s, desktop_, middle) > 5000;
  }, slack(1000))) << "no eyes on a portrait screen";
  saveBitmap(shot, shotPath("portrait-eyes"));
  expectRoundEyes(shot, desktop_, middle);
  stop();
}

}  // namespace
