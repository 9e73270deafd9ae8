// The desktop snapshot's tiles and the picture textures' sizes.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "scene/texture_sizes.h"
#include "tests/param_name.h"

namespace {

// A piece as the table writes it: its length and its texture's side.
struct Piece {
  int length;
  int texture;
};

const int kMostPiecesInARow = 4;

struct SnapshotCase {
  const char* name;
  int width;
  int height;
  int maximum;  // GL_MAX_TEXTURE_SIZE
  Piece across[kMostPiecesInARow];  // left to right; the rest zero
  Piece down[kMostPiecesInARow];    // top to bottom
};

const SnapshotCase kSnapshotCases[] = {
    {"Vga", 640, 480, 16384, {{512, 512}, {128, 128}}, {{480, 512}}},
    {"Xga", 1024, 768, 16384, {{1024, 1024}}, {{512, 512}, {256, 256}}},
    {"WideLaptop", 1366, 768, 16384, {{1024, 1024}, {342, 512}}, {{512, 512}, {256, 256}}},
    {"FullHd", 1920, 1080, 16384, {{1920, 2048}}, {{1024, 1024}, {56, 64}}},
    {"Qhd", 2560, 1440, 16384, {{2048, 2048}, {512, 512}}, {{1024, 1024}, {416, 512}}},
    {"FourK", 3840, 2160, 16384, {{3840, 4096}}, {{2048, 2048}, {112, 128}}},
    // Not one 8192 x 4096 texture, half of it padding.
    {"EightKWide", 7680, 2160, 16384, {{7680, 8192}}, {{2048, 2048}, {112, 128}}},
    {"PortraitFullHd", 1080, 1920, 16384, {{1024, 1024}, {56, 64}}, {{1920, 2048}}},
    {"OnePixel", 1, 1, 16384, {{1, 1}}, {{1, 1}}},
    // GDI Generic's 1024 texels: the screen in tiles of at most 1024.
    {"FullHdOnAGlOf1024", 1920, 1080, 1024, {{1024, 1024}, {896, 1024}},
     {{1024, 1024}, {56, 64}}},
    {"PortraitOnAGlOf1024", 1080, 1920, 1024, {{1024, 1024}, {56, 64}},
     {{1024, 1024}, {896, 1024}}},
    {"ExactlyOneTexture", 1024, 1024, 1024, {{1024, 1024}}, {{1024, 1024}}},
    {"OnePixelMoreThanOneTexture", 1025, 1024, 1024, {{1024, 1024}, {1, 1}}, {{1024, 1024}}},
    // llvmpipe's 16384.
    {"ExactlyTheLargestOn16384", 16384, 600, 16384, {{16384, 16384}},
     {{512, 512}, {88, 128}}},
    {"WiderThanTheLargestOn16384", 17000, 600, 16384, {{16384, 16384}, {616, 1024}},
     {{512, 512}, {88, 128}}},
    {"MaximumNotAPowerOfTwo", 3000, 700, 3000, {{2048, 2048}, {952, 1024}},
     {{512, 512}, {188, 256}}},
    // A GL reporting less than the guaranteed 64 texels is not believed.
    {"MaximumBelowTheGuarantee", 100, 50, 0, {{64, 64}, {36, 64}}, {{50, 64}}},
    // More pieces than a tile grid holds: nothing to upload, which the
    // caller reports instead of showing part of the screen.
    {"TooManyTiles", 32768, 100, 64, {}, {}},
    {"NoScreen", 0, 768, 16384, {}, {}},
};

// Names the row in GoogleTest's messages instead of dumping its bytes.
void PrintTo(const SnapshotCase& c, std::ostream* out) { *out << c.name; }

// The axis's pieces against the row's: lengths, textures, and starts that
// follow each other without a gap.
void expectPieces(const char* axis, const Piece (&expected)[kMostPiecesInARow], int count,
                  const SnapshotPiece* pieces) {
  int expectedCount = 0;
  while (expectedCount < kMostPiecesInARow && expected[expectedCount].length != 0) ++expectedCount;
  ASSERT_EQ(expectedCount, count) << axis;
  int start = 0;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(start, pieces[i].start) << axis << " piece " << i;
    EXPECT_EQ(expected[i].length, pieces[i].length) << axis << " piece " << i;
    EXPECT_EQ(expected[i].texture, pieces[i].texture) << axis << " piece " << i;
    start += pieces[i].length;
  }
}

