// The wallpaper decoders: the imaging component's for any format it
// knows, USER's for BMPs.
#include "desktop/wallpaper_picture_win32.h"

#include <objbase.h>
#include <stdlib.h>

namespace {

// The first version of the imaging factory: Windows 7 without its platform
// update and XP with the imaging component have no other.
const GUID kImagingFactoryClass = {
    0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
const GUID kImagingFactoryInterface = {
    0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
const GUID kPixelFormat32bppBgr = {
    0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0e}};

// Decoded pictures larger than this are scaled down first: a 50-megapixel
// photo would otherwise need 200 MB at four bytes a pixel.
const long long kMaxDecodedPixels = 40LL * 1000 * 1000;

}  // namespace

IWICImagingFactory* createWicFactory() {
  IWICImagingFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(kImagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                              kImagingFactoryInterface, reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  return factory;
}

void releaseDecodedPicture(DecodedPicture* picture) {
  free(picture->pixels);
  picture->pixels = nullptr;
  picture->width = 0;
  picture->height = 0;
}

bool decodeWicPicture(IWICImagingFactory* factory, const WCHAR* path, DecodedPicture* picture) {
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapScaler* scaler = nullptr;
  IWICFormatConverter* converter = nullptr;
  UINT width = 0, height = 0;
  bool decoded = false;
  if (SUCCEEDED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height)) &&
      width > 0 && height > 0 && width <= 0x7FFF && height <= 0x7FFF) {
    IWICBitmapSource* source = frame;
    long long pixels = static_cast<long long>(width) * height;
    if (pixels > kMaxDecodedPixels && SUCCEEDED(factory->CreateBitmapScaler(&scaler))) {
      // Halved until it fits; the wallpaper is then scaled with the rest.
      while (static_cast<long long>(width) * height > kMaxDecodedPixels) {
        width = (width + 1) / 2;
        height = (height + 1) / 2;
      }
      if (SUCCEEDED(scaler->Initialize(frame, width, height, WICBitmapInterpolationModeFant))) {
        source = scaler;
      }
    }
    size_t stride = static_cast<size_t>(width) * 4;
    size_t bytes = stride * height;
    if (static_cast<long long>(width) * height <= kMaxDecodedPixels &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(source, kPixelFormat32bppBgr,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom))) {
      picture->pixels = static_cast<unsigned char*>(malloc(bytes));
      if (picture->pixels != nullptr &&
          SUCCEEDED(converter->CopyPixels(nullptr, static_cast<UINT>(stride),
                                          static_cast<UINT>(bytes), picture->pixels))) {
        picture->width = static_cast<int>(width);
        picture->height = static_cast<int>(height);
        decoded = true;
      }
    }
  }
  if (converter != nullptr) converter->Release();
  if (scaler != nullptr) scaler->Release();
  if (frame != nullptr) frame->Release();
  if (decoder != nullptr) decoder->Release();
  if (!decoded) releaseDecodedPicture(picture);
  return decoded;
}

void describeTopDownPixels(BITMAPINFO* info, int width, int height) {
  ZeroMemory(info, sizeof(*info));
  info->bmiHeader.biSize = sizeof(info->bmiHeader);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = -height;  // top-down
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 32;
  info->bmiHeader.biCompression = BI_RGB;
}

bool decodeBmpPicture(const WCHAR* path, DecodedPicture* picture) {
  char narrow[MAX_PATH];
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, narrow, MAX_PATH, nullptr, &lossy) == 0 || lossy) {
    return false;
  }
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, narrow, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return false;
  BITMAP about = {};
  bool decoded = false;
  if (GetObjectA(bitmap, sizeof(about), &about) != 0 && about.bmWidth > 0 &&
      about.bmHeight > 0 &&
      static_cast<long long>(about.bmWidth) * about.bmHeight <= kMaxDecodedPixels) {
    int width = about.bmWidth, height = about.bmHeight;
    picture->pixels = static_cast<unsigned char*>(malloc(static_cast<size_t>(width) * height * 4));
    BITMAPINFO info;
    describeTopDownPixels(&info, width, height);
    HDC screen = GetDC(nullptr);
    if (picture->pixels != nullptr &&
        GetDIBits(screen, bitmap, 0, height, picture->pixels, &info, DIB_RGB_COLORS) == height) {
      picture->width = width;
      picture->height = height;
      decoded = true;
    }
    ReleaseDC(nullptr, screen);
  }
  DeleteObject(bitmap);
  if (!decoded) releaseDecodedPicture(picture);
  return decoded;
}
