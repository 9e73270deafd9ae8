// Extension lists name whole words: a name that begins a longer one is not
// named by it.
#include <gtest/gtest.h>

#include "scene/gl_choices.h"
#include "tests/param_name.h"

struct NameCase {
  const char* name;
  const char* list;
  bool named;
};
const NameCase kNameCases[] = {
    {"FirstOfTwoWithDoubleSpace", "WGL_ARB_create_context  WGL_ARB_create_context_robustness", true},
    {"LastWithTrailingSpace", "WGL_EXT_swap_control WGL_ARB_create_context ", true},
    {"OnlyBeginningLongerNames", "WGL_ARB_create_context_robustness WGL_ARB_create_context_profile", false},
    {"OnlyEndingALongerName", "XWGL_ARB_create_context", false},
    {"NoList", nullptr, false},
};
class ExtensionNames : public ::testing::TestWithParam<NameCase> {};
TEST_P(ExtensionNames, WholeWordsOnly) {
  EXPECT_EQ(GetParam().named, namesExtension(GetParam().list, "WGL_ARB_create_context"));
}
INSTANTIATE_TEST_SUITE_P(List, ExtensionNames, ::testing::ValuesIn(kNameCases), ParamName());
