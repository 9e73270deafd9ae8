// Screen-space pass and the full-screen backdrop quad.
#include "scene/screen_space_gl.h"

#include <windows.h>
#include <GL/gl.h>

void beginScreenSpace(int width, int height) {
  // Save the perspective projection and the caller's modelview.
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  // Height as bottom and 0 as top: the origin goes to the top-left corner.
  glOrtho(0.0, static_cast<double>(width), static_cast<double>(height), 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void endScreenSpace() {
  // Restore both stacks; GL_MODELVIEW stays the current mode.
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void drawBackdrop(const ScreenQuad& quad) {
  const int count = snapshotTileCount(quad.tiles);
  for (int i = 0; i < count; ++i) {
    SnapshotTile tile = snapshotTile(quad.tiles, i);
    glBindTexture(GL_TEXTURE_2D, tileTexture(quad, i));
    // Each tile in a viewport of exactly its own pixels: neighbours meet on
    // whole pixels, and a screen wider than the GL's largest viewport is
    // still drawn 1:1 everywhere. Window coordinates count from the bottom.
    glViewport(tile.x, quad.height - tile.y - tile.height, tile.width, tile.height);
    beginScreenSpace(tile.width, tile.height);
    // The texture keeps the tile's bottom row at t = 0, the order of a
    // bottom-up DIB. The coordinates end exactly where the tile's texels
    // end, so each pixel's centre samples the centre of its own texel.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, tile.top);
    glVertex3i(0, 0, 0);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3i(0, tile.height, 0);
    glTexCoord2f(tile.right, 0.0f);
    glVertex3i(tile.width, tile.height, 0);
    glTexCoord2f(tile.right, tile.top);
    glVertex3i(tile.width, 0, 0);
    glEnd();
    endScreenSpace();
  }
  glViewport(0, 0, quad.width, quad.height);
}
