// The CPU time this test process has used so far, for tests that check a port leaves it quiet.
#ifndef DRIVERPANEL_TESTS_WINDOWS_PROCESS_CPU_H
#define DRIVERPANEL_TESTS_WINDOWS_PROCESS_CPU_H

#include <windows.h>

inline ULONGLONG ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
        return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
}

#endif
