#include "double_record.h"

#include <stdio.h>
#include <string.h>

namespace doubles {

namespace {

const DWORD kLongestHoldMs = 60000;

bool controlPath(const char* name, char* path, DWORD size) {
  DWORD length = GetEnvironmentVariableA("GLIMMER_DOUBLE_DIR", path, size);
  if (length == 0 || length + 1 + strlen(name) + 1 > size) return false;
  if (path[length - 1] != '\\') path[length++] = '\\';
  strcpy(path + length, name);
  return true;
}

}  // namespace

void record(const char* line) {
  char path[MAX_PATH];
  if (!controlPath("calls.log", path, sizeof(path))) return;
  // Opened per line and shared, so the test can read it while we run.
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

bool controlFileExists(const char* name) {
  char path[MAX_PATH];
  return controlPath(name, path, sizeof(path)) &&
         GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool answerIsAccept() {
  char path[MAX_PATH];
  if (!controlPath("answer", path, sizeof(path))) return false;
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return false;
  char word[16] = {};
  size_t length = fread(word, 1, sizeof(word) - 1, file);
  fclose(file);
  return length >= 6 && strncmp(word, "accept", 6) == 0;
}

void pumpWhileHeld() {
  DWORD start = GetTickCount();
  while (controlFileExists("hold") && GetTickCount() - start < kLongestHoldMs) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

}  // namespace doubles

// Load and unload are part of what a test checks: the program must load a
// service from the system folder for the one call and free it right after.
// A null reserved pointer on detach means FreeLibrary, not process exit.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    char line[MAX_PATH + 16];
    snprintf(line, sizeof(line), "attach %s", path);
    doubles::record(line);
  } else if (reason == DLL_PROCESS_DETACH) {
    doubles::record(reserved == nullptr ? "detach free" : "detach exit");
  }
  return TRUE;
}
