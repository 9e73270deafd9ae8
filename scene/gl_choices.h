#pragma once
// Choices the GL set-up makes from plain numbers. Pure logic: no platform
// or GL headers.

// Aspect ratio for the perspective projection: the true width / height, so
// the eyes stay round on every screen shape, portrait ones included.
double perspectiveAspect(int width, int height);
