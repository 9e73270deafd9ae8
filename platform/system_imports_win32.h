#pragma once
// The functions the saver looks up at run time instead of importing: each
// is missing from some Windows the saver runs on (or from some drivers),
// and a static import of one would keep the saver from loading at all
// there. Each is declared here once, with its module and the versions that
// have it; a caller asks for it by this record and gets a typed pointer, or
// null where the system has no such function.
#include <windows.h>

// One optional function: where it lives and its type.
template <typename Proc>
struct SystemImport {
  const char* module;
  const char* name;
};

// One function of the current OpenGL context's driver, looked up with
// wglGetProcAddress; it belongs to an extension, not to a Windows version.
template <typename Proc>
struct GlExtensionImport {
  const char* name;
};

// user32.dll, Windows 98 and 2000: several monitors.
typedef BOOL(WINAPI* EnumDisplayMonitorsProc)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
constexpr SystemImport<EnumDisplayMonitorsProc> kEnumDisplayMonitors = {"user32.dll",
                                                                       "EnumDisplayMonitors"};
typedef BOOL(WINAPI* GetMonitorInfoAProc)(HMONITOR, LPMONITORINFO);
constexpr SystemImport<GetMonitorInfoAProc> kGetMonitorInfoA = {"user32.dll", "GetMonitorInfoA"};

// user32.dll, NT family only: 95, 98 and Me have no wide form and no
// desktop objects.
typedef BOOL(WINAPI* SystemParametersInfoWProc)(UINT, UINT, PVOID, UINT);
constexpr SystemImport<SystemParametersInfoWProc> kSystemParametersInfoW = {
    "user32.dll", "SystemParametersInfoW"};
// kernel32.dll and advapi32.dll, NT family only (95, 98 and Me have stubs
// that fail): wide names of the user's folders and policy values.
typedef DWORD(WINAPI* GetEnvironmentVariableWProc)(LPCWSTR, LPWSTR, DWORD);
constexpr SystemImport<GetEnvironmentVariableWProc> kGetEnvironmentVariableW = {
    "kernel32.dll", "GetEnvironmentVariableW"};
typedef LONG(WINAPI* RegQueryValueExWProc)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
constexpr SystemImport<RegQueryValueExWProc> kRegQueryValueExW = {"advapi32.dll",
                                                                 "RegQueryValueExW"};
typedef HDESK(WINAPI* GetThreadDesktopProc)(DWORD);
constexpr SystemImport<GetThreadDesktopProc> kGetThreadDesktop = {"user32.dll",
                                                                 "GetThreadDesktop"};
typedef BOOL(WINAPI* GetUserObjectInformationAProc)(HANDLE, int, PVOID, DWORD, LPDWORD);
constexpr SystemImport<GetUserObjectInformationAProc> kGetUserObjectInformationA = {
    "user32.dll", "GetUserObjectInformationA"};

// user32.dll, 98 and NT 4: a wait that also ends for input already seen
// but still queued. Windows 95's user32 lacks it.
typedef DWORD(WINAPI* MsgWaitForMultipleObjectsExProc)(DWORD, const HANDLE*, DWORD, DWORD, DWORD);
constexpr SystemImport<MsgWaitForMultipleObjectsExProc> kMsgWaitForMultipleObjectsEx = {
    "user32.dll", "MsgWaitForMultipleObjectsEx"};

// user32.dll, Vista: notices of power settings (the displays' state).
typedef HANDLE(WINAPI* RegisterPowerSettingNotificationProc)(HANDLE, const GUID*, DWORD);
constexpr SystemImport<RegisterPowerSettingNotificationProc> kRegisterPowerSettingNotification = {
    "user32.dll", "RegisterPowerSettingNotification"};
typedef BOOL(WINAPI* UnregisterPowerSettingNotificationProc)(HANDLE);
constexpr SystemImport<UnregisterPowerSettingNotificationProc>
    kUnregisterPowerSettingNotification = {"user32.dll", "UnregisterPowerSettingNotification"};

