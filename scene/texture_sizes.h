#pragma once
// Texture sizes for the two pictures the scene uploads. Pure logic: no
// platform headers, so the unit tests build it natively.

// Side in pixels of the square desktop snapshot for a screen of width x
// height pixels: 1024 for anything smaller (the screen is stretched up),
// otherwise the largest power of two not above the longer side. Not clamped
// to the GL's limit: gluBuild2DMipmaps scales what the GL cannot take.
int snapshotTextureSize(int width, int height);

// Texture size along one axis of a picture that is `pixels` wide (or high):
// `maximum` when the picture is larger than that, otherwise the power of two
// nearest on a logarithmic scale (the geometric midpoint rounds up). The two
// axes are sized independently, so a picture may get a non-square texture.
int pictureAxisTextureSize(int pixels, int maximum);
