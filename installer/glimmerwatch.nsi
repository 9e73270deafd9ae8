; Glimmerwatch installer, one script for both architectures.
;
;   makensis /DARCH=x64 /DSCR=build/win64/Glimmerwatch.scr /DOUTFILE=Setup-x64.exe installer/glimmerwatch.nsi
;   makensis /DARCH=x86 /DSCR=build/win32/Glimmerwatch.scr /DOUTFILE=Setup-x86.exe installer/glimmerwatch.nsi
;
; makensis runs from this script's folder (unless given /NOCD), so relative
; paths here are relative to installer/; SCR and OUTFILE are best passed as
; absolute paths. They default to the preset build folder and to
; build/release under the checkout. The version shown everywhere (installer resources,
; Add/Remove Programs) is read from the .scr's own version resource, so the
; installer can never claim a version other than the file it carries.
;
; What it does:
;  - copies Glimmerwatch.scr into the native system folder, where the display
;    control panel looks for screen savers (x64: the 64-bit System32 of 64-bit
;    Windows; x86: System32 of 32-bit Windows; the x86 installer refuses
;    64-bit Windows, where the control panel would never see a 32-bit saver);
;  - creates HKCU\Software\Tessaly\Glimmerwatch with the first values, but
;    only the values that are missing, so a reinstall keeps the user's choice
;    (the saver itself never creates them and refuses to run without them);
;  - on its last page (never in silent mode) offers to make Glimmerwatch the
;    current screen saver and to open its settings;
;  - writes Uninstall.exe into Program Files\Glimmerwatch and registers it in
;    Add/Remove Programs.
;
; Exit codes: 0 done, 1 cancelled by the user, 2 aborted, 3 wrong Windows
; (x86 installer on 64-bit Windows).

Unicode true
ManifestDPIAware true

!ifndef ARCH
  !define ARCH x64
!endif
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define BUILD_DIR win64
  !define ARCH_TEXT "64-bit"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define BUILD_DIR win32
  !define ARCH_TEXT "32-bit"
!else
  !error "ARCH must be x64 or x86"
!endif

!ifndef SCR
  !define SCR "../build/${BUILD_DIR}/Glimmerwatch.scr"
!endif
!ifndef OUTFILE
  !define OUTFILE "../build/release/Glimmerwatch-Setup-${ARCH}.exe"
!endif

; VER_1..VER_4 from the .scr's fixed file version.
!getdllversion "${SCR}" VER_
!define VERSION "${VER_1}.${VER_2}.${VER_3}.${VER_4}"

!define PRODUCT "Glimmerwatch"
!define PUBLISHER "Tessaly"
!define SCR_NAME "Glimmerwatch.scr"
!define SETTINGS_KEY "Software\Tessaly\Glimmerwatch"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimmerwatch"
!define DESKTOP_KEY "Control Panel\Desktop"
!define EXIT_WRONG_WINDOWS 3

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup (${ARCH_TEXT})"
OutFile "${OUTFILE}"
; Writing the system folder and HKLM needs an administrator.
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; The saver goes to the system folder; only the uninstaller lives here, so
; there is nothing to choose and no directory page.
!if "${ARCH}" == "x64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Screen Saver Setup (${ARCH_TEXT})"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "Glimmerwatch-Setup-${ARCH}.exe"

!define MUI_ICON "../resources/eye.ico"
!define MUI_UNICON "../resources/eye.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This will install the ${PRODUCT} ${VERSION} screen saver (${ARCH_TEXT}) on your computer.$\r$\n$\r$\nWhile it runs, your desktop stays frozen in place; move the mouse and two eyes appear and follow the cursor.$\r$\n$\r$\nClick Install to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
; The finish page carries the two offers; silent installs never show it.
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "${PRODUCT} now appears in the list of screen savers in the Windows screen saver settings."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Make ${PRODUCT} my screen saver"
!define MUI_FINISHPAGE_RUN_FUNCTION MakeCurrentSaver
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the ${PRODUCT} settings"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION OpenSaverSettings
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Points both the file functions and the registry at the native 64-bit
; locations. The amd64 stub already is a 64-bit process, so this only guards
; against the script ever being built with a 32-bit stub for x64.
!macro UseNativeLocations
  !if "${ARCH}" == "x64"
    ${DisableX64FSRedirection}
    SetRegView 64
  !endif
