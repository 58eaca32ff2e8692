// Looking at another process's windows through the window server only, so that the program
// being timed is never asked anything while it is timed: visibility, enabled state and
// pending update regions are kept by the server, and cost the watched program nothing.
#ifndef BENCH_WINDOW_WATCH_H
#define BENCH_WINDOW_WATCH_H

#include <windows.h>

#include <string>

namespace bench {

// The visible top-level window of the thread (the dialog), or NULL.
HWND ShownWindowOf(DWORD threadId);

// True when neither the window nor any visible child of it has a region waiting to be
// painted. Wine's server sets WS_VISIBLE and exposes the shown area in one request, so a
// window seen visible and clean has had its first WM_PAINTs.
bool NothingToPaint(HWND hWnd);

// Polls every millisecond until hWnd has nothing left to paint. machine::NowMs() of that, or 0.
double WaitUntilPainted(HWND hWnd, DWORD ms);

bool Enabled(HWND hWnd);

// True when hWnd or a visible window below it shows text (code page 932, as the tests write
// it; line ends compared without their CR). Texts are read from the window server
// (InternalGetWindowText), which sends the watched program no message.
bool ShowsText(HWND hWnd, const char* text);

std::string BaseName(const std::string& path);

}  // namespace bench

#endif
