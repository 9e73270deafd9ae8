// Clock and FPS overlays: outline-font glyph lists drawn in screen space.
#include "scene/overlays_gl.h"

#include <mmsystem.h>
#include <string.h>
#include <time.h>
#include <GL/gl.h>

#include "scene/clock_text.h"
#include "scene/fps_count.h"
#include "scene/overlay_glyphs.h"
#include "scene/screen_space_gl.h"

namespace {

const int kFirstGlyph = 32;  // space
const int kGlyphCount = 96;  // character codes 32..127
const int kFontHeight = -12;  // character height in logical units
const FLOAT kFontDeviation = 0.1f;
const FLOAT kFontExtrusion = 0.2f;  // glyph units towards -z
const GLfloat kGlyphScale = 33.0f;  // pixels per glyph unit

uint32_t readMillisecondClock() { return timeGetTime(); }

void measureOuterRect(HWND window, int* width, int* height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
}

// Reserves 96 list names from listBase for the character codes 32..127 and
// compiles the glyphs the overlays draw (kOverlayGlyphs) of a bold 12-unit
// Verdana into theirs, each drawing its glyph with the front face at z = 0
// and moving the origin by its advance; the other names stay empty lists.
// Each glyph compiles on its own, so the subset's lists are the same as the
// full range's. Failures are not reported: a missing font only leaves the
// text out.
unsigned buildFontLists(HDC dc) {
  unsigned listBase = glGenLists(kGlyphCount);
  HFONT font = CreateFontA(kFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, "Verdana");
  HGDIOBJ previous = SelectObject(dc, font);
  GLYPHMETRICSFLOAT metrics[kGlyphCount];  // scratch; the glyph lists are what is kept
  // One call per run of consecutive codes: the digits and the colon are one.
  for (const char* run = kOverlayGlyphs; *run != '\0';) {
    int first = static_cast<unsigned char>(*run);
    int count = 1;
    while (static_cast<unsigned char>(run[count]) == first + count) ++count;
    wglUseFontOutlinesA(dc, static_cast<DWORD>(first), static_cast<DWORD>(count),
                        listBase + static_cast<unsigned>(first - kFirstGlyph), kFontDeviation,
                        kFontExtrusion, WGL_FONT_POLYGONS, metrics);
    run += count;
  }
  // The font only serves the generation; the lists hold the geometry.
  SelectObject(dc, previous);
  if (font != nullptr) DeleteObject(font);
  return listBase;
}

void callGlyphLists(unsigned listBase, const char* text) {
  glPushAttrib(GL_LIST_BIT);
  glListBase(listBase - kFirstGlyph);
  glCallLists(static_cast<GLsizei>(strlen(text)), GL_UNSIGNED_BYTE, text);
  glPopAttrib();
}

// Enters the screen-space pass with the text's baseline starting at (x,
// baselineY) and one glyph unit as kGlyphScale pixels, y mirrored so glyphs
// stand up.
void beginTextLine(int width, int height, int x, int baselineY) {
  glPushMatrix();
  beginScreenSpace(width, height);
  glTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(baselineY), 0.0f);
  glScalef(kGlyphScale, -kGlyphScale, kGlyphScale);
}

void endTextLine() {
  endScreenSpace();
  glPopMatrix();
}

// Draws untextured glyphs in one colour inside an attribute push, so the
// frame finds its state as it left it. Mesa (llvmpipe under Wine here) does
// not hand the colour that glPopAttrib restores to the vertices that follow:
// the backdrop came out tinted with the text's colour. So the colour seen on
// entry is also put back explicitly.
struct TextColour {
  GLfloat red, green, blue;
};

void beginTextColour(const TextColour& colour, GLfloat (&saved)[4]) {
  glGetFloatv(GL_CURRENT_COLOR, saved);
  glDisable(GL_TEXTURE_2D);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glColor3f(colour.red, colour.green, colour.blue);
}

void endTextColour(const GLfloat (&saved)[4]) {
  glPopAttrib();
  glColor4fv(saved);
  glEnable(GL_TEXTURE_2D);
}

// Draws `first` then `second` on one line from `place`, inside the
// screen-space pass and an attribute push, so the frame finds its state as
// it left it.
void drawTextLine(const OutlineFont& font, int width, int height, const OverlayPlace& place,
                  const TextColour& colour, const char* first, const char* second) {
  beginTextLine(width, height, place.x, place.baselineY);
  GLfloat savedColour[4];
  beginTextColour(colour, savedColour);
  font.draw(first);
  font.draw(second);
  endTextColour(savedColour);
  endTextLine();
}

// Builds a font for the context current on `window`'s DC; the DC is held
// only while the glyphs compile.
void buildWindowFont(OutlineFont* font, HWND window, int* width, int* height) {
  measureOuterRect(window, width, height);
  HDC dc = GetDC(window);
  font->build(dc);
  ReleaseDC(window, dc);
}

const TextColour kClockColour = {0.99f, 0.09f, 0.04f};
const TextColour kFpsColour = {0.03f, 0.99f, 0.04f};

}  // namespace

void OutlineFont::build(HDC dc) { listBase = buildFontLists(dc); }

void OutlineFont::draw(const char* text) const { callGlyphLists(listBase, text); }

void OutlineFont::release() {
  if (listBase != 0) glDeleteLists(listBase, kGlyphCount);
  listBase = 0;
}

void ClockOverlay::initOverlay(HWND window, const OverlayPlace& where) {
  place = where;
  buildWindowFont(&font, window, &width, &height);
}

void ClockOverlay::moveOverlay(HWND window, const OverlayPlace& where) {
  place = where;
  measureOuterRect(window, &width, &height);
}

void ClockOverlay::releaseFont() { font.release(); }

void ClockOverlay::drawClock() {
  char text[256];
  localClockText(time(nullptr), text, sizeof text);
  drawTextLine(font, width, height, place, kClockColour, text, "");
}

void FpsCounter::initOverlay(HWND window, const OverlayPlace& where) {
  place = where;
  buildWindowFont(&font, window, &width, &height);
  // After the font: the first period starts once the glyphs are built.
  periodStart = timeGetTime();
}

void FpsCounter::moveOverlay(HWND window, const OverlayPlace& where) {
  place = where;
  measureOuterRect(window, &width, &height);
}

void FpsCounter::releaseFont() { font.release(); }

void FpsCounter::restartPeriod() {
  periodStart = timeGetTime();
  tally.frameCount = 0;
}

const char* FpsCounter::tickFps() { return countFpsFrame(tally, &periodStart, readMillisecondClock); }

void FpsCounter::drawFps(const char* text) {
  // The count continues the line where "FPS: " left the origin.
  drawTextLine(font, width, height, place, kFpsColour, kFpsLabel, text);
}
