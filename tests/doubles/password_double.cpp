// Stands in for the system's "password.cpl": the screen-saver password check
// of the 95/98 family, with the answer and the duration set by the test.
#include <stdint.h>
#include <stdio.h>

#include "double_record.h"

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  // The caller's cursor display count as it is on entry: the check is meant
  // to run with the cursor shown.
  int cursorCount = ShowCursor(FALSE) + 1;
  ShowCursor(TRUE);
  char line[128];
  snprintf(line, sizeof(line), "verify window=%llx cursor=%d",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), cursorCount);
  doubles::record(line);

  doubles::pumpWhileHeld();
  BOOL accept = doubles::answerIsAccept() ? TRUE : FALSE;
  doubles::record(accept ? "verify answer=accept" : "verify answer=refuse");
  return accept;
}
