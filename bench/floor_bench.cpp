// The floor for the saver's frame cost: the least a program can do per
// frame and still show the frozen desktop full-screen. Same kind of window
// as the saver (top-most popup over the whole screen), the same pixel format
// request (double-buffered RGBA, no depth buffer), the desktop copied 1:1
// into a texture of the saver's size with one level; each frame is one
// textured quad and a buffer swap, with one message taken per pass as the
// saver's loop does. No texts, no eyes, no pacing.
//
// Usage: glimmer_floor.exe <result-file> [warm-up ms] [measured ms]
// A measured time of 0 stops after the start-up.
#include <stdlib.h>
#include <string.h>
#include <GL/gl.h>

#include "bench/bench_output.h"

namespace {

const char kFloorClassName[] = "FloorWindow";
const long kDefaultWarmUpMs = 1000;
const long kDefaultMeasuredMs = 5000;
const GLuint kSnapshotTexture = 1;

LRESULT CALLBACK floorWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 0;  // the desktop must stay on screen until the copy is taken
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

HWND createFloorWindow(HINSTANCE instance, int width, int height) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
  windowClass.lpfnWndProc = floorWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kFloorClassName;
  if (RegisterClassExA(&windowClass) == 0) return nullptr;
  HWND window = CreateWindowExA(WS_EX_TOPMOST, kFloorClassName, "Floor", WS_POPUP | WS_VISIBLE,
                                0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) ShowWindow(window, SW_SHOW);
  return window;
}

// The saver's request: double-buffered RGBA, colour depth left to the
// platform, no depth buffer.
HGLRC createContext(HDC dc) {
  PIXELFORMATDESCRIPTOR request = {};
  request.nSize = sizeof(request);
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.iLayerType = PFD_MAIN_PLANE;
  int format = ChoosePixelFormat(dc, &request);
  if (format == 0 || !SetPixelFormat(dc, format, &request)) return nullptr;
  HGLRC context = wglCreateContext(dc);
  if (context != nullptr) wglMakeCurrent(dc, context);
  return context;
}

// Where the copy sits in its texture: texture coordinates of the screen's
// right and top edges.
struct CopyEdges {
  float right;
  float top;
};

// One texture for the whole screen, the plainest way: per axis the
// smallest power of two that holds the screen's side, or the largest the GL
// takes, which a plain stretch then fills.
struct FloorLayout {
  int textureWidth;
  int textureHeight;
  int copyWidth;
  int copyHeight;
  bool scaled;
  float right;
  float top;
};

int floorTextureSide(int pixels, int maximum) {
  int side = 1;
  while (side < pixels && side <= maximum / 2) side *= 2;
  return side;
}

// Copies the screen 1:1 into a bottom-up BGRA DIB of the screen's size and
// hands the bytes to GL as they are, into the bottom-left corner of one
// texture: one level, no conversion pass, no stretch (on a GL too small for
// the screen, a plain stretch into the largest texture).
bool uploadDesktop(int width, int height, CopyEdges* edges) {
  GLint maximum = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
  FloorLayout layout;
  layout.textureWidth = floorTextureSide(width, maximum);
  layout.textureHeight = floorTextureSide(height, maximum);
  layout.copyWidth = width < layout.textureWidth ? width : layout.textureWidth;
  layout.copyHeight = height < layout.textureHeight ? height : layout.textureHeight;
  layout.scaled = layout.copyWidth != width || layout.copyHeight != height;
  layout.right = static_cast<float>(layout.copyWidth) / static_cast<float>(layout.textureWidth);
  layout.top = static_cast<float>(layout.copyHeight) / static_cast<float>(layout.textureHeight);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = layout.copyWidth;
  info.bmiHeader.biHeight = layout.copyHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC desktopDc = GetDC(nullptr);
  HDC memoryDc = CreateCompatibleDC(desktopDc);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(desktopDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memoryDc == nullptr || dib == nullptr || bits == nullptr) return false;
  HGDIOBJ previous = SelectObject(memoryDc, dib);
  if (layout.scaled) {
    StretchBlt(memoryDc, 0, 0, layout.copyWidth, layout.copyHeight, desktopDc, 0, 0, width,
               height, SRCCOPY);
  } else {
    BitBlt(memoryDc, 0, 0, width, height, desktopDc, 0, 0, SRCCOPY);
  }
  GdiFlush();
  glBindTexture(GL_TEXTURE_2D, kSnapshotTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, layout.textureWidth, layout.textureHeight, 0,
               GL_BGRA_EXT, GL_UNSIGNED_BYTE, nullptr);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, layout.copyWidth, layout.copyHeight, GL_BGRA_EXT,
                  GL_UNSIGNED_BYTE, bits);
  SelectObject(memoryDc, previous);
  DeleteObject(dib);
  DeleteDC(memoryDc);
  ReleaseDC(nullptr, desktopDc);
  edges->right = layout.right;
  edges->top = layout.top;
  return true;
}

