// The OLE picture loader, fed a resource's bytes through a temporary file.
#include "desktop/ole_picture_win32.h"

#include <errno.h>
#include <olectl.h>
#include <stdio.h>
#include <string.h>

#include "platform/failure_report_win32.h"
#include "scene/texture_sizes.h"

namespace {

const char kPictureStage[] = "eye picture";

const int kHimetricPerInch = 2540;  // HIMETRIC units are 0.01 mm

// Writes the bytes to a new, uniquely named file in the user's temporary
// folder (the current directory of a screen saver is usually the system
// folder, which a normal user cannot write). On success `path` names the
// file and the caller must remove it; on failure nothing is left behind.
bool writeTemporaryFile(const void* bytes, DWORD size, char (&path)[MAX_PATH]) {
  char folder[MAX_PATH];
  DWORD folderLength = GetTempPathA(MAX_PATH, folder);
  if (folderLength == 0 || folderLength >= MAX_PATH) {
    reportSystemFailure(kPictureStage, "GetTempPathA", GetLastError());
    return false;
  }
  // Creates the file exclusively under a name no other file has.
  if (GetTempFileNameA(folder, "glw", 0, path) == 0) {
    reportSystemFailure(kPictureStage, "GetTempFileNameA", GetLastError());
    return false;
  }
  FILE* file = fopen(path, "wb");
  if (file == nullptr) {
    reportFailure(kPictureStage, "fopen of %s: %s", path, strerror(errno));
    remove(path);
    return false;
  }
  // A short write shows up as a picture the loader refuses.
  fwrite(bytes, size, 1, file);
  fclose(file);
  return true;
}

// Decodes the bytes with the OLE picture loader. Null on failure.
IPicture* loadOlePicture(const void* bytes, DWORD byteCount) {
  // The OLE loader reads pictures from files (absolute paths only, on some
  // systems), so the bytes take a detour through a temporary one, removed
  // again whatever the loader made of it.
  char path[MAX_PATH];
  if (!writeTemporaryFile(bytes, byteCount, path)) return nullptr;
  IPicture* picture = nullptr;
  WCHAR widePath[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) != 0) {
    HRESULT loadResult = OleLoadPicturePath(widePath, nullptr, 0, 0, IID_IPicture,
                                            reinterpret_cast<void**>(&picture));
    if (FAILED(loadResult)) {
      reportSystemFailure(kPictureStage, "OleLoadPicturePath", static_cast<DWORD>(loadResult));
      picture = nullptr;
    }
  }
  remove(path);
  return picture;
}

// Draws the picture upright into a new DIB whose sides are texture sides,
// through a memory DC compatible with `window`'s.
bool renderOlePicture(IPicture* picture, HWND window, int largestTexture, DesktopCopy* pixels) {
  MemoryDc dcs;
  if (!openMemoryDc(window, &dcs)) return false;
  // The picture reports its size in HIMETRIC; back to pixels at the DC's
  // own resolution, rounded to the nearest pixel.
  OLE_XSIZE_HIMETRIC himetricWidth = 0;
  OLE_YSIZE_HIMETRIC himetricHeight = 0;
  picture->get_Width(&himetricWidth);
  picture->get_Height(&himetricHeight);
  int pixelWidth = MulDiv(himetricWidth, GetDeviceCaps(dcs.memory, LOGPIXELSX), kHimetricPerInch);
  int pixelHeight = MulDiv(himetricHeight, GetDeviceCaps(dcs.memory, LOGPIXELSY), kHimetricPerInch);
  int width = pictureAxisTextureSize(pixelWidth, largestTexture);
  int height = pictureAxisTextureSize(pixelHeight, largestTexture);

  *pixels = DesktopCopy();
  void* bits = nullptr;
  HBITMAP dibSection = createDib(dcs.memory, width, height, &bits);
  if (dibSection != nullptr) {
    HGDIOBJ previous = SelectObject(dcs.memory, dibSection);
    // Source from y = hmHeight with a negative height: the usual way of
    // rendering an IPicture upright, stretched to the texture size.
    picture->Render(dcs.memory, 0, 0, width, height, 0, himetricHeight, himetricWidth,
                    -himetricHeight, nullptr);
    // The renderer's drawing may still sit in GDI's per-thread batch.
    GdiFlush();
    // A bitmap still selected into a DC cannot be deleted later.
    SelectObject(dcs.memory, previous);
    pixels->bitmap = dibSection;
    pixels->bits = bits;
    pixels->width = width;
    pixels->height = height;
  }
  closeMemoryDc(dcs);
  return dibSection != nullptr;
}

}  // namespace

bool decodeOleResourcePicture(HWND window, const char* resourceName, const char* resourceType,
                              int largestTexture, DesktopCopy* pixels) {
  *pixels = DesktopCopy();
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, resourceName, resourceType);
  if (resource == nullptr) {
    reportSystemFailure(kPictureStage, "FindResourceA", GetLastError());
    return false;
  }
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  DWORD byteCount = SizeofResource(module, resource);
  if (bytes == nullptr || byteCount == 0) {
    reportSystemFailure(kPictureStage, "LoadResource", GetLastError());
    return false;
  }

  IPicture* picture = loadOlePicture(bytes, byteCount);
  if (picture == nullptr) return false;
  bool rendered = renderOlePicture(picture, window, largestTexture, pixels);
  picture->Release();
  return rendered;
}
