/* Checks the resources of a built Glimmerwatch.scr against what the program
 * relies on: ids and types, the exact dialog template (styles, order,
 * geometry), the picture formats, the manifest's architecture (it must match
 * the file's machine type, or Windows refuses to start the program) and the
 * version strings. The file is loaded as data, so one 64-bit build of this
 * checker reads the 32-bit and the 64-bit .scr alike. Prints one line per
 * failure and exits with the number of failures (0 = all good).
 *
 *   check_resources.exe major.minor.patch.build Glimmerwatch.scr...
 *
 * The version is the one the build gave the files. tests/CMakeLists.txt
 * builds the checker and runs it under Wine with the Win32 tests, on the
 * .scr of the build and on the 32-bit one, in one process.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "resource_ids.h"

static int failures;
static HMODULE module;           /* the .scr, loaded as data */
static const char *modulePath;
static const char *version;      /* expected, "major.minor.patch.build" */

static void expect(int ok, const char *what)
{
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++failures;
    }
}

static const BYTE *resourceBytes(const char *name, const char *type, DWORD *size)
{
    HRSRC info = FindResourceA(module, name, type);
    *size = 0;
    if (!info)
        return NULL;
    *size = SizeofResource(module, info);
    return (const BYTE *)LockResource(LoadResource(module, info));
}

/* ---- dialog template ---------------------------------------------------- */

struct Cursor {
    const BYTE *p;
};

static WORD takeWord(struct Cursor *c)
{
    WORD w;
    memcpy(&w, c->p, 2);
    c->p += 2;
    return w;
}

static DWORD takeDword(struct Cursor *c)
{
    DWORD d;
    memcpy(&d, c->p, 4);
    c->p += 4;
    return d;
}

/* Reads a template string into narrow text; 0xFFFF ordinals come back as
 * "#<n>". Templates hold UTF-16; everything here is ASCII. */
static void takeText(struct Cursor *c, char *out, size_t cap)
{
    size_t n = 0;
    WORD w = takeWord(c);
    if (w == 0xFFFF) {
        snprintf(out, cap, "#%u", (unsigned)takeWord(c));
        return;
    }
    while (w != 0) {
        if (n + 1 < cap)
            out[n++] = (char)w;
        w = takeWord(c);
    }
    out[n] = 0;
}

static void alignDword(struct Cursor *c, const BYTE *base)
{
    while ((c->p - base) % 4)
        c->p++;
}

struct Item {
    int id;
    const char *cls; /* predefined class atom as "#<n>" */
    const char *text;
    DWORD style;
    short x, y, cx, cy;
};