!macroend

!macro RefuseWrongWindows
  !if "${ARCH}" == "x86"
    ; A 32-bit saver on 64-bit Windows would land in SysWOW64, which the
    ; 64-bit control panel never lists.
    ${If} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "This is the installer for 32-bit Windows, and this computer runs 64-bit Windows.$\r$\n$\r$\nPlease use Glimmerwatch-Setup-x64.exe instead." /SD IDOK
      SetErrorLevel ${EXIT_WRONG_WINDOWS}
      Quit
    ${EndIf}
  !endif
!macroend

Function .onInit
  !insertmacro RefuseWrongWindows
  !insertmacro UseNativeLocations
FunctionEnd

; Writes one first value unless the user already has one.
!macro FirstValue NAME VALUE
  ClearErrors
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "${NAME}"
  ${If} ${Errors}
    WriteRegStr HKCU "${SETTINGS_KEY}" "${NAME}" "${VALUE}"
    DetailPrint 'Setting "${NAME}" = "${VALUE}"'
  ${Else}
    DetailPrint 'Keeping "${NAME}" = "$0"'
  ${EndIf}
!macroend

Section "Glimmerwatch" SecMain
  SectionIn RO
  SetOverwrite on

  SetOutPath "$SYSDIR"
  File "/oname=${SCR_NAME}" "${SCR}"

  !insertmacro FirstValue "Resolution" "Current resolution"
  !insertmacro FirstValue "Show Time" "1"
  !insertmacro FirstValue "Show FPS" "0"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Size in KiB of what the installer put on disk: the saver and the
  ; uninstaller.
  StrCpy $1 0
  FileOpen $0 "$SYSDIR\${SCR_NAME}" r
  FileSeek $0 0 END $2
  FileClose $0
  IntOp $1 $1 + $2
  FileOpen $0 "$INSTDIR\Uninstall.exe" r
  FileSeek $0 0 END $2
  FileClose $0
  IntOp $1 $1 + $2
  IntOp $1 $1 + 1023
  IntOp $1 $1 / 1024

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} Screen Saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\${SCR_NAME},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Selects the saver the way the display control panel does: the short path
; in SCRNSAVE.EXE, and screen saving switched on, announced to running
; programs so the idle timer picks it up without a new logon.
Function MakeCurrentSaver
  GetFullPathName /SHORT $0 "$SYSDIR\${SCR_NAME}"
  ${If} $0 == ""
    StrCpy $0 "$SYSDIR\${SCR_NAME}"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; SPI_SETSCREENSAVEACTIVE = 17, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE = 3
  System::Call 'user32::SystemParametersInfo(i 17, i 1, p 0, i 3)'
FunctionEnd

Function OpenSaverSettings
  Exec '"$SYSDIR\${SCR_NAME}" /c'
FunctionEnd

Function un.onInit
  !insertmacro UseNativeLocations
FunctionEnd

Section "Uninstall"
  ; Forget the saver selection only when it is ours, in either the short
  ; form written by us and the control panel or the long form; this must
  ; happen while the file still exists, or its short name is unknown.
  ClearErrors
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${IfNot} ${Errors}
    GetFullPathName /SHORT $1 "$SYSDIR\${SCR_NAME}"
    ${If} $0 == "$SYSDIR\${SCR_NAME}"
    ${OrIf} $0 == $1
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      DetailPrint "Glimmerwatch is no longer the screen saver"
    ${EndIf}
  ${EndIf}

  Delete /REBOOTOK "$SYSDIR\${SCR_NAME}"

  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Tessaly"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
