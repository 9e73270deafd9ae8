// Texture builders: the desktop snapshot and the eye picture. Both go
// through a 32-bit bottom-up DIB section whose pixels are reordered in place
// and handed to GLU for the whole mipmap chain, without a second copy.
#include "scene/textures_gl.h"

#include <olectl.h>
#include <stdio.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/pixel_passes.h"

namespace {

const int kHimetricPerInch = 2540;  // HIMETRIC units are 0.01 mm

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

// A width x height, 32-bit, bottom-up DIB section for `dc`, with its pixels
// in *bits. Null, with nothing left behind, when it cannot be made.
HBITMAP createDib(HDC dc, int width, int height, void** bits) {
  DibHeader dib;
  fillDibHeader(&dib, width, height);
  *bits = nullptr;
  HBITMAP dibSection = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS,
                                        bits, nullptr, 0);
  if (dibSection != nullptr && *bits == nullptr) {
    DeleteObject(dibSection);
    dibSection = nullptr;
  }
  return dibSection;
}

// A memory DC compatible with the DC of `window` (the whole screen's when
// null), and that DC. Both are held until closeMemoryDc.
struct MemoryDc {
  HWND window;
  HDC source;
  HDC memory;
};

bool openMemoryDc(HWND window, MemoryDc* dcs) {
  dcs->window = window;
  dcs->source = GetDC(window);
  if (dcs->source == nullptr) return false;
  dcs->memory = CreateCompatibleDC(dcs->source);
  if (dcs->memory == nullptr) {
    ReleaseDC(window, dcs->source);
    return false;
  }
  return true;
}

void closeMemoryDc(const MemoryDc& dcs) {
  DeleteDC(dcs.memory);
  ReleaseDC(dcs.window, dcs.source);
}

// Binds the picture's texture, sets its filters and builds every mipmap
// level from its RGBA bytes: the eyes are drawn smaller than the picture.
void uploadPictureLevels(unsigned textureName, int minFilter, int magFilter, int width,
                         int height, const void* pixels) {
  glBindTexture(GL_TEXTURE_2D, textureName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

// Writes the bytes to a new, uniquely named file in the user's temporary
// folder (the current directory of a screen saver is usually the system
// folder, which a normal user cannot write). On success `path` names the
// file and the caller must remove it; on failure nothing is left behind.
bool writeTemporaryFile(const void* bytes, DWORD size, char (&path)[MAX_PATH]) {
  char folder[MAX_PATH];
  DWORD folderLength = GetTempPathA(MAX_PATH, folder);
  if (folderLength == 0 || folderLength >= MAX_PATH) return false;
  // Creates the file exclusively under a name no other file has.
  if (GetTempFileNameA(folder, "glw", 0, path) == 0) return false;
  FILE* file = fopen(path, "wb");
  if (file == nullptr) {
    remove(path);
    return false;
  }
  // A short write shows up as a picture the loader refuses.
  fwrite(bytes, size, 1, file);
  fclose(file);
  return true;
}

}  // namespace

bool newDesktopCopy(int width, int height, DesktopCopy* copy) {
  ZeroMemory(copy, sizeof(*copy));
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
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
  ZeroMemory(copy, sizeof(*copy));
}

bool buildDesktopSnapshot(ScreenQuad* backdrop, const DesktopCopy& copy, int minFilter,
                          int magFilter) {
  if (copy.bitmap == nullptr || copy.width != backdrop->width || copy.height != backdrop->height) {
    return false;
  }
  // Each tile is drawn into a viewport of its own, so it must fit one as
  // well as a texture.
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  GLint viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  for (GLint side : viewport) {
    if (side > 0 && side < largest) largest = side;
  }
  backdrop->tiles = snapshotTiles(copy.width, copy.height, largest);
  const int count = snapshotTileCount(backdrop->tiles);
  if (count == 0) return false;

  // Each tile is a rectangle of the copy's rows, picked out where they lie:
  // the copy's bottom row is its first, and texture row 0 the tile's bottom
  // row. The DIB's blue, green, red order goes up as it is, and the
  // textures have no alpha, so every pixel is opaque, black ones included.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, copy.width);
  // Earlier errors are not this upload's; a GL keeps at most a few.
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  for (int i = 0; i < count; ++i) {
    SnapshotTile tile = snapshotTile(backdrop->tiles, i);
    glBindTexture(GL_TEXTURE_2D, tileTexture(*backdrop, i));
    // Level 0 only: every tile is drawn at its own size, never minified.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, tile.textureWidth, tile.textureHeight, 0,
                 GL_BGRA_EXT, GL_UNSIGNED_BYTE, nullptr);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, tile.x);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, copy.height - tile.y - tile.height);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tile.width, tile.height, GL_BGRA_EXT,
                    GL_UNSIGNED_BYTE, copy.bits);
  }
  bool uploaded = glGetError() == GL_NO_ERROR;
  // Back to the defaults the rest of the scene's uploads rely on.
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  return uploaded;
}

