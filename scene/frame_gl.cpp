// One frame of the saver: the frozen desktop, the optional texts in front of
// it, and for a second after each mouse move the two eyes.
#include "scene/frame_gl.h"

#include <GL/gl.h>

#include "scene/eye_angles.h"
#include "scene/gl_names.h"
#include "scene/screen_space_gl.h"

namespace {

const float kEyeOffsetX = 1.0f;    // eye-space units left and right of the axis
const float kEyeDistance = -5.0f;  // eye-space z of both centres

// Places one eye: turned first about x, then about y, then moved into place.
// The axes are the plain unit axes, so a cursor on a monitor left of or
// above the primary one turns the eyes the same way as everywhere else.
void drawEye(float offsetX, const EyeAngles& angles) {
  glTranslatef(offsetX, 0.0f, kEyeDistance);
  glRotatef(angles.aboutY, 0.0f, 1.0f, 0.0f);
  glRotatef(angles.aboutX, 1.0f, 0.0f, 0.0f);
  glCallList(kEyeSphereList);
}

}  // namespace

void drawScene(const FrameContent& content) {
  glLoadIdentity();
  // Back to front, with no clear and no depth test: the backdrop is opaque
  // and covers every pixel, the texts go over it, the eyes over both.
  drawBackdrop(*content.backdrop);
  if (content.clock != nullptr) content.clock->drawClock();
  if (content.fpsCounter != nullptr) content.fpsCounter->drawFps(content.fpsText);
  if (content.eyes) {
    // The eyes' perspective covers the primary monitor only; the
    // screen-space passes cover the whole window. With one monitor the two
    // are the same and the viewport stays as it is.
    const ScreenLayout& layout = *content.layout;
    const int windowWidth = layout.window.right - layout.window.left;
    const int windowHeight = layout.window.bottom - layout.window.top;
    const bool ownViewport = layout.eyesX != 0 || layout.eyesY != 0 ||
                             layout.eyesWidth != windowWidth || layout.eyesHeight != windowHeight;
    if (ownViewport) {
      glViewport(layout.eyesX, layout.eyesY, layout.eyesWidth, layout.eyesHeight);
    }
    drawEyes(content.cursorX, content.cursorY);
    if (ownViewport) glViewport(0, 0, windowWidth, windowHeight);
  }
}

void drawEyes(int cursorX, int cursorY) {
  // The modelview is the identity here: drawScene loaded it and every pass
  // since restored it.
  EyeAngles angles = eyeAnglesFor(cursorX, cursorY);

  glBindTexture(GL_TEXTURE_2D, kEyeTexture);
  // source * source + destination * (1 - destination) per component. A GL
  // before 1.4 rejects GL_SRC_COLOR as a source factor and the eyes come
  // out opaque.
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_DST_COLOR);
  // Only the inside of each sphere's far half is drawn: the picture is seen
  // from within the sphere.
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);

  drawEye(kEyeOffsetX, angles);
  glLoadIdentity();
  drawEye(-kEyeOffsetX, angles);
  glLoadIdentity();

  // Back to the frame's base state; the blend function and the cull-face
  // mode stay set, since nothing else blends or culls.
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
}

bool presentFrame(HDC dc) { return SwapBuffers(dc) != FALSE; }
