// The performance counter on Linux: CLOCK_MONOTONIC in nanoseconds, so the frequency is 1e9.
#pragma once

#include "platform/linux/win32_types.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
