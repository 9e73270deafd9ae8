/* Prints timeGetTime, the millisecond clock the saver runs on, so that the
   Wine test script can shift Wine's clocks to a chosen uptime and check
   that they were shifted. */
#include <windows.h>
#include <mmsystem.h>
#include <stdio.h>

int main(void) {
  printf("%lu\n", (unsigned long)timeGetTime());
  return 0;
}
