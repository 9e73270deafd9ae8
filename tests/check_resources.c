/* Checks the resources of a built Glimmerwatch.scr for what the program
 * relies on and a build can get wrong: each id with its type, the settings
 * dialog's controls as the program drives them, the pictures' sizes, the
 * manifest's architecture (Windows refuses a program whose manifest names
 * another machine) and DPI settings, and the version CMake sets. The file
 * is loaded as data, so one 64-bit build of this checker reads the 32-bit
 * and the 64-bit .scr alike. Prints one line per failure and exits with
 * the number of failures (0 = all good).
 *
 *   check_resources.exe major.minor.patch.build Glimmerwatch.scr...
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "resource_ids.h"

static int failures;
static HMODULE module; /* the .scr, loaded as data */
static const char *modulePath;
static const char *version; /* expected, "major.minor.patch.build" */

static void expect(int ok, const char *what)
{
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++failures;
    }
}

static const BYTE *resourceBytes(LPCSTR name, LPCSTR type, DWORD *size)
{
    HRSRC info = FindResourceA(module, name, type);
    *size = info ? SizeofResource(module, info) : 0;
    return info ? (const BYTE *)LockResource(LoadResource(module, info)) : NULL;
}

static INT_PTR CALLBACK quietDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)dialog, (void)wParam, (void)lParam;
    return message == WM_INITDIALOG;
}

/* The dialog as the system builds it from the template: the controls the
 * program sends messages to, of the kind those messages need. */
static void checkDialog(void)
{
    static const struct {
        int id;
        const char *cls, *text;
        DWORD type, typeMask;
    } controls[] = {
        /* Enter gives the default button's id; neither button is IDOK or
         * IDCANCEL, which Escape would give. */
        {IDC_OK, "Button", "OK", BS_DEFPUSHBUTTON, BS_TYPEMASK},
        {IDC_CANCEL, "Button", "Cancel", BS_PUSHBUTTON, BS_TYPEMASK},
        /* The program finds the stored mode with CB_FINDSTRING: a list, no
         * edit field to type another. */
        {IDC_RESOLUTION, "ComboBox", "", CBS_DROPDOWNLIST, 3},
        /* The program reads the boxes' state and never sets it on a click. */
        {IDC_SHOW_TIME, "Button", "Show Time", BS_AUTOCHECKBOX, BS_TYPEMASK},
        {IDC_SHOW_FPS, "Button", "Show FPS", BS_AUTOCHECKBOX, BS_TYPEMASK},
    };
    DWORD size;
    const BYTE *template = resourceBytes(MAKEINTRESOURCEA(IDD_SETTINGS), (LPCSTR)RT_DIALOG, &size);
    char text[64], msg[160];
    HWND dialog;
    unsigned i;

    expect(template != NULL, "dialog 100 present");
    if (!template)
        return;
    dialog = CreateDialogIndirectParamA(GetModuleHandleA(NULL), (LPCDLGTEMPLATEA)template, NULL,
                                        quietDialog, 0);
    expect(dialog != NULL, "dialog 100 can be created");
    if (!dialog)
        return;
    GetWindowTextA(dialog, text, sizeof text);
    expect(strcmp(text, "Settings") == 0, "dialog caption \"Settings\"");
    /* It shows itself only once its controls are filled. */
    expect(!IsWindowVisible(dialog), "dialog not visible when created");
    expect(GetDlgItem(dialog, IDOK) == NULL && GetDlgItem(dialog, IDCANCEL) == NULL,
           "no control with the id of IDOK or IDCANCEL");
    for (i = 0; i < sizeof controls / sizeof controls[0]; ++i) {
        HWND control = GetDlgItem(dialog, controls[i].id);
        char cls[32] = "";
        LONG style = control ? GetWindowLongA(control, GWL_STYLE) : 0;
        if (control)
            GetClassNameA(control, cls, sizeof cls);
        text[0] = 0;
        if (control)
            GetWindowTextA(control, text, sizeof text);
        snprintf(msg, sizeof msg, "control %d: a %s \"%s\" of type 0x%lx, tab stop (got %s \"%s\", style 0x%08lx)",
                 controls[i].id, controls[i].cls, controls[i].text, (unsigned long)controls[i].type,
                 control ? cls : "none", text, (unsigned long)style);
        expect(control != NULL && _stricmp(cls, controls[i].cls) == 0 &&
                   (controls[i].id == IDC_RESOLUTION || strcmp(text, controls[i].text) == 0) &&
                   ((DWORD)style & controls[i].typeMask) == controls[i].type &&
                   (style & WS_TABSTOP) && (style & WS_VISIBLE),
               msg);
    }
    DestroyWindow(dialog);
}

