#include "bench/bench_output.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

FILE* outputFile = nullptr;

double counterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(frequency.QuadPart);
}

}  // namespace

bool openBenchOutput(const char* path) {
  outputFile = fopen(path, "wb");  // plain LF lines for the script
  return outputFile != nullptr;
}

void writeNumber(const char* key, double value) {
  if (outputFile == nullptr) return;
  fprintf(outputFile, "%s=%.3f\n", key, value);
  fflush(outputFile);
}

void writeText(const char* key, const char* text) {
  if (outputFile == nullptr) return;
  fprintf(outputFile, "%s=%s\n", key, text != nullptr ? text : "");
  fflush(outputFile);
}

void writeWallClock(const char* key) {
  if (outputFile == nullptr) return;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;  // 100 ns units since 1601
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  const unsigned long long kUnixEpochTicks = 116444736000000000ULL;
  fprintf(outputFile, "%s=%llu\n", key, (ticks.QuadPart - kUnixEpochTicks) * 100ULL);
  fflush(outputFile);
}

void closeBenchOutput() {
  if (outputFile != nullptr) fclose(outputFile);
  outputFile = nullptr;
}

LARGE_INTEGER readCounter() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return value;
}

double millisecondsBetween(LARGE_INTEGER start, LARGE_INTEGER end) {
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / counterFrequency();
}

double millisecondsSince(LARGE_INTEGER start) { return millisecondsBetween(start, readCounter()); }

long argumentNumber(int argc, char** argv, int index, long fallback) {
  if (index >= argc) return fallback;
  char* end = nullptr;
  long value = strtol(argv[index], &end, 10);
  if (end == argv[index] || *end != '\0' || value < 0) return fallback;
  return value;
}

void failBench(const char* stage) {
  writeText("failed", stage);
  closeBenchOutput();
  ExitProcess(2);
}

void endStage(const char* key, LARGE_INTEGER* stageStart) {
  LARGE_INTEGER now = readCounter();
  writeNumber(key, millisecondsBetween(*stageStart, now));
  *stageStart = now;
}
