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
  glBindTexture(GL_TEXTURE_2D, quad.texture);
  beginScreenSpace(quad.width, quad.height);
  // The texture keeps the screen's bottom row at t = 0, the order of a
  // bottom-up DIB. The coordinates end exactly where the copied texels end,
  // so each pixel's centre samples the centre of its own texel.
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, quad.upper);
  glVertex3i(0, 0, 0);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3i(0, quad.height, 0);
  glTexCoord2f(quad.right, 0.0f);
  glVertex3i(quad.width, quad.height, 0);
  glTexCoord2f(quad.right, quad.upper);
  glVertex3i(quad.width, 0, 0);
  glEnd();
  endScreenSpace();
}
