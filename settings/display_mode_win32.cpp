// The switch to the configured display mode at saver start-up and its undo.
// The change is dynamic (never stored); the application restores the stored
// mode at exit and before every error box.
#include "settings/display_mode_win32.h"

#include <string.h>

#include "platform/failure_report_win32.h"
#include "platform/failure_text.h"
#include "settings/mode_text.h"

namespace {

const char kModeStage[] = "display mode";

}  // namespace

const char* const kLowColourMessage =
    "This program must be run either in high (16 bpp) or in true (32 bpp) color. Change your "
    "display settings prior to running this program again.";

size_t enumerateDisplayModes(DEVMODEA* record, DisplayMode* modes, size_t capacity) {
  memset(record, 0, sizeof(*record));
  record->dmSize = kDevModeSize;
  record->dmDriverExtra = 0;  // no room for driver-private data
  size_t count = 0;
  for (DWORD index = 0; EnumDisplaySettingsA(nullptr, index, record); ++index) {
    DisplayMode mode = {record->dmPelsWidth, record->dmPelsHeight, record->dmBitsPerPel,
                        record->dmDisplayFrequency};
    count = addDistinctMode(modes, count, capacity, mode);
  }
  return count;
}

ModeSwitchResult switchDisplayMode(const char* modeText) {
  // The whole screen's DC: no saver window exists yet.
  HDC dc = GetDC(nullptr);
  int desktopBits = GetDeviceCaps(dc, BITSPIXEL);
  if (desktopBits < 16) {
    ReleaseDC(nullptr, dc);
    reportFailure(kModeStage, "the desktop runs at %d bits per pixel, below 16", desktopBits);
    return kModeTooFewColours;
  }

  ModeTarget wanted;
  const bool keepCurrentMode = isCurrentResolutionText(modeText);
  if (keepCurrentMode) {
    wanted.width = GetDeviceCaps(dc, HORZRES);
    wanted.height = GetDeviceCaps(dc, VERTRES);
    wanted.depth = desktopBits;
  } else {
    wanted = parseModeText(modeText);
  }
  ReleaseDC(nullptr, dc);

  // The stored numbers are compared and requested as the unsigned fields of
  // the mode record, so a negative one is simply a mode nobody lists.
  const DWORD width = static_cast<DWORD>(wanted.width);
  const DWORD height = static_cast<DWORD>(wanted.height);
  const DWORD depth = static_cast<DWORD>(wanted.depth);

  DEVMODEA record;
  DisplayMode modes[kMaxDisplayModes];
  size_t count = enumerateDisplayModes(&record, modes, kMaxDisplayModes);
  const ModeRequest request =
      chooseModeRequest(modes, count, width, height, depth, keepCurrentMode);
  if (!request.change) return kModeApplied;

  record.dmBitsPerPel = depth;
  record.dmDisplayFrequency = request.frequency;
  record.dmPelsWidth = width;
  record.dmPelsHeight = height;
  record.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  const LONG result = ChangeDisplaySettingsA(&record, 0);
  if (result == DISP_CHANGE_SUCCESSFUL) return kModeApplied;
  reportFailure(kModeStage, "ChangeDisplaySettingsA refused %lux%lux%lu at %lu Hz: %s (%ld)",
                static_cast<unsigned long>(width), static_cast<unsigned long>(height),
                static_cast<unsigned long>(depth), static_cast<unsigned long>(request.frequency),
                displayChangeName(result), static_cast<long>(result));
  return kModeRefused;
}

void restoreDisplayMode() {
  const LONG result = ChangeDisplaySettingsA(nullptr, 0);
  if (result != DISP_CHANGE_SUCCESSFUL) {
    reportFailure(kModeStage, "ChangeDisplaySettingsA did not restore the stored mode: %s (%ld)",
                  displayChangeName(result), static_cast<long>(result));
  }
}

uint32_t currentRefreshRate() {
  DEVMODEA record;
  memset(&record, 0, sizeof(record));
  record.dmSize = kDevModeSize;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &record)) return 0;
  return record.dmDisplayFrequency;
}
