#include "WindowWatch.h"

#include <algorithm>

#include "machine/Clock.h"

namespace bench {

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
    const double deadline = machine::NowMs() + ms;
    do {
        if (NothingToPaint(hWnd))
            return machine::NowMs();
        ::Sleep(1);
    } while (machine::NowMs() < deadline);
    return 0;
}

bool Enabled(HWND hWnd)
{
    return ::IsWindowEnabled(hWnd) != FALSE;
}

namespace {

std::wstring WithoutCarriageReturns(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

std::wstring ServerText(HWND hWnd)
{
    wchar_t text[2048];
    const int n = ::InternalGetWindowText(hWnd, text, sizeof(text) / sizeof(text[0]));
    return WithoutCarriageReturns(std::wstring(text, n > 0 ? n : 0));
}

struct TextSearch {
    std::wstring wanted;
    bool found = false;
};

}  // namespace

bool ShowsText(HWND hWnd, const char* text)
{
    wchar_t wide[2048];
    const int n = ::MultiByteToWideChar(932, 0, text, -1, wide, sizeof(wide) / sizeof(wide[0]));
    if (n <= 0)
        return false;
    TextSearch search;
    search.wanted = WithoutCarriageReturns(wide);
    if (ServerText(hWnd) == search.wanted)
        return true;
    ::EnumChildWindows(hWnd, [](HWND child, LPARAM lParam) -> BOOL {
        TextSearch* pSearch = reinterpret_cast<TextSearch*>(lParam);
        if (::IsWindowVisible(child) && ServerText(child) == pSearch->wanted) {
            pSearch->found = true;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace bench
