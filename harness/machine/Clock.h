// Time on the test machine: a clock that every process of the machine reads alike, and a
// bounded wait for something another process does.
#ifndef MACHINE_CLOCK_H
#define MACHINE_CLOCK_H

#include <windows.h>

#include <functional>

namespace machine {

// Polls pred every 20 ms until it holds or ms have passed. The last answer of pred.
bool WaitFor(const std::function<bool()>& pred, DWORD ms);

// Milliseconds on a clock shared by all processes of the machine.
double NowMs();

}  // namespace machine

#endif
