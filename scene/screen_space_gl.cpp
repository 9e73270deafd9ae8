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
  // t runs from 0 at the top edge to -1 at the bottom; with GL_REPEAT in t
  // the sampled t is 1 - y / height, so the texture's last row lands on the
  // top of the screen and its first row on the bottom.
  glBegin(GL_QUADS);
  glTexCoord2i(0, 0);
  glVertex3i(0, 0, 0);
  glTexCoord2i(0, -1);
  glVertex3i(0, quad.height, 0);
  glTexCoord2i(1, -1);
  glVertex3i(quad.width, quad.height, 0);
  glTexCoord2i(1, 0);
  glVertex3i(quad.width, 0, 0);
  glEnd();
  endScreenSpace();
}
