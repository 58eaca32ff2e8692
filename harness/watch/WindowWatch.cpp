// The window server's side of the watch: nothing here sends the watched program a message.
#include "watch/Watch.h"

#include <algorithm>

#include "machine/Clock.h"

namespace watch {

namespace {

std::wstring ServerText(HWND hWnd)
{
    wchar_t text[2048];
    const int n = ::InternalGetWindowText(hWnd, text, sizeof(text) / sizeof(text[0]));
    std::wstring shown(text, n > 0 ? n : 0);
    shown.erase(std::remove(shown.begin(), shown.end(), L'\r'), shown.end());
    return shown;
}

// Whether hWnd or a visible child passes test (called with the window and lParam).
bool AnyShown(HWND hWnd, bool (*test)(HWND, LPARAM), LPARAM lParam)
{
    struct Look {
        bool (*test)(HWND, LPARAM);
        LPARAM lParam;
        bool seen;
    } look = { test, lParam, test(hWnd, lParam) };
    if (!look.seen) {
        ::EnumChildWindows(hWnd, [](HWND child, LPARAM p) -> BOOL {
            Look* pLook = reinterpret_cast<Look*>(p);
            pLook->seen = ::IsWindowVisible(child) && pLook->test(child, pLook->lParam);
            return !pLook->seen;
        }, reinterpret_cast<LPARAM>(&look));
    }
    return look.seen;
}

}  // namespace

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
    return !AnyShown(hWnd, [](HWND h, LPARAM) { return ::GetUpdateRect(h, nullptr, FALSE) != FALSE; }, 0);
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

bool ShowsText(HWND hWnd, const char* text)
{
    wchar_t wide[2048];
    if (::MultiByteToWideChar(932, 0, text, -1, wide, sizeof(wide) / sizeof(wide[0])) <= 0)
        return false;
    std::wstring wanted(wide);
    wanted.erase(std::remove(wanted.begin(), wanted.end(), L'\r'), wanted.end());
    return AnyShown(hWnd, [](HWND h, LPARAM p) { return ServerText(h) == *reinterpret_cast<std::wstring*>(p); },
                    reinterpret_cast<LPARAM>(&wanted));
}

}  // namespace watch
