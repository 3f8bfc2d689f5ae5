#include "StopSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace ct::cli {

namespace {

// Read by every worker thread of a fleet and written by the handler: atomics
// that need no lock are safe in both.
std::atomic<int> stopRequested{0};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler writes these");

const struct {
    int number;
    const char* name;
} kStopSignals[] = {
    {SIGINT, "SIGINT"},
    {SIGTERM, "SIGTERM"},
#ifndef _WIN32
    {SIGHUP, "SIGHUP"},
    {SIGQUIT, "SIGQUIT"},
#endif
};

#ifndef _WIN32
// Written on every request, so that a wait that began just before it still
// wakes (the flag alone would be read only after the wait).
int wakeRead = -1;
int wakeWrite = -1;

void Wake()
{
    if (wakeWrite < 0)
        return;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
    errno = saved;
}
#else
void Wake() {}
#endif

void OnStopSignal(int number)
{
    if (stopRequested == 0)
        stopSignal = number;
    stopRequested = 1;
    Wake();
}

}  // namespace

void InstallStopHandlers()
{
#ifdef _WIN32
    for (const auto& s : kStopSignals)
        std::signal(s.number, OnStopSignal);
#else
    if (wakeRead < 0) {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            wakeRead = fds[0];
            wakeWrite = fds[1];
        }
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const auto& s : kStopSignals) {
        // A signal ignored from the start stays ignored: nohup's SIGHUP, the
        // SIGINT of a job a script put in the background.
        struct sigaction before {};
        if (sigaction(s.number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(s.number, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool StopRequested()
{
    return stopRequested != 0;
}

void RequestStop()
{
    stopRequested = 1;
    Wake();
}

int StopSignalNumber()
{
    return stopSignal;
}

const char* StopCause()
{
    for (const auto& s : kStopSignals) {
        if (s.number == stopSignal)
            return s.name;
    }
    return "a write error";
}

void ClearStopRequest()
{
    stopRequested = 0;
    stopSignal = 0;
#ifndef _WIN32
    char drain[64];
    while (wakeRead >= 0 && ::read(wakeRead, drain, sizeof drain) > 0) {
    }
#endif
}

void StopPump::ThrowIfAbandoned() const
{
    if (StopRequested() && abandon_())
        throw OperationStopped{};
}

void StopPump::ProcessEvents()
{
    if (inner_)
        inner_->ProcessEvents();
    ThrowIfAbandoned();
}

bool StopPump::Wait(const link::WaitSource& source, int timeoutMs)
{
    ThrowIfAbandoned();
    bool ready = false;
#ifndef _WIN32
    // Once a stop was seen and the operation goes on (a continuous test
    // finishing its cycle), the pipe stays readable: waiting on it would spin.
    // A wait on nothing without a limit would block for ever: it returns at
    // once, as the native wait does.
    const bool endless = source.kind == link::WaitSource::Kind::None && timeoutMs < 0;
    if (!inner_ && wakeRead >= 0 && !StopRequested() && !endless) {
        pollfd fds[2] = {{wakeRead, POLLIN, 0}, {-1, 0, 0}};
        if (source.kind == link::WaitSource::Kind::Descriptor)
            fds[1] = {static_cast<int>(source.handle), static_cast<short>(source.forWrite ? POLLOUT : POLLIN), 0};
        // A signal (EINTR) or the pipe ends the wait early; the caller looks
        // at its clock and waits again for what is left.
        if (::poll(fds, 2, timeoutMs) > 0)
            ready = fds[1].revents != 0;
        ThrowIfAbandoned();
        return ready;
    }
#endif
    ready = inner_ ? inner_->Wait(source, timeoutMs) : link::WaitNative(source, timeoutMs);
    ThrowIfAbandoned();
    return ready;
}

}  // namespace ct::cli