namespace {

// Draws the picture upright into a new width x height 32-bit DIB and uploads
// it; false when the DC or the DIB cannot be made.
bool uploadPicture(IPicture* picture, HDC memoryDc, OLE_XSIZE_HIMETRIC himetricWidth,
                   OLE_YSIZE_HIMETRIC himetricHeight, int width, int height,
                   unsigned textureName, int minFilter, int magFilter) {
  void* bits = nullptr;
  HBITMAP dibSection = createDib(memoryDc, width, height, &bits);
  if (dibSection == nullptr) return false;
  HGDIOBJ previous = SelectObject(memoryDc, dibSection);

  // Source from y = hmHeight with a negative height: the usual way of
  // rendering an IPicture upright, stretched to the texture size.
  picture->Render(memoryDc, 0, 0, width, height, 0, himetricHeight, himetricWidth,
                  -himetricHeight, nullptr);
  // The renderer's drawing may still sit in GDI's per-thread batch.
  GdiFlush();

  convertPicturePixels(static_cast<unsigned char*>(bits), static_cast<long>(width) * height);
  uploadPictureLevels(textureName, minFilter, magFilter, width, height, bits);

  // A bitmap still selected into a DC cannot be deleted.
  SelectObject(memoryDc, previous);
  DeleteObject(dibSection);
  return true;
}

// Sizes the decoded picture for the GL and uploads it through a memory DC
// compatible with `window`'s.
bool uploadDecodedPicture(IPicture* picture, HWND window, unsigned textureName, int minFilter,
                          int magFilter) {
  MemoryDc dcs;
  if (!openMemoryDc(window, &dcs)) return false;
  HDC memoryDc = dcs.memory;

  GLint maximum = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);

  // The picture reports its size in HIMETRIC; back to pixels at the DC's
  // own resolution, rounded to the nearest pixel.
  OLE_XSIZE_HIMETRIC himetricWidth = 0;
  OLE_YSIZE_HIMETRIC himetricHeight = 0;
  picture->get_Width(&himetricWidth);
  picture->get_Height(&himetricHeight);
  int pixelWidth = MulDiv(himetricWidth, GetDeviceCaps(memoryDc, LOGPIXELSX), kHimetricPerInch);
  int pixelHeight = MulDiv(himetricHeight, GetDeviceCaps(memoryDc, LOGPIXELSY), kHimetricPerInch);
  int width = pictureAxisTextureSize(pixelWidth, maximum);
  int height = pictureAxisTextureSize(pixelHeight, maximum);

  bool uploaded = uploadPicture(picture, memoryDc, himetricWidth, himetricHeight, width, height,
                                textureName, minFilter, magFilter);
  closeMemoryDc(dcs);
  return uploaded;
}

// Decodes the resource's bytes with the OLE picture loader. Null on failure.
IPicture* decodePicture(const void* bytes, DWORD byteCount) {
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
    if (FAILED(loadResult)) picture = nullptr;
  }
  remove(path);
  return picture;
}

}  // namespace

bool buildResourceTexture(HWND window, unsigned textureName, const char* resourceName,
                          const char* resourceType, int minFilter, int magFilter) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, resourceName, resourceType);
  if (resource == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  DWORD byteCount = SizeofResource(module, resource);
  if (bytes == nullptr || byteCount == 0) return false;

  IPicture* picture = decodePicture(bytes, byteCount);
  if (picture == nullptr) return false;
  bool uploaded = uploadDecodedPicture(picture, window, textureName, minFilter, magFilter);
  picture->Release();
  return uploaded;
}
