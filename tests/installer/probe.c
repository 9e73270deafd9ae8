/* Reports what Windows itself sees of the release files, for the installer
 * test: the version resource as Explorer's Properties page reads it
 * (GetFileVersionInfo / VerQueryValue) and the 8.3 name that the display
 * control panel stores for a screen saver.
 *
 *   probe OUT version FILE...   lines "FILE|Fixed|<a.b.c.d>|<a.b.c.d>" with
 *                               the fixed file and product versions, then
 *                               "FILE|<name>|<text>" for each string field
 *   probe OUT shortpath PATH    the short form of PATH
 *   probe OUT find TEXT         exit code 0 when a visible window or control
 *                               with exactly this text exists, 1 otherwise;
 *                               it tells which installer page is showing,
 *                               since the pages are child windows that X
 *                               tools cannot see
 *
 * Results go to the file OUT rather than to standard output: Wine's
 * background processes inherit and keep open a pipe given to them. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *const kStringFields[] = {
    "CompanyName", "FileDescription", "FileVersion", "ProductName",
    "ProductVersion", "OriginalFilename", "LegalCopyright",
};

static int reportVersion(FILE *out, const char *file) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &handle);
    if (size == 0) {
        fprintf(out, "%s|Error|no version resource (%lu)\n", file, GetLastError());
        return 1;
    }
    void *data = malloc(size);
    if (!data || !GetFileVersionInfoA(file, 0, size, data)) {
        fprintf(out, "%s|Error|unreadable version resource\n", file);
        free(data);
        return 1;
    }

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    if (VerQueryValueA(data, "\\", (void **)&fixed, &length) && fixed &&
        fixed->dwSignature == 0xFEEF04BD) {
        fprintf(out, "%s|Fixed|%u.%u.%u.%u|%u.%u.%u.%u\n", file,
                HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
                HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
    } else {
        fprintf(out, "%s|Error|no fixed file info\n", file);
    }

    /* The string table is found through the first translation, as Explorer
     * does; the saver and the installers use different code pages. */
    struct { WORD language, codePage; } *translation = NULL;
    if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", (void **)&translation, &length) ||
        length < sizeof *translation) {
        fprintf(out, "%s|Error|no translation\n", file);
        free(data);
        return 1;
    }
    for (size_t i = 0; i < sizeof kStringFields / sizeof kStringFields[0]; ++i) {
        char query[128];
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s",
                 translation->language, translation->codePage, kStringFields[i]);
        char *text = NULL;
        if (VerQueryValueA(data, query, (void **)&text, &length) && text)
            fprintf(out, "%s|%s|%s\n", file, kStringFields[i], text);
    }
    free(data);
    return 0;
}

static const char *wantedText;
static BOOL found;

static BOOL CALLBACK matchWindow(HWND window, LPARAM isTopLevel) {
    /* WM_GETTEXT rather than GetWindowText, which for another process's
     * window returns only the stored caption: a drop-down list's text is
     * its selected item. */
    char text[256] = "";
    DWORD_PTR copied = 0;
    if (IsWindowVisible(window) &&
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text,
                            SMTO_ABORTIFHUNG, 2000, &copied) && copied > 0 &&
        strcmp(text, wantedText) == 0) {
        found = TRUE;
        return FALSE;
    }
    if (isTopLevel && IsWindowVisible(window)) EnumChildWindows(window, matchWindow, 0);
    return !found;
}

int main(int argc, char **argv) {
    if (argc < 4) return 2;
    FILE *out = fopen(argv[1], "w");
    if (!out) return 2;
    int status = 0;
    if (strcmp(argv[2], "version") == 0) {
        for (int i = 3; i < argc; ++i) status |= reportVersion(out, argv[i]);
    } else if (strcmp(argv[2], "shortpath") == 0) {
        char shortPath[MAX_PATH];
        DWORD n = GetShortPathNameA(argv[3], shortPath, sizeof shortPath);
        if (n == 0 || n >= sizeof shortPath) status = 1;
        else fprintf(out, "%s\n", shortPath);
    } else if (strcmp(argv[2], "find") == 0) {
        wantedText = argv[3];
        EnumWindows(matchWindow, 1);
        fprintf(out, "%s\n", found ? "found" : "absent");
        status = found ? 0 : 1;
    } else {
        status = 2;
    }
    fclose(out);
    return status;
}
