#pragma once
// Fixed names of the GL objects the scene creates once and uses by number.
// The fonts' glyph lists are not here: they come from glGenLists, which
// never hands out a name already in use, so list 1 is claimed first.
// Pure data: no platform or GL headers.

enum : unsigned {
  kEyeSphereList = 1,     // display list: the textured eye sphere
  kSnapshotTexture = 103, // the frozen desktop
  kEyeTexture = 104,      // the eye picture
};
