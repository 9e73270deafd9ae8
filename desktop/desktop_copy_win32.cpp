// The desktop copy: a DIB section filled from the screen with GDI.
#include "desktop/desktop_copy_win32.h"

#include <stdio.h>

#include "platform/failure_report_win32.h"

namespace {

// Header of a width x height, 32-bit, bottom-up DIB: the first row in memory
// is the picture's bottom row, which is also the row GL takes as t = 0.
struct DibHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colours[1];  // zeroed with the header, unused at 32 bits
};

void fillDibHeader(DibHeader* dib, int width, int height) {
  ZeroMemory(dib, sizeof(*dib));
  dib->header.biSize = sizeof(BITMAPINFOHEADER);
  dib->header.biWidth = width;
  dib->header.biHeight = height;
  dib->header.biPlanes = 1;
  dib->header.biBitCount = 32;
  dib->header.biCompression = BI_RGB;
}

}  // namespace

HBITMAP createDib(HDC dc, int width, int height, void** bits) {
  DibHeader dib;
  fillDibHeader(&dib, width, height);
  *bits = nullptr;
  HBITMAP dibSection = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS,
                                        bits, nullptr, 0);
  if (dibSection == nullptr) {
    char call[64];
    snprintf(call, sizeof call, "CreateDIBSection of %dx%d pixels", width, height);
    reportSystemFailure("DIB section", call, GetLastError());
  } else if (*bits == nullptr) {
    reportFailure("DIB section", "CreateDIBSection of %dx%d pixels gave no pixels", width, height);
    DeleteObject(dibSection);
    dibSection = nullptr;
  }
  return dibSection;
}

bool openMemoryDc(HWND window, MemoryDc* dcs) {
  dcs->window = window;
  dcs->source = GetDC(window);
  if (dcs->source == nullptr) {
    reportFailure("memory DC", "GetDC gave no DC");
    return false;
  }
  dcs->memory = CreateCompatibleDC(dcs->source);
  if (dcs->memory == nullptr) {
    reportSystemFailure("memory DC", "CreateCompatibleDC", GetLastError());
    ReleaseDC(window, dcs->source);
    return false;
  }
  return true;
}

void closeMemoryDc(const MemoryDc& dcs) {
  DeleteDC(dcs.memory);
  ReleaseDC(dcs.window, dcs.source);
}

bool newDesktopCopy(int width, int height, DesktopCopy* copy) {
  *copy = DesktopCopy();
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    reportFailure("desktop copy", "GetDC gave no DC for the screen");
    return false;
  }
  void* bits = nullptr;
  HBITMAP dibSection = createDib(screen, width, height, &bits);
  ReleaseDC(nullptr, screen);
  if (dibSection == nullptr) return false;
  copy->bitmap = dibSection;
  copy->bits = bits;
  copy->width = width;
  copy->height = height;
  return true;
}

bool copyDesktop(int left, int top, int width, int height, DesktopCopy* copy) {
  if (!newDesktopCopy(width, height, copy)) return false;
  MemoryDc dcs;
  bool copied = false;
  if (openMemoryDc(nullptr, &dcs)) {
    HGDIOBJ previous = SelectObject(dcs.memory, copy->bitmap);
    // A process on a desktop that is not the user's may be refused the
    // screen ("invalid handle"); the caller then draws something else.
    copied = BitBlt(dcs.memory, 0, 0, width, height, dcs.source, left, top, SRCCOPY) != FALSE;
    if (!copied) reportSystemFailure("desktop copy", "BitBlt from the screen", GetLastError());
    // The copy may still sit in GDI's per-thread batch.
    GdiFlush();
    SelectObject(dcs.memory, previous);
    closeMemoryDc(dcs);
  }
  if (!copied) releaseDesktopCopy(copy);
  return copied;
}

void paintDesktopCopy(HDC dc, const DesktopCopy& copy) {
  HDC memory = CreateCompatibleDC(dc);
  if (memory == nullptr) return;
  HGDIOBJ previous = SelectObject(memory, copy.bitmap);
  BitBlt(dc, 0, 0, copy.width, copy.height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void releaseDesktopCopy(DesktopCopy* copy) {
  if (copy->bitmap != nullptr) DeleteObject(copy->bitmap);
  *copy = DesktopCopy();
}
