// A serial port on Linux (and other POSIX systems): the terminal device
// itself, so that the port's line settings are changed only where the
// settings string names them (QSerialPort rewrites the whole termios from its
// own members when it opens).
//
// Open: O_RDWR | O_NOCTTY | O_NONBLOCK; refused unless it is a terminal that
// nobody else holds (flock, and TIOCEXCL not set by another program), then
// made ours with flock and TIOCEXCL; a refusal leaves its reason in
// OpenFailure(). termios as found; the named line
// settings changed (ApplyLineSettings); the working mode of a binary link set
// (MakeBinary). A device that refuses part of it (a pseudo-terminal refuses
// parity) keeps what it refuses; one that refuses all of it (a speed it cannot
// make) keeps its line settings and gets the working mode alone.
//
// Close: both queues purged; the working mode and the modem-line flags as
// found are put back, as the Windows port gets its COMMTIMEOUTS back; the
// line settings stay as this open left them, as its DCB does there, so
// the next open starts from them (and a settings string that changes nothing
// keeps talking at the speed last used); TIOCNXCL; close.
//
// A device that hangs up or fails (the far side of a pseudo-terminal closed,
// a USB adapter pulled: read gives 0 or EIO, write EIO) is marked broken: it
// delivers and sends nothing more, and waits block on the pump alone.
#ifndef _WIN32

#include "link/EventPump.h"
#include "link/NativeTransports.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ct::link::native {

namespace {

using Steady = std::chrono::steady_clock;

class PosixSerial final : public BufferedTransport {
public:
    PosixSerial(int fd, const termios& found) : fd_(fd), found_(found) {}

    ~PosixSerial() override
    {
        ::tcflush(fd_, TCIOFLUSH);
        termios now{};
        if (::tcgetattr(fd_, &now) == 0) {
            now.c_iflag = found_.c_iflag;
            now.c_oflag = found_.c_oflag;
            now.c_lflag = found_.c_lflag;
            now.c_cc[VMIN] = found_.c_cc[VMIN];
            now.c_cc[VTIME] = found_.c_cc[VTIME];
            constexpr tcflag_t kMode = CREAD | CLOCAL;
            now.c_cflag = (now.c_cflag & ~kMode) | (found_.c_cflag & kMode);
            ::tcsetattr(fd_, TCSANOW, &now);
        }
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);  // and with it the flock
    }

    void Purge() override
    {
        rx_.Clear();
        if (!broken_)
            ::tcflush(fd_, TCIOFLUSH);
    }

    void Write(const std::uint8_t* data, std::size_t size, IEventPump& pump) override
    {
        const auto start = Steady::now();
        std::size_t sent = 0;
        while (sent < size && !broken_) {
            const ssize_t n = ::write(fd_, data + sent, size - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
                const int left = WriteLimitMs - static_cast<int>(spent.count());
                if (left <= 0) {
                    ::tcflush(fd_, TCOFLUSH);
                    return;
                }
                pump.Wait(WaitSource::Writable(fd_), left);
                continue;
            }
            broken_ = true;
        }
    }

    bool WaitReadable(int timeoutMs, IEventPump& pump) override
    {
        return WaitThenFill(WaitSource::Readable(fd_), timeoutMs, pump);
    }

private:
    // One non-blocking read of what has arrived.
    void Fill() override
    {
        std::uint8_t* room = rx_.Prepare(ReadChunk);
        ssize_t n;
        do
            n = ::read(fd_, room, ReadChunk);
        while (n < 0 && errno == EINTR);
        rx_.Commit(n > 0 ? static_cast<std::size_t>(n) : 0);
        // With VMIN 1 an empty terminal answers EAGAIN; 0 is a hang-up, and
        // EIO a far side that closed or a device that went away.
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            broken_ = true;
    }

    const int fd_;
    const termios found_;
};

// Records why the open of `path` failed, with the operating system's text
// for `error`; returns nullptr for the caller to hand on.
std::nullptr_t Failed(const std::string& path, int error, const char* what = nullptr)
{
    OpenError& failure = OpenFailure();
    failure.device = path;
    failure.accessDenied = error == EACCES || error == EPERM;
    const std::string system = std::strerror(error);
    failure.reason = what ? std::string(what) + " (" + system + ")" : system;
    return nullptr;
}

}  // namespace

std::unique_ptr<ITransport> OpenSerialPort(const std::string& portName, const std::string& settings)
{
    if (portName.empty() || portName.find('\0') != std::string::npos)
        return Failed(portName, ENOENT, "no such port name");
    const std::string path = portName.front() == '/' ? portName : "/dev/" + portName;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A terminal made exclusive by another program refuses with EBUSY.
        const int error = errno;
        return Failed(path, error, error == EBUSY ? "in use by another program" : nullptr);
    }
    termios found{};
    int heldElsewhere = 0;
    // TIOCEXCL does not keep root out, so a port that another program made
    // exclusive is refused here as well.
#ifdef TIOCGEXCL
    const bool exclusiveElsewhere = ::ioctl(fd, TIOCGEXCL, &heldElsewhere) == 0 && heldElsewhere != 0;
#else
    const bool exclusiveElsewhere = false;
#endif
    int error = 0;
    const char* what = nullptr;
    if (::tcgetattr(fd, &found) != 0) {
        error = errno;
        what = "not a serial port";
    } else if (exclusiveElsewhere) {
        error = EBUSY;
        what = "in use by another program";
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        what = error == EWOULDBLOCK ? "in use by another program" : nullptr;
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        return Failed(path, error, what);
    }
    termios wanted = found;
    LineSettings line;
    if (ParseLineSettings(settings, line))
        ApplyLineSettings(line, wanted);
    MakeBinary(wanted);
    if (::tcsetattr(fd, TCSANOW, &wanted) != 0) {
        termios binary = found;
        MakeBinary(binary);
        ::tcsetattr(fd, TCSANOW, &binary);
    }
    return std::make_unique<PosixSerial>(fd, found);
}

}  // namespace ct::link::native

#endif