static void checkDialog(void)
{
    /* Button atom 0x80, combo box atom 0x85. Styles are complete: nothing
     * more (no implicit WS_TABSTOP or WS_GROUP) may appear. */
    static const struct Item items[] = {
        {IDC_OK, "#128", "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 4, 80, 50, 14},
        {IDC_CANCEL, "#128", "Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 64, 80, 50, 14},
        {-1, "#128", "Screen Resolution", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 4, 5, 105, 30},
        {IDC_RESOLUTION, "#133", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 8, 14, 82, 71},
        {IDC_SHOW_TIME, "#128", "Show Time", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 10, 50, 94, 10},
        {IDC_SHOW_FPS, "#128", "Show FPS", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 10, 60, 94, 10},
        {-1, "#128", "Additional Output", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 4, 40, 105, 35},
    };
    DWORD size;
    const BYTE *base = resourceBytes(MAKEINTRESOURCEA(IDD_SETTINGS), (LPCSTR)RT_DIALOG, &size);
    struct Cursor c;
    char text[128], msg[256];
    DWORD style;
    WORD count;
    unsigned i;

    expect(base != NULL, "dialog 100 present");
    if (!base)
        return;
    c.p = base;
    expect(!(((const WORD *)base)[0] == 1 && ((const WORD *)base)[1] == 0xFFFF),
           "dialog 100 is a plain DLGTEMPLATE (parser below reads that form)");
    style = takeDword(&c);
    expect(style == (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT),
           "dialog style exact, without WS_VISIBLE");
    expect(takeDword(&c) == 0, "dialog extended style 0");
    count = takeWord(&c);
    expect(count == 7, "dialog has 7 controls");
    expect((short)takeWord(&c) == 0 && (short)takeWord(&c) == 0, "dialog at 0,0");
    expect((short)takeWord(&c) == 117 && (short)takeWord(&c) == 97, "dialog size 117 x 97");
    takeText(&c, text, sizeof text);
    expect(text[0] == 0, "dialog has no menu");
    takeText(&c, text, sizeof text);
    expect(text[0] == 0, "dialog uses the default class");
    takeText(&c, text, sizeof text);
    expect(strcmp(text, "Settings") == 0, "dialog caption \"Settings\"");
    expect(takeWord(&c) == 8, "dialog font 8 pt");
    takeText(&c, text, sizeof text);
    expect(strcmp(text, "MS Sans Serif") == 0, "dialog font \"MS Sans Serif\"");

    for (i = 0; i < count && i < sizeof items / sizeof items[0]; ++i) {
        const struct Item *want = &items[i];
        DWORD itemStyle, exStyle;
        short x, y, cx, cy;
        int id;
        char cls[64];

        alignDword(&c, base);
        itemStyle = takeDword(&c);
        exStyle = takeDword(&c);
        x = (short)takeWord(&c);
        y = (short)takeWord(&c);
        cx = (short)takeWord(&c);
        cy = (short)takeWord(&c);
        id = (short)takeWord(&c);
        takeText(&c, cls, sizeof cls);
        takeText(&c, text, sizeof text);
        c.p += takeWord(&c); /* skip the creation data */

        snprintf(msg, sizeof msg, "control %u: id %d, want %d", i, id, want->id);
        expect(id == want->id, msg);
        snprintf(msg, sizeof msg, "control %u (%s): style 0x%08lx, want 0x%08lx", i, want->text,
                 (unsigned long)itemStyle, (unsigned long)want->style);
        expect(itemStyle == want->style, msg);
        snprintf(msg, sizeof msg, "control %u (%s): extended style 0", i, want->text);
        expect(exStyle == 0, msg);
        snprintf(msg, sizeof msg, "control %u (%s): class %s, want %s", i, want->text, cls, want->cls);
        expect(_stricmp(cls, want->cls) == 0 ||
                   (strcmp(want->cls, "#128") == 0 && _stricmp(cls, "BUTTON") == 0) ||
                   (strcmp(want->cls, "#133") == 0 && _stricmp(cls, "COMBOBOX") == 0),
               msg);
        snprintf(msg, sizeof msg, "control %u: text \"%s\", want \"%s\"", i, text, want->text);
        expect(strcmp(text, want->text) == 0, msg);
        snprintf(msg, sizeof msg, "control %u (%s): geometry %d,%d %dx%d", i, want->text, x, y, cx, cy);
        expect(x == want->x && y == want->y && cx == want->cx && cy == want->cy, msg);
    }
}

/* ---- pictures ----------------------------------------------------------- */

static void checkJpeg(void)
{
    DWORD size, i;
    const BYTE *p = resourceBytes(MAKEINTRESOURCEA(IDR_EYE_JPEG), "JPG_IMAGE", &size);
    int sawFrame = 0;

    expect(p != NULL && size > 0, "\"#1000\" of type \"JPG_IMAGE\" present");
    if (!p)
        return;
    expect(FindResourceA(module, "#1000", "JPG_IMAGE") != NULL, "JPEG found by the name \"#1000\"");
    expect(size >= 10000 && size <= 14000, "JPEG about 12 KB");
    expect(size > 20 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF && p[3] == 0xE0 &&
               memcmp(p + 6, "JFIF", 5) == 0,
           "JPEG starts with SOI and a JFIF APP0");
    /* Walk the marker segments up to the scan. */
    for (i = 2; i + 4 <= size && p[i] == 0xFF;) {
        BYTE marker = p[i + 1];
        DWORD len = (DWORD)p[i + 2] << 8 | p[i + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            sawFrame = 1;
            expect(marker == 0xC0, "JPEG is baseline (SOF0)");
            expect(i + 10 <= size && p[i + 4] == 8, "JPEG 8-bit samples");
            expect(i + 10 <= size && (p[i + 5] << 8 | p[i + 6]) == 400 && (p[i + 7] << 8 | p[i + 8]) == 400,
                   "JPEG 400 x 400");
            expect(i + 10 <= size && p[i + 9] == 3, "JPEG has 3 components");
        }
        if (marker == 0xDA)
            break;
        i += 2 + len;
    }
    expect(sawFrame, "JPEG has a frame header");
}

static void checkBitmap(void)
{
    DWORD size;
    const BYTE *p = resourceBytes(MAKEINTRESOURCEA(IDB_PREVIEW), (LPCSTR)RT_BITMAP, &size);
    BITMAPINFOHEADER h;
    HANDLE loaded;

    expect(p != NULL && size >= sizeof h, "bitmap 2000 present");
    if (!p || size < sizeof h)
        return;
    memcpy(&h, p, sizeof h);
    expect(h.biSize == 40 && h.biWidth == 152 && h.biHeight == 112, "bitmap 152 x 112, bottom-up");
    expect(h.biBitCount == 24 && h.biCompression == BI_RGB, "bitmap 24 bpp uncompressed");
    expect(size >= 40 + 152 * 3 * 112, "bitmap holds all its rows");

    loaded = LoadImageA(module, "#2000", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
    expect(loaded != NULL, "LoadImageA(\"#2000\") succeeds");
    if (loaded) {
        BITMAP bm;
        expect(GetObjectA(loaded, sizeof bm, &bm) && bm.bmWidth == 152 && bm.bmHeight == 112,
               "loaded bitmap is 152 x 112");
        DeleteObject(loaded);
    }
}

static void checkIcon(void)
{
    DWORD size;
    const BYTE *p = resourceBytes(MAKEINTRESOURCEA(IDI_EYE), (LPCSTR)RT_GROUP_ICON, &size);
    static const int sizes[] = {16, 32, 48, 256};
    WORD n, i;

    expect(LoadIconA(module, "#1") != NULL, "LoadIconA(\"#1\") succeeds");
    expect(p != NULL && size >= 6, "icon group 1 present");
    if (!p || size < 6)
        return;
    memcpy(&n, p + 4, 2);
    expect(n == 4 && size >= 6u + 14u * n, "icon group has 4 images");
    for (i = 0; i < n && i < 4 && size >= 6u + 14u * (i + 1u); ++i) {
        const BYTE *e = p + 6 + 14 * i;
        int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        WORD bits;
        char msg[96];
        memcpy(&bits, e + 6, 2);
        snprintf(msg, sizeof msg, "icon image %u is %dx%d, 32 bpp (got %dx%d, %u bpp)", i, sizes[i],
                 sizes[i], w, h, bits);
        expect(w == sizes[i] && h == sizes[i] && bits == 32, msg);
    }
}

/* ---- strings, manifest, version ----------------------------------------- */

static void checkStrings(void)
{
    char name[64] = "";
    LoadStringA(module, IDS_NAME, name, sizeof name);
    expect(strcmp(name, "Glimmerwatch") == 0, "string 1 is \"Glimmerwatch\"");
}

static int contains(const BYTE *p, DWORD size, const char *needle)
{
    size_t n = strlen(needle);
    DWORD i;
    for (i = 0; p && i + n <= size; ++i)
        if (memcmp(p + i, needle, n) == 0)
            return 1;
    return 0;
}

/* The machine type in the file's PE header, or 0. */
static WORD machineOf(const char *path)
{
    BYTE head[4096];
    DWORD offset;
    WORD machine = 0;
    size_t got;
    FILE *file = fopen(path, "rb");
    if (!file)
        return 0;
    got = fread(head, 1, sizeof head, file);
    fclose(file);
    if (got < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return 0;
    memcpy(&offset, head + 0x3C, 4);
    if (offset + 6 > got || memcmp(head + offset, "PE\0\0", 4) != 0)
        return 0;
    memcpy(&machine, head + offset + 4, 2);
    return machine;
}

static void checkManifest(void)
{
    DWORD size;
    const BYTE *p = resourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24), &size);
    WORD machine = machineOf(modulePath);
    const char *arch = machine == IMAGE_FILE_MACHINE_AMD64 ? "processorArchitecture=\"amd64\""
                                                           : "processorArchitecture=\"x86\"";
    const char *other = machine == IMAGE_FILE_MACHINE_AMD64 ? "processorArchitecture=\"x86\""
                                                            : "processorArchitecture=\"amd64\"";
    char identity[64];

    expect(machine == IMAGE_FILE_MACHINE_AMD64 || machine == IMAGE_FILE_MACHINE_I386,
           "file is an x86 or x86-64 PE image");
    expect(p != NULL, "manifest (RT_MANIFEST 1) present");
    /* A manifest for the wrong architecture makes the loader refuse to start
     * the program ("side-by-side configuration is incorrect"). */
    expect(contains(p, size, arch) && !contains(p, size, other),
           "manifest architecture matches the executable (pass GLIMMERWATCH_MANIFEST_AMD64 for x64)");
    snprintf(identity, sizeof identity, "version=\"%s\"", version);
    expect(contains(p, size, "name=\"Tessaly.Glimmerwatch\"") && contains(p, size, identity),
           "manifest identity: name and version");
    expect(contains(p, size, "<description>Glimmerwatch Screen Saver</description>"), "manifest description");
    expect(contains(p, size, "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
           "manifest depends on common controls 6");
    expect(contains(p, size, ">true</dpiAware>") &&
               contains(p, size, ">PerMonitorV2, PerMonitor</dpiAwareness>"),
           "manifest declares DPI awareness");
    expect(contains(p, size, "level=\"asInvoker\""), "manifest asInvoker");
}

static void checkVersionString(const BYTE *info, const char *key, const char *want)
{
    char path[128], msg[160];
    char *value = NULL;
    UINT len = 0;
    snprintf(path, sizeof path, "\\StringFileInfo\\040904E4\\%s", key);
    VerQueryValueA(info, path, (void **)&value, &len);
    snprintf(msg, sizeof msg, "version string %s is \"%s\" (got \"%s\")", key, want, value ? value : "(none)");
    expect(value != NULL && strcmp(value, want) == 0, msg);
}

static void checkVersion(void)
{
    static BYTE info[8192];
    VS_FIXEDFILEINFO *fixed = NULL;
    WORD *translation = NULL;
    UINT len = 0;
    unsigned major = 0, minor = 0, patch = 0, build = 0;
    DWORD ms, ls;

    expect(sscanf(version, "%u.%u.%u.%u", &major, &minor, &patch, &build) == 4,
           "expected version has four parts");
    ms = (DWORD)(major << 16 | minor);
    ls = (DWORD)(patch << 16 | build);
    expect(GetFileVersionInfoA(modulePath, 0, sizeof info, info), "version resource readable");
    VerQueryValueA(info, "\\", (void **)&fixed, &len);
    expect(fixed != NULL && fixed->dwFileVersionMS == ms && fixed->dwFileVersionLS == ls &&
               fixed->dwProductVersionMS == ms && fixed->dwProductVersionLS == ls,
           "FILEVERSION and PRODUCTVERSION match the expected version");
    VerQueryValueA(info, "\\VarFileInfo\\Translation", (void **)&translation, &len);
    expect(translation != NULL && len >= 4 && translation[0] == 0x409 && translation[1] == 1252,
           "translation 0x409, 1252");
    checkVersionString(info, "CompanyName", "Tessaly");
    checkVersionString(info, "FileDescription", "Glimmerwatch Screen Saver");
    checkVersionString(info, "FileVersion", version);
    checkVersionString(info, "InternalName", "Glimmerwatch");
    checkVersionString(info, "LegalCopyright", "Copyright (C) 2026 Tessaly");
    checkVersionString(info, "OriginalFilename", "Glimmerwatch.scr");
    checkVersionString(info, "ProductName", "Glimmerwatch");
    checkVersionString(info, "ProductVersion", version);
}

int main(int argc, char **argv)
{
    int i, total = 0;

    if (argc < 3) {
        printf("usage: check_resources major.minor.patch.build FILE.scr...\n");
        return 1000;
    }
    version = argv[1];
    for (i = 2; i < argc; ++i) {
        modulePath = argv[i];
        failures = 0;
        module = LoadLibraryExA(modulePath, NULL, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) {
            printf("FAIL: %s cannot be loaded as data (error %lu)\n", modulePath,
                   (unsigned long)GetLastError());
            total += 1;
            continue;
        }
        checkDialog();
        checkJpeg();
        checkBitmap();
        checkIcon();
        checkStrings();
        checkManifest();
        checkVersion();
        FreeLibrary(module);
        printf("%s: %d failure(s)\n", modulePath, failures);
        total += failures;
    }
    return total;
}
