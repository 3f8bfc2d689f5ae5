#include "link/EventPump.h"

#include "link/Clock.h"

#include <algorithm>
#include <chrono>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <cerrno>
#include <poll.h>
#endif

namespace ct::link {

namespace {

#ifndef _WIN32
// poll() for one descriptor, or for none (a plain pause), restarted after a
// signal with the time that is left.
bool PollFor(pollfd* fd, int timeoutMs)
{
    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int wait = timeoutMs;
    for (;;) {
        const int rc = ::poll(fd, fd ? 1 : 0, wait);
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
        if (timeoutMs > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
            wait = static_cast<int>(std::max<long long>(left, 0));
        }
    }
}
#endif

}  // namespace

bool WaitNative(const WaitSource& source, int timeoutMs)
{
#ifdef _WIN32
    switch (source.kind) {
    case WaitSource::Kind::None:
        if (timeoutMs > 0)
            ::Sleep(static_cast<DWORD>(timeoutMs));
        return false;
    case WaitSource::Kind::Event:
        return ::WaitForSingleObject(reinterpret_cast<HANDLE>(source.handle),
                                     timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs))
               == WAIT_OBJECT_0;
    case WaitSource::Kind::Descriptor: {
        const SOCKET s = static_cast<SOCKET>(source.handle);
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);  // a failed connect shows here, not as writable
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        return ::select(0, source.forWrite ? nullptr : &ready, source.forWrite ? &ready : nullptr, &failed,
                        timeoutMs < 0 ? nullptr : &tv)
               > 0;
    }
    }
    return false;
#else
    if (source.kind != WaitSource::Kind::Descriptor) {
        if (timeoutMs > 0)
            PollFor(nullptr, timeoutMs);
        return false;
    }
    pollfd p{static_cast<int>(source.handle), static_cast<short>(source.forWrite ? POLLOUT : POLLIN), 0};
    return PollFor(&p, timeoutMs);
#endif
}

bool IEventPump::Wait(const WaitSource& source, int timeoutMs)
{
    ProcessEvents();
    const int slice = static_cast<int>(WaitSliceMs);
    return WaitNative(source, timeoutMs < 0 ? slice : std::min(timeoutMs, slice));
}

void PumpedPause(IClock& clock, IEventPump& pump, std::uint32_t ms)
{
    const std::uint32_t start = clock.NowMs();
    for (;;) {
        const std::uint32_t elapsed = ElapsedMs(start, clock.NowMs());
        if (elapsed >= ms)
            return;
        pump.Wait(WaitSource::Nothing(), static_cast<int>(ms - elapsed));
    }
}

bool NoEventPump::Wait(const WaitSource& source, int timeoutMs)
{
    return WaitNative(source, timeoutMs);
}

}  // namespace ct::link
