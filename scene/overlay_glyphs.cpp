#include "scene/overlay_glyphs.h"

const char kFpsLabel[] = "FPS: ";

// Space, the digits and the colon, and the label's letters.
const char kOverlayGlyphs[] = " 0123456789:FPS";
