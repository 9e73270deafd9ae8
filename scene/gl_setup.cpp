// The saver window's OpenGL context, the base GL state every frame starts
// from, and the eye sphere's display list.
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include "host/saver_app.h"
#include "scene/gl_choices.h"

namespace {

const GLuint kEyeSphereList = 1;  // fixed name; the frame calls it by number
const unsigned kSnapshotTexture = 103;

const double kFieldOfViewY = 60.0;  // degrees
// Single precision widened to double, the value the projection has always had.
const double kNearPlane = static_cast<double>(0.1f);
const double kFarPlane = 20000.0;

const GLdouble kEyeRadius = 0.5;
const GLint kEyeSlices = 20;
const GLint kEyeStacks = 15;

}  // namespace

bool SaverApp::setUpOpenGl(HWND targetWindow, int width, int height, int requestedColorBits) {
  PIXELFORMATDESCRIPTOR request = {};
  request.nSize = sizeof(request);
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = static_cast<BYTE>(requestedColorBits & 0xFF);
  request.cDepthBits = pixelFormatDepthBits(requestedColorBits);
  request.iLayerType = PFD_MAIN_PLANE;

  windowDc = GetDC(targetWindow);
  // A failure in either call surfaces as a failing wglCreateContext below.
  int format = ChoosePixelFormat(windowDc, &request);
  SetPixelFormat(windowDc, format, &request);

  // On failure nothing is undone: the caller ends the process, and the
  // exit-time release takes the DC back.
  glContext = wglCreateContext(windowDc);
  if (glContext == nullptr) return false;
  wglMakeCurrent(windowDc, glContext);

  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfViewY, perspectiveAspect(width, height), kNearPlane, kFarPlane);
  // GL_MODELVIEW stays current for the whole run; every pass that switches
  // modes switches back.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glShadeModel(GL_SMOOTH);
  glDisable(GL_LIGHTING);

  viewportWidth = width;
  viewportHeight = height;

  // Claim list name 1 for the eye sphere before the fonts take their blocks
  // from glGenLists, which only hands out unused names; buildDisplayLists
  // compiles the real sphere into it later.
  glNewList(kEyeSphereList, GL_COMPILE);
  glEndList();

  clockOverlay.initOverlay(targetWindow);
  fpsCounter.initOverlay(targetWindow);

  BackdropQuad.width = viewportWidth;
  BackdropQuad.height = viewportHeight;
  BackdropQuad.texture = kSnapshotTexture;
  return true;
}

bool SaverApp::buildDisplayLists() {
  GLUquadric* quadric = gluNewQuadric();
  if (quadric == nullptr) return false;
  gluQuadricTexture(quadric, GL_TRUE);

  glNewList(kEyeSphereList, GL_COMPILE);
  gluSphere(quadric, kEyeRadius, kEyeSlices, kEyeStacks);
  glEndList();

  // The quadric only serves this compilation.
  gluDeleteQuadric(quadric);
  return true;
}
