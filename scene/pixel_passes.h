#pragma once
// In-place conversion of a 32-bit DIB's pixels (blue, green, red, unused)
// into the red, green, blue, alpha order that GL_RGBA / GL_UNSIGNED_BYTE
// reads. Pure logic: no platform headers.

// Picture texture: swaps red and blue; exact black (0, 0, 0) becomes fully
// transparent, every other colour opaque.
void convertPicturePixels(unsigned char* pixels, long pixelCount);
