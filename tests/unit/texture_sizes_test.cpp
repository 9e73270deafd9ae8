// Sizes of the desktop snapshot and of the picture textures.
#include <gtest/gtest.h>

#include <string>

#include "scene/texture_sizes.h"

namespace {

struct SnapshotCase {
  const char* name;
  int width;
  int height;
  int maximum;  // GL_MAX_TEXTURE_SIZE
  int textureWidth;
  int textureHeight;
  int copyWidth;
  int copyHeight;
  bool scaled;
};

const SnapshotCase kSnapshotCases[] = {
    {"Vga", 640, 480, 16384, 1024, 512, 640, 480, false},
    {"Xga", 1024, 768, 16384, 1024, 1024, 1024, 768, false},
    {"Sxga", 1280, 1024, 16384, 2048, 1024, 1280, 1024, false},
    {"WideLaptop", 1366, 768, 16384, 2048, 1024, 1366, 768, false},
    {"FullHd", 1920, 1080, 16384, 2048, 2048, 1920, 1080, false},
    {"Qhd", 2560, 1440, 16384, 4096, 2048, 2560, 1440, false},
    {"FourK", 3840, 2160, 16384, 4096, 4096, 3840, 2160, false},
    {"PortraitFullHd", 1080, 1920, 16384, 2048, 2048, 1080, 1920, false},
    {"TwoMonitorsSideBySide", 2048, 768, 16384, 2048, 1024, 2048, 768, false},
    {"ExactPowersOfTwo", 1024, 512, 16384, 1024, 512, 1024, 512, false},
    {"OnePixel", 1, 1, 16384, 1, 1, 1, 1, false},
    // Larger than the GL allows: the largest texture, filled by a scaled copy.
    {"QhdOnAGlOf2048", 2560, 1440, 2048, 2048, 2048, 2048, 1440, true},
    {"FourKOnAGlOf2048", 3840, 2160, 2048, 2048, 2048, 2048, 2048, true},
    {"MaximumNotAPowerOfTwo", 3000, 700, 3000, 2048, 1024, 2048, 700, true},
    {"ExactlyTheMaximum", 2048, 2048, 2048, 2048, 2048, 2048, 2048, false},
    // A GL reporting less than the guaranteed 64 texels is not believed.
    {"MaximumBelowTheGuarantee", 100, 50, 0, 64, 64, 64, 50, true},
};

class SnapshotLayoutTable : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(SnapshotLayoutTable, TextureHoldsTheScreenOneToOneWhereItFits) {
  const SnapshotCase& c = GetParam();
  SnapshotLayout layout = snapshotLayout(c.width, c.height, c.maximum);
  EXPECT_EQ(c.textureWidth, layout.textureWidth);
  EXPECT_EQ(c.textureHeight, layout.textureHeight);
  EXPECT_EQ(c.copyWidth, layout.copyWidth);
  EXPECT_EQ(c.copyHeight, layout.copyHeight);
  EXPECT_EQ(c.scaled, layout.scaled);
  // The quad's texture coordinates cover exactly the copied texels, so the
  // centre of screen pixel x samples the centre of texel x (1:1 case).
  EXPECT_FLOAT_EQ(static_cast<float>(c.copyWidth) / c.textureWidth, layout.right);
  EXPECT_FLOAT_EQ(static_cast<float>(c.copyHeight) / c.textureHeight, layout.top);
  if (!layout.scaled) {
    for (int x : {0, c.width / 2, c.width - 1}) {
      float s = (static_cast<float>(x) + 0.5f) / c.width * layout.right;
      EXPECT_EQ(x, static_cast<int>(s * layout.textureWidth)) << "column " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, SnapshotLayoutTable, ::testing::ValuesIn(kSnapshotCases),
                         [](const ::testing::TestParamInfo<SnapshotCase>& info) {
                           return std::string(info.param.name);
                         });

// Every side from 1 to 5000 gets the smallest power of two that holds it.
TEST(SnapshotLayout, EverySideGetsTheSmallestPowerOfTwoThatHoldsIt) {
  for (int side = 1; side <= 5000; ++side) {
    SnapshotLayout layout = snapshotLayout(side, side, 8192);
    int texture = layout.textureWidth;
    EXPECT_EQ(0, texture & (texture - 1)) << side;
    EXPECT_GE(texture, side) << side;
    EXPECT_LT(texture / 2, side) << side;
    EXPECT_EQ(side, layout.copyWidth) << side;
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
