#include "platform/linux/win32_counter.h"

#include <ctime>

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    timespec ts{};
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return FALSE;
    count->QuadPart = LONGLONG(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1000000000;
    return TRUE;
}
