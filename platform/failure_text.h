#pragma once
// The text of a failure's debug line: which stage failed and why, in the
// words of the call that failed. Pure, so that the native tests see it.
#include <stddef.h>

// The name of a display change's result, such as "DISP_CHANGE_BADMODE".
const char* displayChangeName(long result);

// The name of a GL error code, such as "GL_OUT_OF_MEMORY".
const char* glErrorName(unsigned error);

// Writes "Glimmerwatch: <stage>: <cause>[: <detail>]" and a line break into
// `out` (`size` bytes, NUL-terminated). The system's texts come with line
// breaks inside and at their end: those become single spaces and trailing
// blanks go, so that each failure is one line. Cut short to fit, the line
// still ends in its line break.
void composeFailureLine(char* out, size_t size, const char* stage, const char* cause,
                        const char* detail);
