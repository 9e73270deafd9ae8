#include "settings/setting_names.h"

const char* const kSettingsKeyPath = "Software\\Tessaly\\Glimmerwatch";
const char* const kResolutionValue = "Resolution";
const char* const kShowTimeValue = "Show Time";
const char* const kShowFpsValue = "Show FPS";
