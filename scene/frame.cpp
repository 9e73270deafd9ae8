// One frame of the saver: the frozen desktop, the optional texts in front of
// it, and for a second after each mouse move the two eyes.
#include <windows.h>
#include <string.h>
#include <GL/gl.h>

#include "host/saver_app.h"
#include "scene/eye_angles.h"
#include "scene/fps_count.h"
#include "scene/frame_timing.h"
#include "scene/screen_space.h"

namespace {

const GLuint kEyeSphereList = 1;
const unsigned kEyeTexture = 104;
const float kEyeOffsetX = 1.0f;   // eye-space units left and right of the axis
const float kEyeDistance = -5.0f;  // eye-space z of both centres

// Where the cursor was last seen; kept across frames, (0, 0) at start.
POINT cursorPosition = {0, 0};

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

void SaverApp::drawFrame(bool timeShown, bool fpsShown) {
  char fpsText[kFpsTextSize];
  strncpy(fpsText, fpsCounter.tickFps(), sizeof fpsText - 1);
  fpsText[sizeof fpsText - 1] = '\0';

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();

  // The texts go first: their glyph faces write depth 0.5, the depth of the
  // backdrop quad, so with GL_LESS the backdrop fails exactly where text is
  // and fills every other pixel.
  if (timeShown) clockOverlay.drawClock();
  if (fpsShown) fpsCounter.drawFps(fpsText);
  drawBackdrop(BackdropQuad);

  // Only look at the queue: the render loop takes the message next pass.
  MSG waiting;
  if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE) && waiting.message == WM_MOUSEMOVE) {
    lastMouseMoveTime = timeGetTime();
  }
  if (eyesVisible(timeGetTime(), lastMouseMoveTime)) drawEyes();

  // The first frames stay in the back buffer until the hold-back ends.
  // Those are still finished one by one: a software rasteriser otherwise
  // queues seconds of unshown frames, and the first SwapBuffers has to work
  // them all off before anything appears.
  if (holdBackOver(timeGetTime(), startTime)) {
    SwapBuffers(windowDc);
  } else {
    glFinish();
  }
}

void SaverApp::drawEyes() {
  // The modelview is the identity here: drawFrame loaded it and every pass
  // since restored it.
  GetCursorPos(&cursorPosition);
  EyeAngles angles = eyeAnglesFor(cursorPosition.x, cursorPosition.y);

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
  // Over the backdrop and the texts, whatever their depth.
  glDisable(GL_DEPTH_TEST);

  drawEye(kEyeOffsetX, angles);
  glLoadIdentity();
  drawEye(-kEyeOffsetX, angles);

  // Back to the frame's base state; the blend function and the cull-face
  // mode stay set, since nothing else blends or culls.
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
}
