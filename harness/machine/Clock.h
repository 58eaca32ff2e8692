// Time on the test machine: a clock that every process of the machine reads alike, and a
// bounded wait for something another process does.
//
// Functions: WaitFor, NowMs.
#ifndef MACHINE_CLOCK_H
#define MACHINE_CLOCK_H

#include <windows.h>

#include <functional>

namespace machine {

// Polls pred every 20 ms until it holds or ms have passed. The last answer of pred.
bool WaitFor(const std::function<bool()>& pred, DWORD ms);

// Milliseconds on a clock shared by all processes of the machine; the stand-in setup program
// logs its start and end on it, so it is defined here, without a library to link.
inline double NowMs()
{
    FILETIME ft;
    ::GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<double>(t.QuadPart) / 10000.0;
}

}  // namespace machine

#endif
