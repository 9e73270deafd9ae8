// Failure causes for the debugger.
#include "platform/failure_report_win32.h"

#include <stdarg.h>
#include <stdio.h>

#include "platform/failure_text.h"

namespace {

const size_t kLineSize = 512;  // bytes: a stage, a call and the system's text

void writeLine(const char* stage, const char* cause, const char* detail) {
  char line[kLineSize];
  composeFailureLine(line, sizeof line, stage, cause, detail);
  OutputDebugStringA(line);
}

}  // namespace

void reportFailure(const char* stage, const char* format, ...) {
  char cause[kLineSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(cause, sizeof cause, format, arguments);
  va_end(arguments);
  writeLine(stage, cause, nullptr);
}

void reportSystemFailure(const char* stage, const char* call, DWORD error) {
  char cause[128];
  snprintf(cause, sizeof cause, "%s failed with error %lu (0x%08lX)", call,
           static_cast<unsigned long>(error), static_cast<unsigned long>(error));
  char text[kLineSize];
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                     0, text, sizeof text, nullptr) == 0) {
    snprintf(text, sizeof text, "no system text for it");
  }
  writeLine(stage, cause, text);
}
