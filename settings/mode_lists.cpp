#include "settings/mode_lists.h"

#include "settings/mode_text.h"

uint32_t chooseRefreshRate(const std::vector<DisplayMode>& modes, uint32_t width,
                           uint32_t height, uint32_t bits) {
  uint32_t rate = kDefaultRefreshRate;
  for (const DisplayMode& mode : modes) {
    if (mode.frequency > rate && mode.bits == bits && mode.width == width &&
        mode.height == height) {
      rate = mode.frequency;
    }
  }
  return rate;
}

namespace {

void scanDepth(const std::vector<DisplayMode>& modes, uint32_t bits, bool widthMustGrow,
               std::vector<std::string>* entries) {
  uint32_t lastWidth = 0;
  uint32_t lastHeight = 0;
  for (const DisplayMode& mode : modes) {
    if (mode.bits != bits) continue;
    bool widthPasses = widthMustGrow ? mode.width > lastWidth : mode.width != lastWidth;
    if (!widthPasses || mode.height <= lastHeight) continue;
    lastWidth = mode.width;
    lastHeight = mode.height;
    char text[kModeTextCapacity];
    formatModeText(mode.width, mode.height, mode.bits, text, sizeof(text));
    entries->push_back(text);
  }
}

}  // namespace

std::vector<std::string> listDialogModes(const std::vector<DisplayMode>& modes) {
  std::vector<std::string> entries;
  scanDepth(modes, 32, true, &entries);
  scanDepth(modes, 24, false, &entries);
  scanDepth(modes, 16, true, &entries);
  return entries;
}
