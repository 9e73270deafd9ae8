// The desktop snapshot copies the screen area its quad names, wherever that
// lies. On a desk with a monitor left of or above the primary one the
// saver's window, and so its quad, starts at negative coordinates; a copy
// that started at the screen's (0,0) instead would freeze the wrong picture.
// A window of the test shows a picture with a different colour in every
// pixel at an origin other than (0,0); the texture read back must be that
// picture texel for texel. On a GL of small textures the picture is cut
// into tiles, and both the tiles and what the backdrop draws from them must
// still be the picture, pixel for pixel.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <stdio.h>

#include <ostream>
#include <string>
#include <vector>

#include "desktop/desktop_copy_win32.h"
#include "host/saver_app.h"
#include "scene/gl_context_gl.h"
#include "scene/screen_quad.h"
#include "scene/screen_space_gl.h"
#include "scene/texture_sizes.h"
#include "scene/textures_gl.h"
#include "tests/win32/import_redirect.h"
#include "tests/param_name.h"
#include "tests/test_helpers_win32.h"

namespace {

struct Area {
  int left, top, width, height;
};

// The picture's colour at (x, y) of the area, 0x00RRGGBB: neighbours differ
// in every channel, so a copy off by one pixel anywhere shows.
unsigned pictureAt(int x, int y) {
  unsigned h = (static_cast<unsigned>(x) * 2654435761u) ^ (static_cast<unsigned>(y) * 2246822519u);
  h ^= h >> 15;
  return (h * 2654435761u) & 0xFFFFFFu;
}

// The picture as a top-down 32-bit DIB for SetDIBitsToDevice.
struct PictureDib {
  BITMAPINFO info;
  std::vector<unsigned> pixels;
};

PictureDib shownPicture;

void makePicture(int width, int height) {
  shownPicture.info = {};
  BITMAPINFOHEADER& header = shownPicture.info.bmiHeader;
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = -height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  shownPicture.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      shownPicture.pixels[static_cast<size_t>(y) * width + x] = pictureAt(x, y);
}

LRESULT CALLBACK pictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      int width = shownPicture.info.bmiHeader.biWidth;
      int height = -shownPicture.info.bmiHeader.biHeight;
      SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, shownPicture.pixels.data(),
                        &shownPicture.info, DIB_RGB_COLORS);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND createTestWindow(const char* className, const Area& area) {
  return testkit::showTestWindow(className, pictureWindowProc, area.left, area.top, area.width,
                                 area.height);
}

// Pixels of the area on screen that are not the picture.
int wrongOnScreen(const Area& area) {
  testkit::Picture shot = testkit::captureArea(area.left, area.top, area.width, area.height);
  int wrong = 0;
  for (size_t i = 0; i < shownPicture.pixels.size(); ++i)
    if (shot.pixels[i] != shownPicture.pixels[i]) ++wrong;
  return wrong;
}

// Whether the X server shows the picture over the area within a bound that
// catches slowness (the test's windows paint while it waits).
bool pictureShown(const Area& area) {
  return testkit::waitUntil([&] { return wrongOnScreen(area) == 0; }, testkit::slack(3000));
}

struct SnapshotRow {
  const char* name;
  Area area;  // a negative left or top counts from the screen's right or bottom edge
};

const SnapshotRow kRows[] = {
    {"OffTheOrigin", {136, 72, 300, 200}},
    // Where a copy one pixel short or long shows in the last row and column.
    {"InTheBottomRightCorner", {-200, -150, 200, 150}},
};

// Names the row in GoogleTest's messages instead of dumping its bytes.
void PrintTo(const SnapshotRow& row, std::ostream* out) { *out << row.name; }

class DesktopSnapshot : public ::testing::TestWithParam<SnapshotRow> {};

