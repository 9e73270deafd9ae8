#pragma once
// The user's desktop background as the Windows desktop lays it out: which
// desktop the saver runs on, the wallpaper style from its stored settings,
// and where the picture goes on each monitor. When the system starts the
// saver on a desktop of its own, the screen there is not the user's, and
// the background is the closest picture of it the saver may show.
// Pure logic: no platform headers.
#include "scene/screen_layout.h"

// Whether a desktop of that name (its window station's name left off) is
// the user's own, "Default" in any letter case. Only there does a copy of
// the screen show what the user saw.
bool isUsersDesktopName(const char* name);

enum WallpaperStyle {
  kWallpaperCentre,   // 1:1 in the middle of each monitor, cropped if larger
  kWallpaperTile,     // 1:1, repeated from the primary monitor's top-left
  kWallpaperStretch,  // to each monitor's size, aspect lost
  kWallpaperFit,      // whole, as large as each monitor holds; the rest colour
  kWallpaperFill,     // covering each monitor, the overhang cropped evenly
  kWallpaperSpan,     // as fill, once over the bounds of all monitors
};

// The style from the texts of "WallpaperStyle" and "TileWallpaper" under
// Control Panel\Desktop (null when a value is missing, as "0"): 0 is centre
// or, with tiling on ("1"), tile; 2 stretch, 6 fit, 10 fill, 22 span.
// Unknown numbers are taken as 0.
WallpaperStyle wallpaperStyleFromTexts(const char* styleText, const char* tileText);

// The style a group policy sets in its own "WallpaperStyle" (under
// Policies\System): 0 centre, 1 tile, 2 stretch, 3 fit, 4 fill, 5 span.
// False when the policy sets none (null) or a number it does not have;
// the user's own style then holds.
bool wallpaperStyleFromPolicyText(const char* text, WallpaperStyle* style);

// The style from a DESKTOP_WALLPAPER_POSITION of the per-monitor wallpaper
// interface (0 centre, 1 tile, 2 stretch, 3 fit, 4 fill, 5 span); others as
// fill, that interface's default.
WallpaperStyle wallpaperStyleFromPosition(int position);

// Where a picture goes on one monitor. The whole picture is drawn into
// `destination`, scaled to its size, and only what falls inside `clip`
// shows; for a tiled picture `destination` is the tile at or left of and
// above the clip's top-left corner, and tiles of its size repeat from there
// across and down until the clip is covered. All in desktop coordinates
// (the primary monitor's top-left is 0, 0). An empty clip draws nothing.
struct WallpaperPlacement {
  ScreenRect destination;
  ScreenRect clip;
  bool tiled;
};

// The placement of a picture of imageWidth x imageHeight pixels on
// `monitor`. `allMonitors` is the bounding box of every monitor, which a
// spanned picture covers. A picture without pixels draws nothing.
WallpaperPlacement placeWallpaper(const ScreenRect& monitor, const ScreenRect& allMonitors,
                                  int imageWidth, int imageHeight, WallpaperStyle style);

// Where one monitor's picture may be found, in the order they are tried:
// the path the wallpaper object names for the monitor (Windows 8 and
// later), Windows' own copies of what the desktop shows (the monitor's
// "Transcoded_NNN", then "TranscodedWallpaper", both under
// %APPDATA%\Microsoft\Windows\Themes), the wallpaper a group policy sets,
// and last the user's chosen file, which may since have been moved,
// deleted or left on a share that does not answer.
enum WallpaperSource {
  kSourceObjectPath,
  kSourceMonitorTranscoded,
  kSourceTranscoded,
  kSourcePolicy,
  kSourceUser,
};
enum { kWallpaperSourceCount = 5 };

// What the wallpaper object said of one monitor.
enum ObjectAnswer {
  kObjectSilent,     // no object, no answer in time, or the call failed
  kObjectNoPicture,  // it answered an empty path: the monitor shows the colour
  kObjectPicture,    // it named a file
};

// The sources to try for a monitor, first first, into `order` (room for
// kWallpaperSourceCount); returns how many. 0: the colour alone, which an
// empty answer of the object means, whatever the registry names.
int wallpaperSources(ObjectAnswer answer, WallpaperSource* order);

// Which of the wallpaper object's monitors answers for each of the saver's.
// The shell updates the object's list only after its own handling of a
// display change, often later than the saver settles on it: until then the
// list may hold a monitor at its old rectangle, or lack one that was just
// added. Only a monitor of the object at the very rectangle of one of the
// saver's speaks for it. Into `matches`, for each of the saver's `count`
// monitors, the index in `objectRects` of the first such, or -1: that
// monitor then takes the sources of a silent object.
void matchObjectMonitors(const ScreenRect* objectRects, int objectCount,
                         const MonitorArea* monitors, int count, int* matches);

// The style for the pictures: the wallpaper object's when it answered,
// else the policy's when it sets one, else the user's.
WallpaperStyle chooseWallpaperStyle(bool objectAnswered, WallpaperStyle objectStyle,
                                    bool policySetsStyle, WallpaperStyle policyStyle,
                                    WallpaperStyle userStyle);
