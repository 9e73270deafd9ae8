// A stand-in for the display control panel: owns a preview-box-sized window
// and runs the real saver with "/p <window>" inside it, then measures the
// processor time the preview process uses while nothing happens.
//
// Usage: glimmer_preview_host.exe <scr> <result-file> [settle ms] [measured ms]
// Writes "<result-file>.ready" with the child's process id once the settle
// time is over, so a script can sample the process from outside over about
// the same interval; after its own interval it keeps the preview running
// until "<result-file>.release" exists (at most kReleaseWaitMs), so the
// script's second sample still finds the process.
#include <stdio.h>

#include "bench/bench_output.h"

namespace {

const char kHostClassName[] = "PreviewHostWindow";
const int kPreviewBoxWidth = 152;  // the preview box of the display control panel
const int kPreviewBoxHeight = 112;
const long kDefaultSettleMs = 2000;
const long kDefaultMeasuredMs = 10000;
const DWORD kExitWaitMs = 5000;
const DWORD kReleaseWaitMs = 30000;

// Keeps the host's queue served for `milliseconds`: the preview's window is
// a child of this one, so some of its calls wait for this thread.
void serveMessages(DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD spent = GetTickCount() - start;
    if (spent >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - spent, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

double processCpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1.0;
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime;
  k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime;
  u.HighPart = user.dwHighDateTime;
  return static_cast<double>(k.QuadPart + u.QuadPart) / 10000.0;  // 100 ns units
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 3 || !openBenchOutput(__argv[2])) return 3;
  const char* scrPath = __argv[1];
  long settleMs = argumentNumber(__argc, __argv, 3, kDefaultSettleMs);
  long measuredMs = argumentNumber(__argc, __argv, 4, kDefaultMeasuredMs);

  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = kHostClassName;
  if (RegisterClassExA(&windowClass) == 0) failBench("host class");
  HWND host = CreateWindowExA(0, kHostClassName, "Preview host", WS_POPUP | WS_VISIBLE, 100, 100,
                              kPreviewBoxWidth, kPreviewBoxHeight, nullptr, nullptr, instance,
                              nullptr);
  if (host == nullptr) failBench("host window");

  char commandLine[MAX_PATH + 64];
  snprintf(commandLine, sizeof commandLine, "\"%s\" /p %lu", scrPath,
           static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(host)));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &child)) {
    failBench("start the preview");
  }
  writeText("command_line", commandLine);

  serveMessages(static_cast<DWORD>(settleMs));
  HWND preview = GetWindow(host, GW_CHILD);
  DWORD previewProcess = 0;
  if (preview != nullptr) GetWindowThreadProcessId(preview, &previewProcess);
  // Only a preview that made its window inside the host counts.
  writeNumber("preview_window_found", preview != nullptr && previewProcess == child.dwProcessId);
  if (WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0) failBench("the preview ended early");

  double cpuBefore = processCpuMs(child.hProcess);
  LARGE_INTEGER start = readCounter();
  char readyPath[MAX_PATH + 16];
  snprintf(readyPath, sizeof readyPath, "%s.ready", __argv[2]);
  FILE* ready = fopen(readyPath, "w");
  if (ready != nullptr) {
    fprintf(ready, "%lu\n", static_cast<unsigned long>(child.dwProcessId));
    fclose(ready);
  }

  serveMessages(static_cast<DWORD>(measuredMs));

  double cpuAfter = processCpuMs(child.hProcess);
  double elapsedMs = millisecondsSince(start);
  writeNumber("measured_ms", elapsedMs);
  writeNumber("cpu_ms_get_process_times", cpuAfter - cpuBefore);
  writeNumber("cpu_ms_total_get_process_times", cpuAfter);
  writeNumber("still_running", WaitForSingleObject(child.hProcess, 0) == WAIT_TIMEOUT);

  char releasePath[MAX_PATH + 16];
  snprintf(releasePath, sizeof releasePath, "%s.release", __argv[2]);
  DWORD releaseStart = GetTickCount();
  while (GetFileAttributesA(releasePath) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount() - releaseStart < kReleaseWaitMs) {
    serveMessages(50);
  }

  // Ends the preview as the control panel does, by closing its window.
  if (preview != nullptr) PostMessageA(preview, WM_CLOSE, 0, 0);
  DWORD waited = WaitForSingleObject(child.hProcess, 0);
  DWORD start2 = GetTickCount();
  while (waited == WAIT_TIMEOUT && GetTickCount() - start2 < kExitWaitMs) {
    serveMessages(50);
    waited = WaitForSingleObject(child.hProcess, 0);
  }
  if (waited == WAIT_TIMEOUT) {
    TerminateProcess(child.hProcess, 9);
    writeText("preview_exit", "terminated: did not end on WM_CLOSE");
  } else {
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    writeNumber("preview_exit_code", code);
  }
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  writeText("done", "1");
  closeBenchOutput();
  DestroyWindow(host);
  return 0;
}
