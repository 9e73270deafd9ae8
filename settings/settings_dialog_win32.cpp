// The configuration dialog: display mode, clock and FPS counter. It is the
// only writer of the settings, and writes them only on OK.
#include "settings/settings_dialog_win32.h"

#include <commctrl.h>  // after windows.h

#include "resources/resource_ids.h"
#include "settings/display_mode_win32.h"
#include "settings/mode_lists.h"
#include "settings/mode_text.h"
#include "settings/setting_flags.h"
#include "settings/setting_names.h"
#include "settings/settings_store_win32.h"

const char* const kNotInstalledMessage =
    "This program is not properly installed. Please reinstall.";

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

// The dialog is modal and there is one at a time, so the procedure finds
// what it works on here rather than through a per-window pointer.
const char* dialogKeyPath = nullptr;
FatalErrorHandler dialogFatalError = nullptr;

const char* const kNoModesMessage =
    "This program must be run either in high (16 bpp) or in true (32 bpp) color. It seems that "
    "your video card does not support neither first nor second color resolution.";

LRESULT sendItem(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

// Reads one value or ends the program: the dialog has no defaults to fall
// back on.
SettingValue readRequiredSetting(const char* valueName) {
  SettingValue value = readSetting(dialogKeyPath, valueName);
  if (!value.ok) dialogFatalError(kNotInstalledMessage);
  return value;
}

void showFlag(HWND dialog, int id, const char* valueName) {
  SettingValue value = readRequiredSetting(valueName);
  WPARAM state = settingFlagIsOn(value.text) ? BST_CHECKED : BST_UNCHECKED;
  sendItem(dialog, id, BM_SETCHECK, state, 0);
}

void fillControls(HWND dialog) {
  InitCommonControls();

  sendItem(dialog, IDC_RESOLUTION, CB_ADDSTRING, 0,
           reinterpret_cast<LPARAM>(kCurrentResolutionText));
  DEVMODEA record;
  DisplayMode modes[kMaxDisplayModes];
  size_t modeCount = enumerateDisplayModes(&record, modes, kMaxDisplayModes);
  DialogModeEntry entries[kMaxDisplayModes];
  size_t entryCount = listDialogModes(modes, modeCount, entries, kMaxDisplayModes);
  for (size_t i = 0; i < entryCount; ++i) {
    sendItem(dialog, IDC_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i].text));
  }
  if (entryCount == 0) dialogFatalError(kNoModesMessage);

  // The list's own prefix search, case-blind, starting after entry 0; no
  // match leaves the list without a selection.
  SettingValue resolution = readRequiredSetting(kResolutionValue);
  LRESULT found = sendItem(dialog, IDC_RESOLUTION, CB_FINDSTRING, 0,
                           reinterpret_cast<LPARAM>(resolution.text));
  sendItem(dialog, IDC_RESOLUTION, CB_SETCURSEL, static_cast<WPARAM>(found), 0);

  showFlag(dialog, IDC_SHOW_TIME, kShowTimeValue);
  showFlag(dialog, IDC_SHOW_FPS, kShowFpsValue);
}

bool boxChecked(HWND dialog, int id) {
  return sendItem(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void saveControls(HWND dialog) {
  // Without a selection (the stored mode is not on this display and the user
  // chose none) there is no text to store, so the stored mode stays as it is
  // rather than being overwritten with an empty or stale text.
  LRESULT index = sendItem(dialog, IDC_RESOLUTION, CB_GETCURSEL, 0, 0);
  if (index != CB_ERR) {
    char text[kSettingBufferSize];
    LRESULT length = sendItem(dialog, IDC_RESOLUTION, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length != CB_ERR && length < static_cast<LRESULT>(sizeof(text)) &&
        sendItem(dialog, IDC_RESOLUTION, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text)) != CB_ERR) {
      writeSetting(dialogKeyPath, kResolutionValue, text);
    }
  }
  // Failed writes are not reported: the dialog closes and the old values stay.
  writeSetting(dialogKeyPath, kShowTimeValue, settingFlagText(boxChecked(dialog, IDC_SHOW_TIME)));
  writeSetting(dialogKeyPath, kShowFpsValue, settingFlagText(boxChecked(dialog, IDC_SHOW_FPS)));
}

}  // namespace

INT_PTR showSettingsDialog(HINSTANCE instance, HWND owner, const char* keyPath,
                           FatalErrorHandler fatalError) {
  dialogKeyPath = keyPath;
  dialogFatalError = fatalError;
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), owner, settingsDialogProc, 0);
}

// Returns FALSE for everything: focus stays where the dialog manager puts
// it. Only the control id of WM_COMMAND matters. The buttons are 102 and
// 101 rather than IDOK and IDCANCEL, so the IDCANCEL that Escape produces
// falls through and the dialog stays open; Enter still reaches OK as the
// default push button.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      fillControls(dialog);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_OK) {
        saveControls(dialog);
        EndDialog(dialog, 0);
      } else if (LOWORD(wParam) == IDC_CANCEL) {
        EndDialog(dialog, 0);
      }
      break;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      break;
  }
  return FALSE;
}
