// The desktop snapshot copies the screen area its quad names, wherever that
// lies. On a desk with a monitor left of or above the primary one the
// saver's window, and so its quad, starts at negative coordinates; a copy
// that started at the screen's (0,0) instead would freeze the wrong picture.
// A window of the test shows a picture with a different colour in every
// pixel at an origin other than (0,0); the texture read back must be that
// picture texel for texel.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <stdio.h>

#include <ostream>
#include <string>
#include <vector>

#include "host/saver_app.h"
#include "scene/gl_context_gl.h"
#include "scene/screen_quad.h"
#include "scene/texture_sizes.h"
#include "scene/textures_gl.h"

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
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = pictureWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);  // fails harmlessly for the second row
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, className, "", WS_POPUP,
                                area.left, area.top, area.width, area.height, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return window;
}

// Lets the windows paint and the X server show them.
void pumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// Pixels of the area on screen that are not the picture.
int wrongOnScreen(const Area& area) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = shownPicture.info;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, area.width, area.height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  int wrong = 0;
  const unsigned* pixels = static_cast<const unsigned*>(bits);
  for (size_t i = 0; i < shownPicture.pixels.size(); ++i)
    if ((pixels[i] & 0xFFFFFFu) != shownPicture.pixels[i]) ++wrong;
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return wrong;
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
  pumpMessages(300);
  ASSERT_EQ(0, wrongOnScreen(area)) << "the screen does not show the picture at " << area.left
                                    << "," << area.top;

  HDC dc = GetDC(glWindow);
  HGLRC context = createGlContext(dc, 0);
  ASSERT_NE(nullptr, context);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  ScreenQuad quad = {area.left, area.top, area.width, area.height, texture, 0.0f, 0.0f};
  DesktopCopy copy = {};
  ASSERT_TRUE(copyDesktop(quad.left, quad.top, quad.width, quad.height, &copy));
  EXPECT_TRUE(buildDesktopSnapshot(&quad, copy, GL_NEAREST, GL_NEAREST));
  releaseDesktopCopy(&copy);

  GLint maximum = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
  SnapshotLayout layout = snapshotLayout(area.width, area.height, maximum);
  ASSERT_FALSE(layout.scaled);
  std::vector<unsigned> texels(static_cast<size_t>(layout.textureWidth) * layout.textureHeight);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());

  // Texture row 0 is the area's bottom row.
  int wrong = 0, firstX = -1, firstY = -1;
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      unsigned texel = texels[static_cast<size_t>(area.height - 1 - y) * layout.textureWidth + x];
      if ((texel & 0xFFFFFFu) == pictureAt(x, y)) continue;
      if (wrong++ == 0) {
        firstX = x;
        firstY = y;
      }
    }
  }
  EXPECT_EQ(0, wrong) << "texels that are not the picture at " << area.left << "," << area.top
                      << " (" << area.width << "x" << area.height << "), the first at " << firstX
                      << "," << firstY;

  glDeleteTextures(1, &texture);
  deleteGlContext(context);
  ReleaseDC(glWindow, dc);
  DestroyWindow(glWindow);
  DestroyWindow(pictureWindow);
}

INSTANTIATE_TEST_SUITE_P(Areas, DesktopSnapshot, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<SnapshotRow>& info) {
                           return std::string(info.param.name);
                         });

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
  pumpMessages(300);
  int wrong = wrongOnScreen(area);
  if (wrong != 0) {
    fprintf(stderr, "%d of %d pixels are not the copy's\n", wrong, area.width * area.height);
    ExitProcess(6);
  }
  ExitProcess(0);
}

TEST(SaverWindow, ShowsTheDesktopCopyUntilItsFirstFrame) {
  EXPECT_EXIT(showTheCopyInTheSaverWindow(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
