// Texture uploads. The desktop goes up 1:1 in tiles, level 0 only; the
// picture's pixels are reordered in place and handed to GLU for the whole
// mipmap chain, without a second copy.
#include "scene/textures_gl.h"

#include <windows.h>  // the GL headers of Windows need its types
#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/failure_report_win32.h"
#include "platform/failure_text.h"
#include "scene/pixel_passes.h"

namespace {

const char kSnapshotStage[] = "desktop snapshot";

}  // namespace

int largestTextureSide() {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  return largest;
}

bool buildDesktopSnapshot(ScreenQuad* backdrop, const void* bits, int width, int height) {
  if (bits == nullptr || width != backdrop->width || height != backdrop->height) {
    reportFailure(kSnapshotStage, "no desktop copy of the window's %dx%d pixels (%s, %dx%d)",
                  backdrop->width, backdrop->height, bits == nullptr ? "no pixels" : "pixels",
                  width, height);
    return false;
  }
  // Each tile is drawn into a viewport of its own, so it must fit one as
  // well as a texture.
  GLint largest = largestTextureSide();
  GLint viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  for (GLint side : viewport) {
    if (side > 0 && side < largest) largest = side;
  }
  // The textures of an earlier picture go first, so that the GL frees
  // their storage before it is asked for the new one.
  for (int i = 0; i < snapshotTileCount(backdrop->tiles); ++i) {
    GLuint name = tileTexture(*backdrop, i);
    glDeleteTextures(1, &name);
  }
  backdrop->tiles = snapshotTiles(width, height, largest);
  const int count = snapshotTileCount(backdrop->tiles);
  if (count == 0) {
    reportFailure(kSnapshotStage, "%dx%d pixels need more tiles of %d texels than a grid holds",
                  width, height, static_cast<int>(largest));
    return false;
  }

  // Each tile is a rectangle of the copy's rows, picked out where they lie:
  // the copy's bottom row is its first, and texture row 0 the tile's bottom
  // row. The DIB's blue, green, red order goes up as it is, and the
  // textures have no alpha, so every pixel is opaque, black ones included.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
  // Earlier errors are not this upload's; a GL keeps at most a few.
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  for (int i = 0; i < count; ++i) {
    SnapshotTile tile = snapshotTile(backdrop->tiles, i);
    glBindTexture(GL_TEXTURE_2D, tileTexture(*backdrop, i));
    // Level 0 only, nearest texel: every tile is drawn at its own size,
    // never minified or magnified.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, tile.textureWidth, tile.textureHeight, 0,
                 GL_BGRA_EXT, GL_UNSIGNED_BYTE, nullptr);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, tile.x);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, height - tile.y - tile.height);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tile.width, tile.height, GL_BGRA_EXT,
                    GL_UNSIGNED_BYTE, bits);
  }
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    reportFailure(kSnapshotStage, "uploading %d tiles of %dx%d pixels: %s", count, width, height,
                  glErrorName(error));
  }
  // Back to the defaults the rest of the scene's uploads rely on.
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  return error == GL_NO_ERROR;
}

bool buildPictureTexture(unsigned textureName, int minFilter, int magFilter, int width, int height,
                         void* bits) {
  convertPicturePixels(static_cast<unsigned char*>(bits), static_cast<long>(width) * height);
  glBindTexture(GL_TEXTURE_2D, textureName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  // The eyes are drawn smaller than the picture: every level.
  GLint error =
      gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bits);
  if (error != 0) {
    reportFailure("eye texture", "gluBuild2DMipmaps of %dx%d pixels: %s", width, height,
                  reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(error))));
    return false;
  }
  return true;
}
