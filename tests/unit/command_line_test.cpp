// The screen-saver switches as the host and users write them.
#include <gtest/gtest.h>
#include <string.h>

#include "host/command_line.h"
#include "tests/param_name.h"

namespace {

struct CommandLineCase {
  const char* name;
  const char* line;
  const char* mode;
  int parentWindow;  // expected; -7 marks "left untouched"
};

const int kUntouched = -7;

const CommandLineCase kCases[] = {
    {"SlashLowerS", "C:\\SAVER.SCR /s", "scr", kUntouched},
    {"SlashUpperS", "C:\\SAVER.SCR /S", "scr", kUntouched},
    {"DashS", "C:\\SAVER.SCR -s", "scr", kUntouched},
    {"QuotedPathWithSpaces", "\"C:\\Program Files\\My Saver.scr\" /s", "scr", kUntouched},
    {"EmptyTailUnquoted", "C:\\SAVER.SCR", "cfg", kUntouched},
    {"EmptyTailQuoted", "\"C:\\SAVER.SCR\"", "cfg", kUntouched},
    {"TrailingSpacesOnly", "\"C:\\SAVER.SCR\"   ", "cfg", kUntouched},
    {"MissingClosingQuote", "\"C:\\SAVER.SCR /s", "cfg", kUntouched},
    {"ConfigWithColonNumber", "C:\\SAVER.SCR /c:1234", "cfg", 1234},
    {"ConfigAlone", "C:\\SAVER.SCR /c", "cfg", 0},
    {"PreviewSpaceNumber", "C:\\SAVER.SCR /p 1234", "prev", 1234},
    {"PreviewColonNumber", "C:\\SAVER.SCR /p:1234", "prev", 1234},
    {"DashLowerL", "C:\\SAVER.SCR -l 1234", "prev", 1234},
    {"UpperP", "C:\\SAVER.SCR /P 99", "prev", 99},
    {"PreviewDigitAfterLetterIsSeparator", "C:\\SAVER.SCR /p345", "prev", 45},
    {"PreviewAlone", "C:\\SAVER.SCR /p", "prev", 0},
    {"PasswordSpaceNumber", "C:\\SAVER.SCR /a 1234", "pass", 1234},
    {"PasswordTwoSpacesMeansNoWindow", "C:\\SAVER.SCR /a  1234", "pass", 0},
    {"PasswordAlone", "C:\\SAVER.SCR /A", "pass", 0},
    {"UnknownLetter", "C:\\SAVER.SCR /x", "error", kUntouched},
    {"DoublePrefixIsNoSwitch", "C:\\SAVER.SCR //s", "error", kUntouched},
    {"BareLetterAfterQuotedPath", "\"C:\\SAVER.SCR\" s", "scr", kUntouched},
    {"BareLetterAfterUnquotedPathIsPath", "C:\\SAVER.SCR s", "cfg", kUntouched},
    {"TabIsTheSwitchLetter", "\"C:\\SAVER.SCR\"\t/s", "error", kUntouched},
    {"SpaceInsideUnquotedPath", "C:\\MY SAVER.SCR /p 5", "prev", 5},
    // A dash or slash inside an unquoted path is part of the path: only one
    // that follows a space starts the switch.
    {"DashInsideUnquotedPath", "C:\\MY-SAVER.SCR /p 100", "prev", 100},
    {"SlashPathUnquoted", "C:/SAVERS/SAVER.SCR /s", "scr", kUntouched},
    {"DashInsidePathNoSwitch", "C:\\MY-SAVER.SCR", "cfg", kUntouched},
    {"LineStartingWithSwitch", "/s", "cfg", kUntouched},
    {"EmptyLine", "", "cfg", kUntouched},
    {"NegativeNumber", "C:\\SAVER.SCR /p -5", "prev", -5},
};

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTable, ParsesModeAndWindow) {
  const CommandLineCase& c = GetParam();
  int parentWindow = kUntouched;
  RunMode mode = parseCommandLineText(c.line, &parentWindow);
  EXPECT_STREQ(c.mode, mode) << c.line;
  EXPECT_EQ(c.parentWindow, parentWindow) << c.line;
}

INSTANTIATE_TEST_SUITE_P(Switches, CommandLineTable, ::testing::ValuesIn(kCases), ParamName());

}  // namespace
