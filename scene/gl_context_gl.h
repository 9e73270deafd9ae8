#pragma once
// The saver window's OpenGL context, the base GL state every frame starts
// from, and the eye sphere's display list.
#include <windows.h>

#include "platform/system_imports_win32.h"

// Chooses and sets a double-buffered RGBA pixel format of the desktop's
// depth on `dc`, unless its window has one already, and makes a new context
// current on it. Null on failure; the DC stays the caller's. Given
// `resetStatus`, the context is one the driver tells of its resets where
// it can make one, and *resetStatus the query that asks (else null).
HGLRC createGlContext(HDC dc, GetGraphicsResetStatusARBProc* resetStatus = nullptr);

// Whether the driver reset the current context since the last ask (and
// everything it held is gone); never for a null query.
bool glContextWasReset(GetGraphicsResetStatusARBProc resetStatus);

// Viewport, perspective projection and base state for a width x height
// window whose eyes' pass covers eyesWidth x eyesHeight of it; claims
// display list 1 for the eye sphere before any font takes list names.
void setUpSceneState(int width, int height, int eyesWidth, int eyesHeight);

// The viewport and the eyes' perspective alone, for a window that took a
// new size.
void placeSceneViewport(int width, int height, int eyesWidth, int eyesHeight);

// Asks the driver to wait `interval` display refreshes per buffer swap.
void requestSwapInterval(int interval);

// Compiles the textured eye sphere into display list 1.
bool buildEyeSphereList();

// Makes `context` current on `dc` unless it already is; false when the
// system refuses (the context was lost).
bool makeGlContextCurrent(HDC dc, HGLRC context);

// Makes no context current and deletes `context`. The caller deletes its
// display lists before, while the context is still current, and releases
// the DC after.
void deleteGlContext(HGLRC context);
