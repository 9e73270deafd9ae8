#include "host/command_line.h"

#include <stdlib.h>

const char* const kRunModeSaver = "scr";
const char* const kRunModeConfig = "cfg";
const char* const kRunModePreview = "prev";
const char* const kRunModePassword = "pass";
const char* const kRunModeError = "error";

namespace {

bool isSwitchPrefix(char c) { return c == '-' || c == '/'; }

// Skips the program path. A quoted path ends at its closing quote. An
// unquoted one may hold spaces (the host does not always quote), so only a
// quote, or a '-' or '/' right after a space, ends it: a dash inside a file
// name such as C:\MY-SAVER.SCR is part of the path, not the switch.
const char* skipProgramPath(const char* p) {
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
    return p;
  }
  const char* start = p;
  while (*p != '\0' && *p != '"') {
    if (isSwitchPrefix(*p) && p > start && p[-1] == ' ') break;
    ++p;
  }
  return p;
}

// The host writes the number as letter-colon-number or letter-space-number;
// the character after the letter is passed over unseen, so /p345 reads 45.
int readWindowNumber(const char* letter) {
  if (letter[1] == '\0') return 0;
  return atoi(letter + 2);
}

}  // namespace

RunMode parseCommandLineText(const char* line, int* parentWindow) {
  const char* p = skipProgramPath(line);
  while (*p == ' ') ++p;  // spaces only: a tab is taken as the switch letter
  if (*p == '\0') return kRunModeConfig;
  if (isSwitchPrefix(*p)) ++p;  // one prefix only: //s is no switch

  switch (*p) {
    case 'A':
    case 'a':
      // Two spaces between letter and number: the host meant no window.
      *parentWindow = (p[1] != '\0' && p[2] == ' ') ? 0 : readWindowNumber(p);
      return kRunModePassword;
    case 'P':
    case 'p':
    case 'L':
    case 'l':
      *parentWindow = readWindowNumber(p);
      return kRunModePreview;
    case 'C':
    case 'c':
      *parentWindow = readWindowNumber(p);
      return kRunModeConfig;
    case 'S':
    case 's':
      return kRunModeSaver;
    default:
      return kRunModeError;
  }
}