TEST_P(DesktopSnapshot, IsThePictureAtTheQuadsOriginTexelForTexel) {
  Area area = GetParam().area;
  if (area.left < 0) area.left += GetSystemMetrics(SM_CXSCREEN);
  if (area.top < 0) area.top += GetSystemMetrics(SM_CYSCREEN);
  makePicture(area.width, area.height);
  HWND pictureWindow = createTestWindow("GlimmerSnapshotPicture", area);
  ASSERT_NE(nullptr, pictureWindow);
  // The GL's window lies elsewhere, so that only the picture is in the area.
  Area glArea = {area.left < 400 ? area.left + 420 : 40, area.top < 300 ? area.top + 320 : 40,
                 64, 64};
  HWND glWindow = createTestWindow("GlimmerSnapshotGl", glArea);
  ASSERT_NE(nullptr, glWindow);
  ASSERT_TRUE(pictureShown(area)) << wrongOnScreen(area)
                                  << " pixels on screen are not the picture at " << area.left
                                  << "," << area.top;

  HDC dc = GetDC(glWindow);
  HGLRC context = createGlContext(dc);
  ASSERT_NE(nullptr, context);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  ScreenQuad quad = {area.left, area.top, area.width, area.height, texture, {}};
  DesktopCopy copy = {};
  ASSERT_TRUE(copyDesktop(quad.left, quad.top, quad.width, quad.height, &copy));
  EXPECT_TRUE(buildDesktopSnapshot(&quad, copy.bits, copy.width, copy.height));
  releaseDesktopCopy(&copy);
  EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());

  GLint maximum = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
  int tooLarge = 0, firstX = -1, firstY = -1;
  int wrong = testkit::tileTexelsNot(quad, pictureAt, maximum, &tooLarge, &firstX, &firstY);
  EXPECT_EQ(0, wrong) << "texels that are not the picture at " << area.left << "," << area.top
                      << " (" << area.width << "x" << area.height << "), the first at " << firstX
                      << "," << firstY;

  glDeleteTextures(1, &texture);
  deleteGlContext(context);
  ReleaseDC(glWindow, dc);
  DestroyWindow(glWindow);
  DestroyWindow(pictureWindow);
}

INSTANTIATE_TEST_SUITE_P(Areas, DesktopSnapshot, ::testing::ValuesIn(kRows), ParamName());

// GDI Generic, the GL of Windows without a vendor driver, takes textures of
// 1024 texels a side. The GL here answers that through this executable's
// import of glGetIntegerv; everything else is the real GL.
typedef void(WINAPI* GetIntegervProc)(GLenum, GLint*);
GetIntegervProc realGetIntegerv;
const GLint kGdiGenericLargestTexture = 1024;

void WINAPI getIntegervOfGdiGeneric(GLenum name, GLint* values) {
  realGetIntegerv(name, values);
  if (name == GL_MAX_TEXTURE_SIZE) values[0] = kGdiGenericLargestTexture;
}

// Holds the import redirected for as long as it lives.
struct SmallTextureGl {
  SmallTextureGl() {
    realGetIntegerv = reinterpret_cast<GetIntegervProc>(replaceImport(
        "opengl32.dll", "glGetIntegerv", reinterpret_cast<void*>(getIntegervOfGdiGeneric)));
  }
  ~SmallTextureGl() {
    if (realGetIntegerv != nullptr) {
      replaceImport("opengl32.dll", "glGetIntegerv", reinterpret_cast<void*>(realGetIntegerv));
    }
  }
};

// A 1920x1080 desktop on that GL: not scaled into one 1024 texture and
// stretched back (blurred), but cut into tiles that each hold their part
// texel for texel, drawn back side by side without a gap or an overlap.
// The GL's window is larger than this screen; its back buffer is whole.
TEST(DesktopSnapshot, IsExactInTilesOnAGlOf1024Texels) {
  const int width = 1920, height = 1080;
  HWND glWindow = createTestWindow("GlimmerSnapshotGl", {0, 0, width, height});
  ASSERT_NE(nullptr, glWindow);
  HDC dc = GetDC(glWindow);
  HGLRC context = createGlContext(dc);
  ASSERT_NE(nullptr, context);

  // The copy's pixels are the picture, bottom row first as the copy holds them.
  DesktopCopy copy = {};
  ASSERT_TRUE(copyDesktop(0, 0, width, height, &copy));
  unsigned* bits = static_cast<unsigned*>(copy.bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bits[static_cast<size_t>(height - 1 - y) * width + x] = pictureAt(x, y);

  SmallTextureGl smallTextures;
  ASSERT_NE(nullptr, realGetIntegerv) << "no import of glGetIntegerv to answer";
  ScreenQuad quad = {0, 0, width, height, kSnapshotTexture, {}};
  ASSERT_TRUE(buildDesktopSnapshot(&quad, copy.bits, copy.width, copy.height));
  EXPECT_GT(snapshotTileCount(quad.tiles), 1);
  int tooLarge = 0, firstX = -1, firstY = -1;
  int wrong = testkit::tileTexelsNot(quad, pictureAt, kGdiGenericLargestTexture, &tooLarge,
                                     &firstX, &firstY);
  EXPECT_EQ(0, tooLarge) << "tiles larger than the GL takes";
  EXPECT_EQ(0, wrong) << "texels that are not the copy's, the first at " << firstX << ","
                      << firstY;

  // The backdrop as a frame draws it, over a colour the picture does not
  // hold where nothing is drawn; read back bottom row first, as the copy.
  setUpSceneState(width, height, width, height);
  glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawBackdrop(quad);
  std::vector<unsigned> drawn(static_cast<size_t>(width) * height);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_BGRA_EXT, GL_UNSIGNED_BYTE, drawn.data());
  EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
  wrong = 0;
  int firstWrong = -1;
  for (size_t i = 0; i < drawn.size(); ++i) {
    if (((drawn[i] ^ bits[i]) & 0xFFFFFFu) == 0) continue;
    if (wrong++ == 0) firstWrong = static_cast<int>(i);
  }
  EXPECT_EQ(0, wrong) << "drawn pixels that are not the copy's, the first at "
                      << firstWrong % width << "," << height - 1 - firstWrong / width;

  releaseDesktopCopy(&copy);
  deleteGlContext(context);
  ReleaseDC(glWindow, dc);
  DestroyWindow(glWindow);
}

