// The saver window's OpenGL context, the base GL state every frame starts
// from, and the eye sphere's display list.
#include "scene/gl_context_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/failure_report_win32.h"
#include "platform/system_imports_win32.h"
#include "scene/gl_choices.h"
#include "scene/gl_names.h"

namespace {

const double kFieldOfViewY = 60.0;  // degrees
// Single precision widened to double, the value the projection has always had.
const double kNearPlane = static_cast<double>(0.1f);
const double kFarPlane = 20000.0;

const GLdouble kEyeRadius = 0.5;
const GLint kEyeSlices = 20;
const GLint kEyeStacks = 15;

const char kGlStage[] = "OpenGL set-up";

// WGL_ARB_create_context, _profile and _robustness.
const int kContextProfileMask = 0x9126;         // WGL_CONTEXT_PROFILE_MASK_ARB
const int kCompatibilityProfile = 0x00000002;   // WGL_CONTEXT_COMPATIBILITY_PROFILE_BIT_ARB
const int kResetNotification = 0x8256;          // WGL_CONTEXT_RESET_NOTIFICATION_STRATEGY_ARB
const int kLoseContextOnReset = 0x8252;         // WGL_LOSE_CONTEXT_ON_RESET_ARB
const unsigned int kGlNoError = 0;              // GL_NO_ERROR

// Makes `context` current on `dc`; on failure names the cause and deletes
// the context.
bool makeCurrentOrDelete(HDC dc, HGLRC context) {
  if (wglMakeCurrent(dc, context)) return true;
  reportSystemFailure(kGlStage, "wglMakeCurrent", GetLastError());
  wglDeleteContext(context);
  return false;
}

// A context that the driver tells of its resets, made on `dc` with its pixel
// format while a context made the old way is current there (the WGL
// extensions are found through one), or null where the driver cannot make
// one. A context made the old way is never told: after a driver reset it
// draws nothing while every present still succeeds. Version 1.0 asked for
// and the compatibility profile: every GL 1.1 call the scene makes keeps
// working.
HGLRC createResetNotifiedContext(HDC dc) {
  GetExtensionsStringARBProc extensions = findImport(kGetExtensionsStringARB);
  CreateContextAttribsARBProc createWithAttributes = findImport(kCreateContextAttribsARB);
  if (extensions == nullptr || createWithAttributes == nullptr) return nullptr;
  const char* list = extensions(dc);
  if (!namesExtension(list, "WGL_ARB_create_context") ||
      !namesExtension(list, "WGL_ARB_create_context_robustness")) {
    return nullptr;
  }
  int attributes[5] = {kResetNotification, kLoseContextOnReset, 0, 0, 0};
  if (namesExtension(list, "WGL_ARB_create_context_profile")) {
    attributes[2] = kContextProfileMask;
    attributes[3] = kCompatibilityProfile;
  }
  HGLRC context = createWithAttributes(dc, nullptr, attributes);
  if (context == nullptr) {
    reportSystemFailure(kGlStage, "wglCreateContextAttribsARB", GetLastError());
    return nullptr;
  }
  return makeCurrentOrDelete(dc, context) ? context : nullptr;
}

}  // namespace

HGLRC createGlContext(HDC dc, GetGraphicsResetStatusARBProc* resetStatus) {
  if (resetStatus != nullptr) *resetStatus = nullptr;
  PIXELFORMATDESCRIPTOR request = {};
  request.nSize = sizeof(request);
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 0;  // the desktop's own depth
  // No depth buffer: the frame draws back to front and never tests depth.
  request.cDepthBits = 0;
  request.iLayerType = PFD_MAIN_PLANE;

  // A window takes a pixel format once: a context made again after a
  // driver reset uses the one it has.
  if (GetPixelFormat(dc) == 0) {
    int format = ChoosePixelFormat(dc, &request);
    if (format == 0) {
      reportSystemFailure(kGlStage, "ChoosePixelFormat", GetLastError());
      return nullptr;
    }
    if (!SetPixelFormat(dc, format, &request)) {
      reportSystemFailure(kGlStage, "SetPixelFormat", GetLastError());
      return nullptr;
    }
  }

  // The old way first: the WGL extensions are looked up through a current
  // context.
  HGLRC context = wglCreateContext(dc);
  if (context == nullptr) {
    reportSystemFailure(kGlStage, "wglCreateContext", GetLastError());
    return nullptr;
  }
  if (!makeCurrentOrDelete(dc, context)) return nullptr;
  if (resetStatus == nullptr) return context;
  HGLRC notified = createResetNotifiedContext(dc);
  if (notified == nullptr) {
    // The old context stays; a failed attempt left no context current.
    if (wglGetCurrentContext() == context || makeCurrentOrDelete(dc, context)) return context;
    return nullptr;
  }
  wglDeleteContext(context);
  // Asked only where the context is told of resets: elsewhere the answer
  // is always "none".
  *resetStatus = findImport(kGetGraphicsResetStatusARB);
  return notified;
}

bool glContextWasReset(GetGraphicsResetStatusARBProc resetStatus) {
  return resetStatus != nullptr && resetStatus() != kGlNoError;
}

void placeSceneViewport(int width, int height, int eyesWidth, int eyesHeight) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfViewY, perspectiveAspect(eyesWidth, eyesHeight), kNearPlane,
                 kFarPlane);
  // GL_MODELVIEW stays current for the whole run; every pass that switches
  // modes switches back.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void setUpSceneState(int width, int height, int eyesWidth, int eyesHeight) {
  placeSceneViewport(width, height, eyesWidth, eyesHeight);

  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glShadeModel(GL_SMOOTH);
  glDisable(GL_LIGHTING);

  // Claim list name 1 for the eye sphere before the fonts take their blocks
  // from glGenLists, which only hands out unused names; buildEyeSphereList
  // compiles the real sphere into it later.
  glNewList(kEyeSphereList, GL_COMPILE);
  glEndList();
}

void requestSwapInterval(int interval) {
  // Only where the driver offers WGL_EXT_swap_control; elsewhere the render
  // loop's own pacing is all there is.
  SwapIntervalEXTProc setInterval = findImport(kSwapIntervalEXT);
  if (setInterval != nullptr) setInterval(interval);
}

bool buildEyeSphereList() {
  GLUquadric* quadric = gluNewQuadric();
  if (quadric == nullptr) {
    reportFailure("eye sphere", "gluNewQuadric made no quadric (out of memory)");
    return false;
  }
  gluQuadricTexture(quadric, GL_TRUE);

  glNewList(kEyeSphereList, GL_COMPILE);
  gluSphere(quadric, kEyeRadius, kEyeSlices, kEyeStacks);
  glEndList();

  // The quadric only serves this compilation.
  gluDeleteQuadric(quadric);
  return true;
}

bool makeGlContextCurrent(HDC dc, HGLRC context) {
  return wglGetCurrentContext() == context || wglMakeCurrent(dc, context);
}

void deleteGlContext(HGLRC context) {
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(context);
}
