// The preview: a child window inside the control panel's preview box that
// shows the stored picture.
#include "host/saver_app.h"

#include "host/window_class_win32.h"
#include "platform/failure_report_win32.h"
#include "platform/system_imports_win32.h"
#include "resources/resource_ids.h"

namespace {

const char kPreviewClassName[] = "PreviewWindow";
const int kPreviewBitmapWidth = 152;   // pixels of the preview bitmap
const int kPreviewBitmapHeight = 112;

// Stretches the preview bitmap over the whole client area. A missing bitmap
// paints nothing; the erase still counts as done.
void paintPreview(HWND hwnd) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_PREVIEW), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (bitmap == nullptr) return;
  HDC windowDc = GetDC(hwnd);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  HGDIOBJ previous = SelectObject(memoryDc, bitmap);
  RECT client;
  GetClientRect(hwnd, &client);
  StretchBlt(windowDc, 0, 0, client.right - client.left, client.bottom - client.top, memoryDc,
             0, 0, kPreviewBitmapWidth, kPreviewBitmapHeight, SRCCOPY);
  SelectObject(memoryDc, previous);
  DeleteDC(memoryDc);
  ReleaseDC(hwnd, windowDc);
  DeleteObject(bitmap);
}

LRESULT CALLBACK previewWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      // The host may destroy the preview box, or its whole window, without
      // a close request; the preview must not outlive its window.
      PostQuitMessage(0);
      return 0;
    case WM_ERASEBKGND:
      paintPreview(hwnd);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

// The host belongs to another process, the control panel, whose DPI
// awareness may differ from the saver's own (per monitor, from the
// manifest). A child window takes its parent's awareness, so the host is
// measured and the child created in the host's units: measured in ours, the
// preview would be cropped or fall short of the box under display scaling.
// Windows before 10 (1607) have neither call and no such difference.
void SaverApp::adoptHostDpiAwareness(HWND host) {
  if (host == nullptr) return;
  GetWindowDpiAwarenessContextProc getContext = findImport(kGetWindowDpiAwarenessContext);
  SetThreadDpiAwarenessContextProc setContext = findImport(kSetThreadDpiAwarenessContext);
  if (getContext == nullptr || setContext == nullptr) return;
  HANDLE context = getContext(host);
  if (context != nullptr) setContext(context);
}

bool SaverApp::createPreviewWindow(HINSTANCE instance) {
  if (!registerWindowClass(instance, kPreviewClassName, previewWindowProc, nullptr,
                           LoadCursorA(nullptr, IDC_ARROW))) {
    return false;
  }

  window = CreateWindowExA(0, kPreviewClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, screenWidth,
                           screenHeight, reinterpret_cast<HWND>(static_cast<INT_PTR>(parentWindow)),
                           nullptr, instance, nullptr);
  if (window == nullptr) reportSystemFailure("preview window", "CreateWindowExA", GetLastError());
  return window != nullptr;
}
