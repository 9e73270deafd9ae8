#include "scene/clock_text.h"

size_t formatClockText(const struct tm& localTime, char* buffer, size_t bufferSize) {
  size_t length = strftime(buffer, bufferSize, "%H : %M : %S", &localTime);
  // strftime leaves the buffer undefined when it does not fit.
  if (length == 0 && bufferSize > 0) buffer[0] = '\0';
  return length;
}

size_t localClockText(time_t now, char* buffer, size_t bufferSize) {
  const struct tm* local = localtime(&now);
  if (local != nullptr) return formatClockText(*local, buffer, bufferSize);
  if (bufferSize > 0) buffer[0] = '\0';
  return 0;
}
