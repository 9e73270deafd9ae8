#pragma once
// Wallpapers decoded into 32-bit pixels: with the Windows Imaging
// Component (XP with it, Vista and later), created at run time through COM
// so that no import an older system lacks comes along, and where it is
// missing a BMP through USER.
#include <windows.h>
#include <wincodec.h>

// A decoded picture: top-down rows of 32-bit blue, green, red, unused.
struct DecodedPicture {
  int width = 0;
  int height = 0;
  unsigned char* pixels = nullptr;  // malloc'ed; null when nothing is held
};

// The imaging component's factory, or null where the system has none. COM
// must be started on the calling thread.
IWICImagingFactory* createWicFactory();

// Decodes the file's first frame, whatever its format by its content (a
// slideshow's current picture has no extension), into 32-bit pixels,
// halved until it holds at most 40 megapixels. False, with nothing held,
// when it cannot.
bool decodeWicPicture(IWICImagingFactory* factory, const WCHAR* path, DecodedPicture* picture);
// A BMP through USER, for systems without the imaging component (2000, XP
// without it, 98), which keep their wallpaper as a BMP; at most 40
// megapixels, so that its size in bytes cannot wrap a 32-bit size_t.
bool decodeBmpPicture(const WCHAR* path, DecodedPicture* picture);
void releaseDecodedPicture(DecodedPicture* picture);

// Describes top-down 32-bit pixels of that size, as DecodedPicture holds them.
void describeTopDownPixels(BITMAPINFO* info, int width, int height);
