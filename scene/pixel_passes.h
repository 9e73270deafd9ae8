#pragma once
// In-place conversions of a 32-bit DIB's pixels (blue, green, red, unused)
// into the red, green, blue, alpha order that GL_RGBA / GL_UNSIGNED_BYTE
// reads. Pure logic: no platform headers.

// Desktop snapshot: swaps red and blue and makes every pixel opaque, black
// ones included, so the frozen desktop shows exactly as it was.
void convertSnapshotPixels(unsigned char* pixels, long pixelCount);

// Picture texture: swaps red and blue; exact black (0, 0, 0) becomes fully
// transparent, every other colour opaque.
void convertPicturePixels(unsigned char* pixels, long pixelCount);
