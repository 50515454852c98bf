#include "tests/framework/pump.h"

namespace {

bool DispatchOne()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    ULONGLONG ullEnd = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= ullEnd)
            return done();
        if (!DispatchOne())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}
