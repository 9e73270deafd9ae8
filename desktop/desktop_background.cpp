#include "desktop/desktop_background.h"

namespace {

const char kUsersDesktop[] = "Default";

char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The number a registry text starts with, after any spaces; -1 when it
// starts with none (a missing value reads as 0, as Windows takes it).
long leadingNumber(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ') ++text;
  if (*text < '0' || *text > '9') return -1;
  long value = 0;
  for (; *text >= '0' && *text <= '9' && value < 100000; ++text) value = value * 10 + (*text - '0');
  return value;
}

// a / b rounded towards minus infinity, for b > 0: a picture that hangs
// over a monitor's edge by an odd number of pixels has its extra pixel on
// the same side whichever way it hangs.
int floorDivide(long long a, long long b) {
  long long quotient = a / b;
  if (a % b != 0 && a < 0) --quotient;
  return static_cast<int>(quotient);
}

// value * numerator / denominator rounded to the nearest integer, halves
// up, and at least 1: a sliver of a picture still shows. All positive.
int roundedRatio(long long value, long long numerator, long long denominator) {
  long long rounded = (2 * value * numerator + denominator) / (2 * denominator);
  return rounded < 1 ? 1 : static_cast<int>(rounded);
}

// A width x height rectangle centred on `area`.
ScreenRect centredIn(const ScreenRect& area, int width, int height) {
  ScreenRect rect;
  rect.left = area.left + floorDivide(static_cast<long long>(area.right - area.left) - width, 2);
  rect.top = area.top + floorDivide(static_cast<long long>(area.bottom - area.top) - height, 2);
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  return rect;
}

// The picture scaled to the area keeping its aspect: the largest that fits
// inside it (`cover` false) or the smallest that covers it (true), centred.
ScreenRect scaledInto(const ScreenRect& area, int imageWidth, int imageHeight, bool cover) {
  long long width = area.right - area.left;
  long long height = area.bottom - area.top;
  // The picture is relatively taller than the area when iw / ih < w / h.
  bool taller = static_cast<long long>(imageWidth) * height < imageHeight * width;
  int scaledWidth, scaledHeight;
  if (taller != cover) {
    // As high as the area.
    scaledHeight = static_cast<int>(height);
    scaledWidth = roundedRatio(imageWidth, height, imageHeight);
  } else {
    scaledWidth = static_cast<int>(width);
    scaledHeight = roundedRatio(imageHeight, width, imageWidth);
  }
  return centredIn(area, scaledWidth, scaledHeight);
}

}  // namespace

bool isUsersDesktopName(const char* name) {
  if (name == nullptr) return false;
  for (int i = 0;; ++i) {
    if (lowerCase(name[i]) != lowerCase(kUsersDesktop[i])) return false;
    if (name[i] == '\0') return true;
  }
}

WallpaperStyle wallpaperStyleFromTexts(const char* styleText, const char* tileText) {
  switch (leadingNumber(styleText)) {
    case 2:
      return kWallpaperStretch;
    case 6:
      return kWallpaperFit;
    case 10:
      return kWallpaperFill;
    case 22:
      return kWallpaperSpan;
    default:
      return leadingNumber(tileText) == 1 ? kWallpaperTile : kWallpaperCentre;
  }
}

bool wallpaperStyleFromPolicyText(const char* text, WallpaperStyle* style) {
  if (text == nullptr) return false;
  long number = leadingNumber(text);
  if (number < 0 || number > 5) return false;
  *style = wallpaperStyleFromPosition(static_cast<int>(number));
  return true;
}

WallpaperStyle wallpaperStyleFromPosition(int position) {
  switch (position) {
    case 0:
      return kWallpaperCentre;
    case 1:
      return kWallpaperTile;
    case 2:
      return kWallpaperStretch;
    case 3:
      return kWallpaperFit;
    case 5:
      return kWallpaperSpan;
    default:
      return kWallpaperFill;
  }
}

WallpaperPlacement placeWallpaper(const ScreenRect& monitor, const ScreenRect& allMonitors,
                                  int imageWidth, int imageHeight, WallpaperStyle style) {
  WallpaperPlacement placement;
  placement.clip = monitor;
  placement.tiled = false;
  placement.destination = monitor;
  if (imageWidth <= 0 || imageHeight <= 0 || monitor.right <= monitor.left ||
      monitor.bottom <= monitor.top) {
    placement.clip.right = monitor.left;
    placement.clip.bottom = monitor.top;
    return placement;
  }
  switch (style) {
    case kWallpaperCentre:
      placement.destination = centredIn(monitor, imageWidth, imageHeight);
      break;
    case kWallpaperTile: {
      // The tiles' grid starts at the primary monitor's top-left, 0, 0.
      ScreenRect& tile = placement.destination;
      tile.left = floorDivide(monitor.left, imageWidth) * imageWidth;
      tile.top = floorDivide(monitor.top, imageHeight) * imageHeight;
      tile.right = tile.left + imageWidth;
      tile.bottom = tile.top + imageHeight;
      placement.tiled = true;
      break;
    }
    case kWallpaperStretch:
      break;
    case kWallpaperFit:
      placement.destination = scaledInto(monitor, imageWidth, imageHeight, false);
      break;
    case kWallpaperFill:
      placement.destination = scaledInto(monitor, imageWidth, imageHeight, true);
      break;
    case kWallpaperSpan:
      placement.destination = scaledInto(allMonitors, imageWidth, imageHeight, true);
      break;
  }
  return placement;
}

int wallpaperSources(ObjectAnswer answer, WallpaperSource* order) {
  if (answer == kObjectNoPicture) return 0;
  int count = 0;
  if (answer == kObjectPicture) order[count++] = kSourceObjectPath;
  order[count++] = kSourceMonitorTranscoded;
  order[count++] = kSourceTranscoded;
  order[count++] = kSourcePolicy;
  order[count++] = kSourceUser;
  return count;
}

void matchObjectMonitors(const ScreenRect* objectRects, int objectCount,
                         const MonitorArea* monitors, int count, int* matches) {
  for (int i = 0; i < count; ++i) {
    matches[i] = -1;
    for (int j = 0; j < objectCount && matches[i] < 0; ++j) {
      if (sameRect(objectRects[j], monitors[i].rect)) matches[i] = j;
    }
  }
}

WallpaperStyle chooseWallpaperStyle(bool objectAnswered, WallpaperStyle objectStyle,
                                    bool policySetsStyle, WallpaperStyle policyStyle,
                                    WallpaperStyle userStyle) {
  if (objectAnswered) return objectStyle;
  return policySetsStyle ? policyStyle : userStyle;
}