class SnapshotTilesTable : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(SnapshotTilesTable, ScreenInTilesOfPowerOfTwoTextures) {
  const SnapshotCase& c = GetParam();
  SnapshotTiles tiles = snapshotTiles(c.width, c.height, c.maximum);
  expectPieces("across", c.across, tiles.columns, tiles.across);
  expectPieces("down", c.down, tiles.rows, tiles.down);
  ASSERT_EQ(tiles.columns * tiles.rows, snapshotTileCount(tiles));
  // The tile of each index is its column's and row's, row by row from the
  // top-left; its texture coordinates end where its texels end, so the
  // centre of the tile's pixel x samples the centre of texel x.
  for (int index = 0; index < snapshotTileCount(tiles); ++index) {
    SnapshotTile tile = snapshotTile(tiles, index);
    const SnapshotPiece& across = tiles.across[index % tiles.columns];
    const SnapshotPiece& down = tiles.down[index / tiles.columns];
    EXPECT_EQ(across.start, tile.x) << index;
    EXPECT_EQ(down.start, tile.y) << index;
    EXPECT_EQ(across.length, tile.width) << index;
    EXPECT_EQ(down.length, tile.height) << index;
    EXPECT_EQ(across.texture, tile.textureWidth) << index;
    EXPECT_EQ(down.texture, tile.textureHeight) << index;
    EXPECT_FLOAT_EQ(static_cast<float>(tile.width) / tile.textureWidth, tile.right) << index;
    EXPECT_FLOAT_EQ(static_cast<float>(tile.height) / tile.textureHeight, tile.top) << index;
    for (int x : {0, tile.width / 2, tile.width - 1}) {
      float s = (static_cast<float>(x) + 0.5f) / tile.width * tile.right;
      EXPECT_EQ(x, static_cast<int>(s * tile.textureWidth)) << index << " column " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, SnapshotTilesTable, ::testing::ValuesIn(kSnapshotCases),
                         ParamName());

// Every side from 1 to 20000 on GLs from GDI Generic's to llvmpipe's: the
// pieces cover the side exactly, each in a power-of-two texture no larger
// than the GL takes, and the padding stays within an eighth of the side
// (or the one shortest piece's).
TEST(SnapshotTiles, EverySideIsCoveredExactlyWithLittlePadding) {
  for (int maximum : {1024, 4096, 16384}) {
    for (int side = 1; side <= 20000; ++side) {
      SnapshotTiles tiles = snapshotTiles(side, 1, maximum);
      ASSERT_GT(tiles.columns, 0) << side;
      int covered = 0, texels = 0;
      for (int i = 0; i < tiles.columns; ++i) {
        const SnapshotPiece& piece = tiles.across[i];
        ASSERT_EQ(covered, piece.start) << side << " on " << maximum;
        ASSERT_GE(piece.length, 1) << side << " on " << maximum;
        ASSERT_LE(piece.length, piece.texture) << side << " on " << maximum;
        ASSERT_LE(piece.texture, maximum) << side << " on " << maximum;
        ASSERT_EQ(0, piece.texture & (piece.texture - 1)) << side << " on " << maximum;
        covered += piece.length;
        texels += piece.texture;
      }
      ASSERT_EQ(side, covered) << maximum;
      ASSERT_LE(texels - side, side / 8 > 64 ? side / 8 : 64) << side << " on " << maximum;
      ASSERT_LE(tiles.columns, side / maximum + 4) << side << " on " << maximum;
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

INSTANTIATE_TEST_SUITE_P(Axes, PictureSizeTable, ::testing::ValuesIn(kPictureCases), ParamName());

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