// Until its first frame the saver's window paints the desktop as it was
// copied: under a compositing window manager a window that has not drawn
// shows black, which would black the screen out for the whole hold-back.
// Here the copy holds the test picture, which the screen itself does not
// show, so only the window's own painting can put it there. In a death-test
// child: the saver's window covers the screen until its process ends.
void showTheCopyInTheSaverWindow() {
  saverApp.measureDesktop();
  int width = saverApp.screenWidth, height = saverApp.screenHeight;
  if (!copyDesktop(saverApp.layout.window.left, saverApp.layout.window.top, width, height,
                   &saverApp.desktopCopy)) {
    ExitProcess(5);
  }
  Area area = {100, 80, 300, 200};
  makePicture(area.width, area.height);
  unsigned* bits = static_cast<unsigned*>(saverApp.desktopCopy.bits);
  for (int y = 0; y < area.height; ++y)
    for (int x = 0; x < area.width; ++x)  // bottom-up rows
      bits[static_cast<size_t>(height - 1 - area.top - y) * width + area.left + x] = pictureAt(x, y);
  if (!saverApp.createSaverWindow(GetModuleHandleA(nullptr))) ExitProcess(5);
  if (!pictureShown(area)) {
    fprintf(stderr, "%d of %d pixels are not the copy's\n", wrongOnScreen(area),
            area.width * area.height);
    ExitProcess(6);
  }
  ExitProcess(0);
}

TEST(SaverWindow, ShowsTheDesktopCopyUntilItsFirstFrame) {
  EXPECT_EXIT(showTheCopyInTheSaverWindow(), ::testing::ExitedWithCode(0), "");
}

#if defined(__i386__)
// Calls `procedure` the way Windows calls a window procedure, arguments
// pushed right to left and popped by the procedure, and returns how many
// bytes it left on the stack: 16 when a cast hid a missing CALLBACK and the
// procedure leaves them to its caller. Windows' and Wine's own callers
// repair the stack pointer after a window procedure, so only a direct call
// shows it; any other caller would run on with a shifted stack.
int bytesLeftOnStack(WNDPROC procedure) {
  struct {
    WNDPROC procedure;
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } call = {procedure, nullptr, WM_NULL, 0, 0};
  int left;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 16(%%edi)\n\t"
      "pushl 12(%%edi)\n\t"
      "pushl 8(%%edi)\n\t"
      "pushl 4(%%edi)\n\t"
      "call *(%%edi)\n\t"
      "movl %%esi, %%eax\n\t"
      "subl %%esp, %%eax\n\t"
      "movl %%esi, %%esp"
      : "=a"(left)
      : "D"(&call)
      : "esi", "ecx", "edx", "memory", "cc");
  return left;
}

// Registers both window classes (the preview has no host here, so only its
// class is made) and calls each class's procedure as the system would.
void callBothWindowProcedures() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  saverApp.measureDesktop();
  saverApp.parentWindow = 0;
  if (!saverApp.createSaverWindow(instance)) ExitProcess(5);
  saverApp.createPreviewWindow(instance);
  for (const char* name : {"MainWindow", "PreviewWindow"}) {
    WNDCLASSA windowClass = {};
    if (!GetClassInfoA(instance, name, &windowClass)) ExitProcess(5);
    int left = bytesLeftOnStack(windowClass.lpfnWndProc);
    if (left != 0) {
      fprintf(stderr, "%s's procedure left %d bytes on the stack\n", name, left);
      ExitProcess(6);
    }
  }
  ExitProcess(0);
}

TEST(SaverWindow, ProceduresPopTheirArgumentsAsTheSystemExpects) {
  EXPECT_EXIT(callBothWindowProcedures(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
