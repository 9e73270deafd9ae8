#pragma once
// Choices the GL set-up makes from plain numbers. Pure logic: no platform
// or GL headers.

// Depth-buffer bits to ask the pixel format for. The frame keeps the text in
// front of the desktop through the depth test, so a request that leaves the
// depth to the platform (colorBits 0) asks for 24 bits instead: some drivers
// give no depth buffer at all when asked for 0. Otherwise the depth asked
// for equals the colour depth, low 8 bits.
unsigned char pixelFormatDepthBits(int colorBits);

// Aspect ratio for the perspective projection: the true width / height, so
// the eyes stay round on every screen shape, portrait ones included.
double perspectiveAspect(int width, int height);
