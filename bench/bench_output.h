#pragma once
// Results of the measuring programs: "key=value" lines in a file named on
// the command line. A file rather than standard output, because Wine's
// background processes keep inherited pipes open after the program ends.
// Every line is flushed at once, so a run that dies still leaves what it had.
#include <windows.h>

bool openBenchOutput(const char* path);
void writeNumber(const char* key, double value);
void writeText(const char* key, const char* text);
// The wall clock now, as whole nanoseconds since 1970 (what `date +%s%N`
// reads on the host: Wine takes the system time from the same clock), so a
// script can line up what it saw from outside with the program's intervals.
void writeWallClock(const char* key);
void closeBenchOutput();

// Records the stage that failed under "failed" and ends the program with 2,
// without any message box that would wait for a click nobody gives.
[[noreturn]] void failBench(const char* stage);

// QueryPerformanceCounter readings and the milliseconds between them.
LARGE_INTEGER readCounter();
double millisecondsBetween(LARGE_INTEGER start, LARGE_INTEGER end);
double millisecondsSince(LARGE_INTEGER start);

// One stage of a start-up: the milliseconds since `stageStart` under `key`;
// the next stage starts now.
void endStage(const char* key, LARGE_INTEGER* stageStart);

// Reads a non-negative integer argument; `fallback` when it is absent or not
// a number.
long argumentNumber(int argc, char** argv, int index, long fallback);