// user32.dll, Windows 10 version 1607: DPI awareness per thread.
typedef HANDLE(WINAPI* GetWindowDpiAwarenessContextProc)(HWND);
constexpr SystemImport<GetWindowDpiAwarenessContextProc> kGetWindowDpiAwarenessContext = {
    "user32.dll", "GetWindowDpiAwarenessContext"};
typedef HANDLE(WINAPI* SetThreadDpiAwarenessContextProc)(HANDLE);
constexpr SystemImport<SetThreadDpiAwarenessContextProc> kSetThreadDpiAwarenessContext = {
    "user32.dll", "SetThreadDpiAwarenessContext"};

// The screen-saver password services of Windows 95, 98 and Me. Their
// modules are not loaded in the saver: the caller loads them itself from
// the system folder and looks in the module it loaded.
typedef BOOL(WINAPI* VerifyScreenSavePwdProc)(HWND);
constexpr SystemImport<VerifyScreenSavePwdProc> kVerifyScreenSavePwd = {"password.cpl",
                                                                       "VerifyScreenSavePwd"};
typedef DWORD(WINAPI* PwdChangePasswordAProc)(LPCSTR, HWND, DWORD, DWORD);
constexpr SystemImport<PwdChangePasswordAProc> kPwdChangePasswordA = {"mpr.dll",
                                                                     "PwdChangePasswordA"};

// WGL_EXT_swap_control, where the driver offers it.
typedef BOOL(WINAPI* SwapIntervalEXTProc)(int);
constexpr GlExtensionImport<SwapIntervalEXTProc> kSwapIntervalEXT = {"wglSwapIntervalEXT"};

// WGL_ARB_extensions_string: the driver's WGL extensions for a DC.
typedef const char*(WINAPI* GetExtensionsStringARBProc)(HDC);
constexpr GlExtensionImport<GetExtensionsStringARBProc> kGetExtensionsStringARB = {
    "wglGetExtensionsStringARB"};
// WGL_ARB_create_context: a context made with attributes, here the one
// that asks to be told of a driver reset (WGL_ARB_create_context_robustness).
typedef HGLRC(WINAPI* CreateContextAttribsARBProc)(HDC, HGLRC, const int*);
constexpr GlExtensionImport<CreateContextAttribsARBProc> kCreateContextAttribsARB = {
    "wglCreateContextAttribsARB"};
// GL_ARB_robustness: whether the driver reset the context since the last
// ask (a GLenum, GL_NO_ERROR when not).
typedef unsigned int(WINAPI* GetGraphicsResetStatusARBProc)(void);
constexpr GlExtensionImport<GetGraphicsResetStatusARBProc> kGetGraphicsResetStatusARB = {
    "glGetGraphicsResetStatusARB"};

// The address of `name` in `module`, or null; null also for a null module.
FARPROC findExport(HMODULE module, const char* name);
// The address of `name` in the module named `module` if that module is
// already loaded in the process, or null. It never loads a module: the
// functions looked up this way live in modules the saver imports anyway.
FARPROC findLoadedExport(const char* module, const char* name);
// The address of an extension function of the current OpenGL context, or null.
FARPROC findGlExtension(const char* name);

// A function pointer has no direct conversion from FARPROC that every
// compiler accepts without a warning; the round through void* is that
// conversion, written once here.
template <typename Proc>
Proc asProc(FARPROC address) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(address));
}

// The optional function from its already loaded module, or null.
template <typename Proc>
Proc findImport(const SystemImport<Proc>& import) {
  return asProc<Proc>(findLoadedExport(import.module, import.name));
}

// The optional function from a module the caller loaded itself, or null.
template <typename Proc>
Proc findImport(HMODULE module, const SystemImport<Proc>& import) {
  return asProc<Proc>(findExport(module, import.name));
}

// The extension function of the current OpenGL context, or null.
template <typename Proc>
Proc findImport(const GlExtensionImport<Proc>& import) {
  return asProc<Proc>(findGlExtension(import.name));
}
