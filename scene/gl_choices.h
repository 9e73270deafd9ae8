#pragma once
// Choices the GL set-up makes from plain numbers. Pure logic: no platform
// or GL headers.

// Aspect ratio for the perspective projection: the true width / height, so
// the eyes stay round on every screen shape, portrait ones included.
double perspectiveAspect(int width, int height);

// Whether the space-separated extension list `list` (null for none) names
// `name` as a whole word: "WGL_ARB_create_context" is not named by
// "WGL_ARB_create_context_robustness".
bool namesExtension(const char* list, const char* name);
