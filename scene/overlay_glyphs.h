#pragma once
// The characters the clock and the FPS overlays can draw. Pure logic: no
// platform headers.
//
// Compiling a glyph's outline into a display list is the costly part of the
// overlays' set-up, so only these are compiled: the clock's "HH : MM : SS",
// the counter's label and its decimal count. A character missing here would
// be drawn as nothing, so the list must grow with any text the overlays
// gain.

// The counter's label, drawn before the count.
extern const char kFpsLabel[];

// Every character of both overlays' texts, each once, in ascending order of
// its code, all within the printable ASCII range 32..127 the lists cover.
extern const char kOverlayGlyphs[];
