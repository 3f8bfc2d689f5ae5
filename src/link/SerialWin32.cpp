// A COM port on Windows: CreateFileA on
// "\\.\" + name with no sharing, GetCommTimeouts into a saved copy and
// SetCommTimeouts, GetCommState, the named members changed, SetCommState,
// PurgeComm; at close PurgeComm with all four flags, the saved COMMTIMEOUTS
// back, CloseHandle.
//
// Choices, each on purpose:
// - The settings string is read by ParseLineSettings (the parser of every
//   platform) and the members it names are set in the DCB, instead of
//   BuildCommDCBA: the same strings are accepted everywhere, and the comma
//   form does not switch flow control off as BuildCommDCBA's does, so every
//   member the string does not name keeps what GetCommState read. A string
//   that does not parse leaves the DCB alone (no SetCommState at all).
// - The handle is opened for overlapped I/O, so that the wait for bytes is
//   an event handle (a pending WaitCommEvent for EV_RXCHAR) that the pump
//   blocks on together with the window's events, instead of 1 ms reads and
//   sleeps. The read time-outs make ReadFile return at once with what is
//   queued (ReadIntervalTimeout MAXDWORD, the rest 0); writes have no
//   driver time-out and are given up after WriteLimitMs by CancelIo.
// - The line settings are not restored at close (only the COMMTIMEOUTS).
#ifdef _WIN32

#include "link/EventPump.h"
#include "link/NativeTransports.h"

#include <windows.h>

namespace ct::link::native {

namespace {

constexpr DWORD PurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

void ApplyLineSettings(const LineSettings& s, DCB& dcb)
{
    if (s.baudRate)
        dcb.BaudRate = *s.baudRate;
    if (s.parity) {
        switch (*s.parity) {
        case 'e': dcb.Parity = EVENPARITY; break;
        case 'o': dcb.Parity = ODDPARITY; break;
        case 'm': dcb.Parity = MARKPARITY; break;
        case 's': dcb.Parity = SPACEPARITY; break;
        default: dcb.Parity = NOPARITY; break;
        }
        dcb.fParity = dcb.Parity != NOPARITY;
    }
    if (s.dataBits)
        dcb.ByteSize = static_cast<BYTE>(*s.dataBits);
    if (s.stopBits)
        dcb.StopBits = *s.stopBits == 2 ? TWOSTOPBITS : *s.stopBits == 15 ? ONE5STOPBITS : ONESTOPBIT;
}

std::intptr_t Handle(HANDLE h)
{
    return reinterpret_cast<std::intptr_t>(h);
}

class Win32Serial final : public BufferedTransport {
public:
    Win32Serial(HANDLE port, const COMMTIMEOUTS& saved)
        : port_(port),
          saved_(saved),
          readDone_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          writeDone_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          commEvent_(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
    }

    bool Usable() const { return readDone_ && writeDone_ && commEvent_; }

    ~Win32Serial() override
    {
        if (waitPending_) {
            ::SetCommMask(port_, 0);  // ends the pending WaitCommEvent
            DWORD n = 0;
            ::GetOverlappedResult(port_, &waitOv_, &n, TRUE);
        }
        ::PurgeComm(port_, PurgeAll);
        ::SetCommTimeouts(port_, &saved_);
        ::CloseHandle(port_);
        for (HANDLE h : {readDone_, writeDone_, commEvent_})
            if (h)
                ::CloseHandle(h);
    }

    void Purge() override
    {
        rx_.Clear();
        ::PurgeComm(port_, PurgeAll);
    }

    void Write(const std::uint8_t* data, std::size_t size, IEventPump& pump) override
    {
        if (broken_)
            return;
        OVERLAPPED ov{};
        ov.hEvent = writeDone_;
        ::ResetEvent(writeDone_);
        DWORD written = 0;
        if (::WriteFile(port_, data, static_cast<DWORD>(size), &written, &ov))
            return;
        if (::GetLastError() != ERROR_IO_PENDING) {
            broken_ = true;
            return;
        }
        const ULONGLONG start = ::GetTickCount64();
        while (::WaitForSingleObject(writeDone_, 0) != WAIT_OBJECT_0) {
            const ULONGLONG spent = ::GetTickCount64() - start;
            if (spent >= static_cast<ULONGLONG>(WriteLimitMs)) {
                ::CancelIo(port_);
                break;
            }
            pump.Wait(WaitSource::Signalled(Handle(writeDone_)), WriteLimitMs - static_cast<int>(spent));
        }
        // Always collected: the OVERLAPPED must outlive the operation.
        ::GetOverlappedResult(port_, &ov, &written, TRUE);
    }

