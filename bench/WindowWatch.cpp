#include "WindowWatch.h"

#include <algorithm>

namespace bench {

double Ms()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

HWND ShownWindowOf(DWORD threadId)
{
    HWND found = nullptr;
    ::EnumThreadWindows(threadId, [](HWND h, LPARAM lParam) -> BOOL {
        if (!::IsWindowVisible(h))
            return TRUE;
        *reinterpret_cast<HWND*>(lParam) = h;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool NothingToPaint(HWND hWnd)
{
    if (::GetUpdateRect(hWnd, nullptr, FALSE))
        return false;
    bool pending = false;
    ::EnumChildWindows(hWnd, [](HWND child, LPARAM lParam) -> BOOL {
        if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE)) {
            *reinterpret_cast<bool*>(lParam) = true;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

double WaitUntilPainted(HWND hWnd, DWORD ms)
{
    const double deadline = Ms() + ms;
    do {
        if (NothingToPaint(hWnd))
            return Ms();
        ::Sleep(1);
    } while (Ms() < deadline);
    return 0;
}

bool Enabled(HWND hWnd)
{
    return ::IsWindowEnabled(hWnd) != FALSE;
}

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace bench
