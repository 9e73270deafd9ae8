// Entry point: reads the screen-saver switch and runs one mode on the one
// application object, then shuts it down. Every normal end returns 0; fatal
// errors leave through reportError with exit code 1, and so does a saver
// whose GL could not be made again, without a box.
#include <string.h>

#include "host/command_line.h"
#include "host/saver_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RunMode mode = saverApp.parseCommandLine();
  int code = 0;
  if (strcmp(mode, kRunModeSaver) == 0) {
    code = saverApp.runSaver(instance);
  } else if (strcmp(mode, kRunModeConfig) == 0) {
    saverApp.runSettingsDialog(instance);
  } else if (strcmp(mode, kRunModePreview) == 0) {
    saverApp.runPreview(instance);
  } else if (strcmp(mode, kRunModePassword) == 0) {
    saverApp.changePassword(nullptr);
  }
  saverApp.shutDown();
  return code;
}
