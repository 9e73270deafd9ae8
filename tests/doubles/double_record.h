#pragma once
// What the password-service doubles share: the folder through which a test
// instructs them and reads back what they saw.
//
// The folder is named by the environment variable GLIMMER_DOUBLE_DIR, which
// the program under test inherits from the driver. In it:
//   calls.log  appended, one line per event (load, call, unload);
//   answer     "accept" makes the check pass; anything else, or no file,
//              refuses;
//   hold       while it exists, a call keeps pumping the caller's messages,
//              as the system's modal dialog would, so the test can act while
//              the call runs.
#include <windows.h>

namespace doubles {

// Appends `line` and a line break to calls.log.
void record(const char* line);
// True when the folder holds a file of that name.
bool controlFileExists(const char* name);
// True when the answer file's first word is "accept".
bool answerIsAccept();
// Runs the caller's messages until the hold file is gone (at most 60 s).
// A WM_QUIT taken here is posted again for the caller's own loop.
void pumpWhileHeld();

}  // namespace doubles
