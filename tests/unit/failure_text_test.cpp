// The debug line of a failure: one line whatever the system's text holds,
// and still a line when cut short.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/failure_text.h"

namespace {

struct LineCase {
  const char* name;
  const char* detail;
  size_t size;  // bytes of the buffer
  const char* line;
};

const LineCase kLineCases[] = {
    {"SystemTextLosesItsLineBreak", "Invalid handle.\r\n", 256,
     "Glimmerwatch: stage: call: Invalid handle.\n"},
    {"TextOfSeveralLinesIsOne", "First.\r\nSecond.\r\n", 256,
     "Glimmerwatch: stage: call: First. Second.\n"},
    {"NoDetailNoSeparator", nullptr, 256, "Glimmerwatch: stage: call\n"},
    {"CutShortEndsInItsLineBreak", "Invalid handle.\r\n", 29, "Glimmerwatch: stage: call:\n"},
};

}  // namespace

TEST(FailureLine, IsOneLineEvenCutShort) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.name);
    char out[256];
    memset(out, '#', sizeof out);
    composeFailureLine(out, c.size, "stage", "call", c.detail);
    EXPECT_EQ(std::string(c.line), out);
  }
}
