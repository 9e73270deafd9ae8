// Stored "Resolution" texts as the saver reads them before switching modes.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "settings/mode_text.h"
#include "tests/param_name.h"

namespace {

struct ModeTextCase {
  const char* name;
  const char* text;
  int32_t width;
  int32_t height;
  int32_t depth;
};

const ModeTextCase kCases[] = {
    {"WellFormed", "1024x768x32", 1024, 768, 32},
    {"TwoNumbersMakeHeightTheDepth", "1024x768", 1024, 0, 768},
    {"FourthNumberIsDepthThirdDropped", "1024x768x32x75", 1024, 768, 75},
    {"ZeroFillsNoSlot", "0x480x16", 480, 0, 16},
    {"UpperCaseXIsNoSeparator", "1024X768X32", 0, 0, 1024},
    {"NearMissOfLiteralHasNoSeparator", "current resolution", 0, 0, 0},
    {"LiteralItselfParsesToNothing", "Current resolution", 0, 0, 0},
    {"Empty", "", 0, 0, 0},
    {"TrailingSeparatorGivesDepthZero", "800x600x", 800, 600, 0},
    {"LeadingSpacesSkippedTrailingTextIgnored", " 800 x 600x 16bpp", 800, 600, 16},
    {"SignedNumbersKeepTheirSign", "-1x+600x16", -1, 600, 16},
    {"LettersReadAsZeroSoLaterNumbersMoveUp", "abcx640x480x8", 640, 480, 8},
    {"HugeNumberSaturates", "99999999999999999999x768x32", INT32_MAX, 768, 32},
    {"HugeNegativeSaturates", "1x1x-99999999999999999999", 1, 1, INT32_MIN},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const ModeTextCase& c, std::ostream* os) { *os << c.name; }

class ModeTextTable : public ::testing::TestWithParam<ModeTextCase> {};

TEST_P(ModeTextTable, ParsesWidthHeightDepth) {
  const ModeTextCase& c = GetParam();
  ModeTarget target = parseModeText(c.text);
  EXPECT_EQ(c.width, target.width) << c.text;
  EXPECT_EQ(c.height, target.height) << c.text;
  EXPECT_EQ(c.depth, target.depth) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ModeTextTable, ::testing::ValuesIn(kCases), ParamName());

// The registry hands over at most 259 characters, but the parser must not
// depend on that: a long run of separators and digits stays in bounds.
TEST(ModeText, LongTextParsesWithoutOverrun) {
  std::string text(5000, '7');
  text += "x";
  text += std::string(3000, 'x');
  text += "16";
  ModeTarget target = parseModeText(text.c_str());
  EXPECT_EQ(INT32_MAX, target.width);
  EXPECT_EQ(0, target.height);  // every later number was empty, so 0
  EXPECT_EQ(16, target.depth);
}

TEST(ModeText, OnlyTheExactLiteralMeansCurrent) {
  EXPECT_TRUE(isCurrentResolutionText("Current resolution"));
  EXPECT_FALSE(isCurrentResolutionText("current resolution"));
  EXPECT_FALSE(isCurrentResolutionText("Current resolution "));
  EXPECT_FALSE(isCurrentResolutionText("Current"));
  EXPECT_FALSE(isCurrentResolutionText(""));
}

TEST(ModeText, FormatsLargestValuesAndRefusesSmallBuffer) {
  char text[kModeTextCapacity];
  ASSERT_TRUE(formatModeText(4294967295u, 4294967295u, 4294967295u, text, sizeof(text)));
  EXPECT_STREQ("4294967295x4294967295x4294967295", text);

  char small[8];
  memset(small, '#', sizeof(small));
  EXPECT_FALSE(formatModeText(1024, 768, 32, small, sizeof(small)));
  EXPECT_STREQ("", small);
}

}  // namespace
