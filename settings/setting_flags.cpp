#include "settings/setting_flags.h"

#include <string.h>

bool settingFlagIsOn(const char* text) { return text != nullptr && strcmp(text, "1") == 0; }

const char* settingFlagText(bool on) { return on ? "1" : "0"; }
