#include "settings/mode_text.h"

#include <stdio.h>
#include <string.h>

const char* const kCurrentResolutionText = "Current resolution";

namespace {

// The white space that atol skips, spelled out so that bytes above 127 never
// reach the locale-dependent classification functions.
bool isAtolSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atol over the characters [begin, end), saturating at the 32-bit limits
// the way strtol does, so an absurdly long run of digits in the registry
// cannot overflow.
int32_t convertNumber(const char* begin, const char* end) {
  const char* p = begin;
  while (p < end && isAtolSpace(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  int64_t value = 0;
  const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : int64_t{INT32_MAX};
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;  // stays saturated for the remaining digits
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

bool isCurrentResolutionText(const char* text) {
  return text != nullptr && strcmp(text, kCurrentResolutionText) == 0;
}

ModeTarget parseModeText(const char* text) {
  ModeTarget target = {0, 0, 0};
  if (text == nullptr) return target;
  const char* numberStart = text;
  const char* p = text;
  for (; *p != '\0'; ++p) {
    if (*p != 'x') continue;
    int32_t number = convertNumber(numberStart, p);
    if (target.width == 0) {
      target.width = number;
    } else if (target.height == 0) {
      target.height = number;
    }
    numberStart = p + 1;
  }
  target.depth = convertNumber(numberStart, p);
  return target;
}

bool formatModeText(uint32_t width, uint32_t height, uint32_t bits, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return false;
  int written = snprintf(out, outSize, "%lux%lux%lu", static_cast<unsigned long>(width),
                         static_cast<unsigned long>(height), static_cast<unsigned long>(bits));
  if (written < 0 || static_cast<size_t>(written) >= outSize) {
    out[0] = '\0';
    return false;
  }
  return true;
}