    bool WaitReadable(int timeoutMs, IEventPump& pump) override
    {
        if (!rx_.Empty())
            return true;
        bool aborted = false;
        if (!broken_ && !waitPending_) {
            // Completes at once when a byte came since the last wait (the
            // driver keeps the event), so no byte slips between Fill and here.
            waitOv_ = OVERLAPPED{};
            waitOv_.hEvent = commEvent_;
            ::ResetEvent(commEvent_);
            if (!::WaitCommEvent(port_, &mask_, &waitOv_))
                Classify(::GetLastError(), ERROR_IO_PENDING, aborted);
        }
        if (broken_) {
            pump.Wait(WaitSource::Nothing(), timeoutMs);
            return false;
        }
        if (waitPending_) {
            pump.Wait(WaitSource::Signalled(Handle(commEvent_)), timeoutMs);
            DWORD n = 0;
            if (::GetOverlappedResult(port_, &waitOv_, &n, FALSE))
                waitPending_ = false;
            else
                Classify(::GetLastError(), ERROR_IO_INCOMPLETE, aborted);
        }
        Fill();
        // A driver that ends every wait at once (Wine's on a pseudo-terminal)
        // leaves only polling: a short pause, so that the caller's loop does
        // not spin.
        if (aborted && rx_.Empty())
            pump.Wait(WaitSource::Nothing(), timeoutMs < AbortedWaitPauseMs ? timeoutMs : AbortedWaitPauseMs);
        return !rx_.Empty();
    }

private:
    void Fill() override
    {
        if (broken_)
            return;
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(port_, &errors, &status)) {  // e.g. the adapter was pulled
            broken_ = true;
            return;
        }
        if (status.cbInQue == 0)
            return;
        const DWORD want = status.cbInQue < ReadChunk ? status.cbInQue : static_cast<DWORD>(ReadChunk);
        std::uint8_t* room = rx_.Prepare(want);
        OVERLAPPED ov{};
        ov.hEvent = readDone_;
        ::ResetEvent(readDone_);
        DWORD got = 0;
        bool ok = ::ReadFile(port_, room, want, &got, &ov) != 0;
        // Queued bytes and read time-outs of "at once": completes without waiting.
        if (!ok && ::GetLastError() == ERROR_IO_PENDING)
            ok = ::GetOverlappedResult(port_, &ov, &got, TRUE) != 0;
        rx_.Commit(ok ? got : 0);
        if (!ok)
            broken_ = true;
    }

    // The result of a wait that did not complete: still pending (`pending`,
    // the error that says so), ended without an event, or a broken port.
    // ERROR_OPERATION_ABORTED ends a wait when the mask changes, or when the
    // driver gives the wait up (Wine does so on every wait on a
    // pseudo-terminal, whose modem lines it cannot read): the port is fine,
    // and the queue tells whether bytes came.
    void Classify(DWORD error, DWORD pending, bool& aborted)
    {
        waitPending_ = error == pending;
        aborted = error == ERROR_OPERATION_ABORTED;
        if (!waitPending_ && !aborted)
            broken_ = true;
    }

    static constexpr int AbortedWaitPauseMs = 1;

    const HANDLE port_;
    COMMTIMEOUTS saved_;  // not const: SetCommTimeouts takes a non-const pointer
    const HANDLE readDone_;
    const HANDLE writeDone_;
    const HANDLE commEvent_;
    OVERLAPPED waitOv_{};
    DWORD mask_ = 0;
    bool waitPending_ = false;
};

}  // namespace

std::unique_ptr<ITransport> OpenSerialPort(const std::string& portName, const std::string& settings)
{
    if (portName.empty() || portName.find('\0') != std::string::npos)
        return nullptr;
    // CreateFile finds COM1 to COM9 by the bare name too, COM10 and above
    // only in the device namespace; a name given in that form stays as it is.
    const std::string prefix = "\\\\.\\";
    const std::string path = portName.compare(0, prefix.size(), prefix) == 0 ? portName : prefix + portName;
    const HANDLE port = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return nullptr;
    COMMTIMEOUTS saved{};
    ::GetCommTimeouts(port, &saved);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    ::SetCommTimeouts(port, &timeouts);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    LineSettings line;
    if (::GetCommState(port, &dcb) && ParseLineSettings(settings, line)) {
        ApplyLineSettings(line, dcb);
        ::SetCommState(port, &dcb);  // not examined: a refused setting keeps the port as it was
    }
    ::SetCommMask(port, EV_RXCHAR | EV_ERR);
    ::PurgeComm(port, PURGE_TXCLEAR);
    ::PurgeComm(port, PURGE_RXCLEAR);

    auto transport = std::make_unique<Win32Serial>(port, saved);
    if (!transport->Usable())
        return nullptr;  // the destructor closes the port
    return transport;
}

}  // namespace ct::link::native

#endif
