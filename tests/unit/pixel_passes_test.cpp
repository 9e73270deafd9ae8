// The in-place BGRx -> RGBA pass of the picture texture builder.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "scene/pixel_passes.h"
#include "tests/param_name.h"

namespace {

struct PixelCase {
  const char* name;
  unsigned char dib[4];       // blue, green, red, unused as GDI leaves them
  unsigned char picture[4];   // after the picture pass
};

const PixelCase kPixelCases[] = {
    {"ExactBlack", {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"BlackWithGarbageInUnusedByte", {0, 0, 0, 0x5A}, {0, 0, 0, 0}},
    {"NearlyBlackBlue", {1, 0, 0, 0}, {0, 0, 1, 255}},
    {"NearlyBlackGreen", {0, 1, 0, 0}, {0, 1, 0, 255}},
    {"NearlyBlackRed", {0, 0, 1, 0}, {1, 0, 0, 255}},
    {"PureBlue", {255, 0, 0, 0}, {0, 0, 255, 255}},
    {"PureRed", {0, 0, 255, 0x80}, {255, 0, 0, 255}},
    {"White", {255, 255, 255, 0}, {255, 255, 255, 255}},
    {"Mixed", {0x12, 0x34, 0x56, 0x78}, {0x56, 0x34, 0x12, 255}},
};

class PixelPassTable : public ::testing::TestWithParam<PixelCase> {};

// Each case sits between two other pixels, so a pass that walks with the
// wrong stride or order shows up in the neighbours too.
TEST_P(PixelPassTable, PictureSwapsAndClearsExactBlack) {
  const PixelCase& c = GetParam();
  unsigned char pixels[12] = {0, 0, 0, 6, 0, 0, 0, 0, 5, 4, 3, 2};
  memcpy(pixels + 4, c.dib, 4);
  convertPicturePixels(pixels, 3);
  EXPECT_EQ(0, memcmp(pixels + 4, c.picture, 4));
  const unsigned char first[4] = {0, 0, 0, 0};
  const unsigned char last[4] = {3, 4, 5, 255};
  EXPECT_EQ(0, memcmp(pixels, first, 4));
  EXPECT_EQ(0, memcmp(pixels + 8, last, 4));
}

INSTANTIATE_TEST_SUITE_P(Pixels, PixelPassTable, ::testing::ValuesIn(kPixelCases), ParamName());

// The count bounds the pass: memory after the last pixel is left alone.
TEST(PixelPass, StopsAtPixelCount) {
  unsigned char picture[8] = {0, 0, 0, 4, 0xEE, 0xEE, 0xEE, 0xEE};
  convertPicturePixels(picture, 1);
  const unsigned char pictureWant[8] = {0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(0, memcmp(picture, pictureWant, 8));

  unsigned char untouched[4] = {1, 2, 3, 4};
  convertPicturePixels(untouched, 0);
  const unsigned char untouchedWant[4] = {1, 2, 3, 4};
  EXPECT_EQ(0, memcmp(untouched, untouchedWant, 4));
}

}  // namespace
