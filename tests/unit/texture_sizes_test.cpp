// Sizes of the desktop snapshot and of the picture textures.
#include <gtest/gtest.h>

#include <string>

#include "scene/texture_sizes.h"

namespace {

struct SnapshotCase {
  const char* name;
  int width;
  int height;
  int size;
};

const SnapshotCase kSnapshotCases[] = {
    {"Vga", 640, 480, 1024},
    {"Svga", 800, 600, 1024},
    {"JustBelowMinimum", 1023, 1023, 1024},
    {"Xga", 1024, 768, 1024},
    {"Sxga", 1280, 1024, 1024},
    {"LongerSideJustBelowNextPower", 2047, 100, 1024},
    {"Qxga", 2048, 1536, 2048},
    {"PortraitSizedByHeight", 768, 1024, 1024},
    {"TallPortrait", 1440, 2560, 2048},
    {"FourK", 3840, 2160, 2048},
    {"WideFourK", 4096, 2160, 4096},
    {"Tiny", 1, 1, 1024},
};

class SnapshotSizeTable : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(SnapshotSizeTable, SquarePowerOfTwo) {
  const SnapshotCase& c = GetParam();
  EXPECT_EQ(c.size, snapshotTextureSize(c.width, c.height));
}

INSTANTIATE_TEST_SUITE_P(Screens, SnapshotSizeTable, ::testing::ValuesIn(kSnapshotCases),
                         [](const ::testing::TestParamInfo<SnapshotCase>& info) {
                           return std::string(info.param.name);
                         });

// The logarithm is taken in floating point; a quotient that lands a hair
// below a whole number would drop a power of two on the very screens that
// have one as their side.
TEST(SnapshotSize, EveryPowerOfTwoAndItsNeighbours) {
  for (int exponent = 10; exponent <= 30; ++exponent) {
    int power = 1 << exponent;
    EXPECT_EQ(power, snapshotTextureSize(power, 1)) << power;
    EXPECT_EQ(power, snapshotTextureSize(1, power + 1)) << power;
    if (power > 1024) {
      EXPECT_EQ(power / 2, snapshotTextureSize(power - 1, power - 1)) << power;
    }
  }
}

struct PictureCase {
  const char* name;
  int pixels;
  int maximum;
  int size;
};

const PictureCase kPictureCases[] = {
    {"EyePicture", 400, 1024, 512},
    {"BelowGeometricMidpointRoundsDown", 362, 1024, 256},
    {"AboveGeometricMidpointRoundsUp", 363, 1024, 512},
    {"ExactPower", 256, 1024, 256},
    {"JustBelowPowerRoundsUp", 255, 1024, 256},
    {"JustBelowMidpointUnder256", 181, 1024, 128},
    {"ClampedWithoutRounding", 400, 256, 256},
    {"ClampToNonPowerMaximum", 700, 600, 600},
    {"AtMaximumIsNotClamped", 400, 400, 512},
    {"One", 1, 1024, 1},
    {"Three", 3, 1024, 4},
    {"Five", 5, 1024, 4},
    {"Six", 6, 1024, 8},
    {"LargestAllowed", 1024, 1024, 1024},
};

class PictureSizeTable : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureSizeTable, NearestPowerOnLogScale) {
  const PictureCase& c = GetParam();
  EXPECT_EQ(c.size, pictureAxisTextureSize(c.pixels, c.maximum));
}

INSTANTIATE_TEST_SUITE_P(Axes, PictureSizeTable, ::testing::ValuesIn(kPictureCases),
                         [](const ::testing::TestParamInfo<PictureCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(PictureSize, AxesSizedIndependently) {
  // A 400 x 150 picture: 512 wide, 128 high, a non-square texture.
  EXPECT_EQ(512, pictureAxisTextureSize(400, 2048));
  EXPECT_EQ(128, pictureAxisTextureSize(150, 2048));
}

TEST(PictureSize, ExactPowersStayPut) {
  for (int exponent = 0; exponent <= 20; ++exponent) {
    int power = 1 << exponent;
    EXPECT_EQ(power, pictureAxisTextureSize(power, 1 << 30)) << power;
  }
}

}  // namespace