/* The pictures, of the types and sizes the program loads them as. */
static void checkPictures(void)
{
    DWORD size, i;
    const BYTE *p = resourceBytes("#1000", "JPG_IMAGE", &size);
    HANDLE bitmap = LoadImageA(module, MAKEINTRESOURCEA(IDB_PREVIEW), IMAGE_BITMAP, 0, 0, 0);
    BITMAP shape;
    int frame = 0;

    expect(p != NULL && size > 4 && p[0] == 0xFF && p[1] == 0xD8, "JPEG \"#1000\" of type JPG_IMAGE");
    for (i = 2; p && i + 9 < size && p[i] == 0xFF && p[i + 1] != 0xDA; i += 2 + (p[i + 2] << 8 | p[i + 3]))
        if (p[i + 1] == 0xC0)
            frame = (p[i + 5] << 8 | p[i + 6]) == 400 && (p[i + 7] << 8 | p[i + 8]) == 400;
    expect(frame, "JPEG baseline, 400 x 400");
    expect(bitmap && GetObjectA(bitmap, sizeof shape, &shape) && shape.bmWidth == 152 &&
               shape.bmHeight == 112,
           "bitmap 2000 is 152 x 112");
    if (bitmap)
        DeleteObject(bitmap);
    p = resourceBytes(MAKEINTRESOURCEA(IDI_EYE), (LPCSTR)RT_GROUP_ICON, &size);
    expect(p != NULL && size >= 6 && LoadIconA(module, MAKEINTRESOURCEA(IDI_EYE)) != NULL,
           "icon 1 present");
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
    if (offset + 6 <= got && memcmp(head + offset, "PE\0\0", 4) == 0)
        memcpy(&machine, head + offset + 4, 2);
    return machine;
}

static void checkManifest(void)
{
    DWORD size;
    const BYTE *p = resourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24), &size);
    WORD machine = machineOf(modulePath);
    int amd64 = machine == IMAGE_FILE_MACHINE_AMD64;
    char identity[64];
    char name[64] = "";

    expect(amd64 || machine == IMAGE_FILE_MACHINE_I386, "file is an x86 or x86-64 PE image");
    expect(p != NULL, "manifest (RT_MANIFEST 1) present");
    expect(contains(p, size, amd64 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"") &&
               !contains(p, size, amd64 ? "processorArchitecture=\"x86\"" : "processorArchitecture=\"amd64\""),
           "manifest architecture matches the executable");
    snprintf(identity, sizeof identity, "version=\"%s\"", version);
    expect(contains(p, size, identity), "manifest identity carries the version");
    /* System scaling would break the pixel-for-pixel copy of the screen:
     * per monitor where Windows knows it, and on Windows 8.1's own terms. */
    expect(contains(p, size, ">true/pm</dpiAware>") &&
               contains(p, size, ">PerMonitorV2, PerMonitor</dpiAwareness>"),
           "manifest declares per-monitor DPI awareness");
    LoadStringA(module, IDS_NAME, name, sizeof name);
    expect(strcmp(name, "Glimmerwatch") == 0, "string 1 is \"Glimmerwatch\"");
}

static void checkVersion(void)
{
    static BYTE info[8192];
    static const char *const strings[] = {"FileVersion", "ProductVersion"};
    VS_FIXEDFILEINFO *fixed = NULL;
    unsigned major = 0, minor = 0, patch = 0, build = 0, i;
    UINT len = 0;
    DWORD ms, ls;

    expect(sscanf(version, "%u.%u.%u.%u", &major, &minor, &patch, &build) == 4,
           "expected version has four parts");
    ms = (DWORD)(major << 16 | minor);
    ls = (DWORD)(patch << 16 | build);
    expect(GetFileVersionInfoA(modulePath, 0, sizeof info, info), "version resource readable");
    VerQueryValueA(info, "\\", (void **)&fixed, &len);
    expect(fixed != NULL && fixed->dwFileVersionMS == ms && fixed->dwFileVersionLS == ls &&
               fixed->dwProductVersionMS == ms && fixed->dwProductVersionLS == ls,
           "FILEVERSION and PRODUCTVERSION are the build's version");
    for (i = 0; i < 2; ++i) {
        char path[64], msg[128];
        char *value = NULL;
        snprintf(path, sizeof path, "\\StringFileInfo\\040904E4\\%s", strings[i]);
        VerQueryValueA(info, path, (void **)&value, &len);
        snprintf(msg, sizeof msg, "version string %s is \"%s\" (got \"%s\")", strings[i], version,
                 value ? value : "(none)");
        expect(value != NULL && strcmp(value, version) == 0, msg);
    }
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
        checkPictures();
        checkManifest();
        checkVersion();
        FreeLibrary(module);
        printf("%s: %d failure(s)\n", modulePath, failures);
        total += failures;
    }
    return total;
}
