#include "settings/mode_lists.h"

ModeRequest chooseModeRequest(const DisplayMode* modes, size_t count, uint32_t width,
                              uint32_t height, uint32_t bits, bool keepCurrentMode) {
  bool listed = false;
  bool defaultListed = false;
  uint32_t highest = 0;
  for (size_t i = 0; i < count; ++i) {
    const DisplayMode& mode = modes[i];
    if (mode.bits != bits || mode.width != width || mode.height != height) continue;
    if (!listed || mode.frequency > highest) highest = mode.frequency;
    listed = true;
    if (mode.frequency == kDefaultRefreshRate) defaultListed = true;
  }
  if (listed && highest > kDefaultRefreshRate) return {true, highest};
  if (defaultListed) return {true, kDefaultRefreshRate};
  if (keepCurrentMode) return {false, 0};
  return {true, listed ? highest : kDefaultRefreshRate};
}

size_t addDistinctMode(DisplayMode* modes, size_t count, size_t capacity, const DisplayMode& mode) {
  for (size_t i = 0; i < count; ++i) {
    const DisplayMode& listed = modes[i];
    if (listed.width == mode.width && listed.height == mode.height && listed.bits == mode.bits &&
        listed.frequency == mode.frequency) {
      return count;
    }
  }
  if (count == capacity) return count;
  modes[count] = mode;
  return count + 1;
}

uint32_t usableRefreshRate(uint32_t reportedHz) {
  return reportedHz > 1 ? reportedHz : kDefaultRefreshRate;
}

namespace {

// Appends this depth's entries after the `used` ones already in `entries`;
// returns the new number of entries.
size_t scanDepth(const DisplayMode* modes, size_t count, uint32_t bits, bool widthMustGrow,
                 DialogModeEntry* entries, size_t used, size_t capacity) {
  uint32_t lastWidth = 0;
  uint32_t lastHeight = 0;
  for (size_t i = 0; i < count && used < capacity; ++i) {
    const DisplayMode& mode = modes[i];
    if (mode.bits != bits) continue;
    bool widthPasses = widthMustGrow ? mode.width > lastWidth : mode.width != lastWidth;
    if (!widthPasses || mode.height <= lastHeight) continue;
    lastWidth = mode.width;
    lastHeight = mode.height;
    formatModeText(mode.width, mode.height, mode.bits, entries[used].text,
                   sizeof(entries[used].text));
    ++used;
  }
  return used;
}

}  // namespace

size_t listDialogModes(const DisplayMode* modes, size_t count, DialogModeEntry* entries,
                       size_t capacity) {
  size_t used = scanDepth(modes, count, 32, true, entries, 0, capacity);
  used = scanDepth(modes, count, 24, false, entries, used, capacity);
  return scanDepth(modes, count, 16, true, entries, used, capacity);
}