// Pixel units with the origin at the bottom-left, set once for the run.
void setUpFloorState(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
}

void drawFloorFrame(HDC dc, int width, int height, const CopyEdges& edges) {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2i(0, 0);
  glTexCoord2f(edges.right, 0.0f);
  glVertex2i(width, 0);
  glTexCoord2f(edges.right, edges.top);
  glVertex2i(width, height);
  glTexCoord2f(0.0f, edges.top);
  glVertex2i(0, height);
  glEnd();
  SwapBuffers(dc);
}

bool takeOneMessage() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

long drawFrames(HDC dc, int width, int height, const CopyEdges& edges, long milliseconds,
                double* elapsedMs) {
  LARGE_INTEGER start = readCounter();
  long frames = 0;
  while (millisecondsSince(start) < static_cast<double>(milliseconds)) {
    if (!takeOneMessage()) failBench("frames: the window was closed");
    drawFloorFrame(dc, width, height, edges);
    ++frames;
  }
  glFinish();
  *elapsedMs = millisecondsSince(start);
  return frames;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 2 || !openBenchOutput(__argv[1])) return 3;
  long warmUpMs = argumentNumber(__argc, __argv, 2, kDefaultWarmUpMs);
  long measuredMs = argumentNumber(__argc, __argv, 3, kDefaultMeasuredMs);

  LARGE_INTEGER begin = readCounter();
  LARGE_INTEGER stage = begin;
  RECT screen;
  GetWindowRect(GetDesktopWindow(), &screen);
  int width = screen.right - screen.left;
  int height = screen.bottom - screen.top;
  HWND window = createFloorWindow(instance, width, height);
  if (window == nullptr) failBench("window");
  endStage("stage_window_ms", &stage);
  HDC dc = GetDC(window);
  if (createContext(dc) == nullptr) failBench("opengl");
  setUpFloorState(width, height);
  endStage("stage_gl_ms", &stage);
  CopyEdges edges = {};
  if (!uploadDesktop(width, height, &edges)) failBench("snapshot");
  endStage("stage_snapshot_ms", &stage);
  if (!takeOneMessage()) failBench("first frame");
  drawFloorFrame(dc, width, height, edges);
  glFinish();
  endStage("stage_first_frame_ms", &stage);
  writeNumber("startup_total_ms", millisecondsSince(begin));
  writeNumber("screen_width", width);
  writeNumber("screen_height", height);

  if (measuredMs > 0) {
    double elapsedMs = 0.0;
    drawFrames(dc, width, height, edges, warmUpMs, &elapsedMs);
    // The measured frames' interval on the wall clock, for bench.sh to
    // check its outside frame count against this program's own.
    writeWallClock("measure_start_unix_ns");
    long frames = drawFrames(dc, width, height, edges, measuredMs, &elapsedMs);
    writeWallClock("measure_end_unix_ns");
    writeNumber("frames", static_cast<double>(frames));
    writeNumber("frame_seconds", elapsedMs / 1000.0);
    writeNumber("fps", static_cast<double>(frames) * 1000.0 / elapsedMs);
  }
  writeText("done", "1");
  closeBenchOutput();

  HGLRC context = wglGetCurrentContext();
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(context);
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}
