/* Resource identifiers shared by glimmerwatch.rc and the C++ sources.
 * Plain #defines only, so that both the resource compiler and any
 * translation unit can include this without pulling in <windows.h>. */
#ifndef GLIMMERWATCH_RESOURCE_IDS_H
#define GLIMMERWATCH_RESOURCE_IDS_H

/* Window-class icon of the saver window, loaded by the name "#1". */
#define IDI_EYE 1

/* Application name in the string table. */
#define IDS_NAME 1

/* Settings dialog and its controls. The buttons deliberately use 101/102
 * rather than IDOK/IDCANCEL, so the Escape key (which the dialog manager
 * reports as IDCANCEL) does not close the dialog. */
#define IDD_SETTINGS 100
#define IDC_CANCEL 101
#define IDC_OK 102
#define IDC_RESOLUTION 103
#define IDC_SHOW_TIME 104
#define IDC_SHOW_FPS 105

/* Eye picture of the named resource type "JPG_IMAGE", looked up as "#1000". */
#define IDR_EYE_JPEG 1000

/* 152 x 112, 24-bit picture painted into the control panel's preview box. */
#define IDB_PREVIEW 2000

#endif
