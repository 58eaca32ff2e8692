// Time on the test machine.
#include "machine/Clock.h"

namespace machine {

bool WaitFor(const std::function<bool()>& pred, DWORD ms)
{
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount64() >= deadline)
            return pred();
        ::Sleep(20);
    }
}

}  // namespace machine
