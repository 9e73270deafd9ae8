// Failure lines for the debugger.
#include "platform/failure_text.h"

namespace {

// Appends `text` at *length, one line: carriage returns go, line breaks and
// tabs become spaces. Leaves room for the closing line break and NUL.
void appendOneLine(char* out, size_t size, size_t* length, const char* text) {
  for (; *text != 0 && *length + 2 < size; ++text) {
    if (*text == '\r') continue;
    out[(*length)++] = (*text == '\n' || *text == '\t') ? ' ' : *text;
  }
}

}  // namespace

const char* displayChangeName(long result) {
  switch (result) {
    case 0: return "DISP_CHANGE_SUCCESSFUL";
    case 1: return "DISP_CHANGE_RESTART";
    case -1: return "DISP_CHANGE_FAILED";
    case -2: return "DISP_CHANGE_BADMODE";
    case -3: return "DISP_CHANGE_NOTUPDATED";
    case -4: return "DISP_CHANGE_BADFLAGS";
    case -5: return "DISP_CHANGE_BADPARAM";
    case -6: return "DISP_CHANGE_BADDUALVIEW";
    default: return "an unknown DISP_CHANGE result";
  }
}

const char* glErrorName(unsigned error) {
  switch (error) {
    case 0: return "GL_NO_ERROR";
    case 0x0500: return "GL_INVALID_ENUM";
    case 0x0501: return "GL_INVALID_VALUE";
    case 0x0502: return "GL_INVALID_OPERATION";
    case 0x0503: return "GL_STACK_OVERFLOW";
    case 0x0504: return "GL_STACK_UNDERFLOW";
    case 0x0505: return "GL_OUT_OF_MEMORY";
    default: return "an unknown GL error";
  }
}

void composeFailureLine(char* out, size_t size, const char* stage, const char* cause,
                        const char* detail) {
  if (size == 0) return;
  size_t length = 0;
  appendOneLine(out, size, &length, "Glimmerwatch: ");
  appendOneLine(out, size, &length, stage);
  appendOneLine(out, size, &length, ": ");
  appendOneLine(out, size, &length, cause);
  if (detail != nullptr && *detail != 0) {
    appendOneLine(out, size, &length, ": ");
    appendOneLine(out, size, &length, detail);
  }
  while (length > 0 && out[length - 1] == ' ') --length;
  if (size >= 2) out[length++] = '\n';
  out[length] = 0;
}
