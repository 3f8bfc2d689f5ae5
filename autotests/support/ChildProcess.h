// A program of this project started as a process of its own: its standard
// output on a pipe the test reads, its standard error in a file. A process
// still running when its object goes is killed, so that a failed test never
// leaves one behind.
#pragma once

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ct::testing {

inline std::string ReadFileText(const std::string& path)
{
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            text.append(buffer.data(), n);
        std::fclose(f);
    }
    return text;
}

class ChildProcess {
public:
    struct Finished {
        int status = -1;  // the exit status; -1 when a signal ended it
        std::string out;
        std::string err;
    };

    ChildProcess() = default;
    // argv[0] is the program's path.
    ChildProcess(const std::vector<std::string>& argv, std::string errPath) : errPath_(std::move(errPath))
    {
        int fds[2];
        if (argv.empty() || ::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~ChildProcess() { Release(); }
    ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }
    ChildProcess& operator=(ChildProcess&& other) noexcept
    {
        if (this != &other) {
            Release();
            pid_ = std::exchange(other.pid_, -1);
            out_ = std::exchange(other.out_, -1);
            errPath_ = std::move(other.errPath_);
        }
        return *this;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void Signal(int signal) const
    {
        if (pid_ > 0)
            ::kill(pid_, signal);
    }

    // One line of its standard output; empty when none comes within
    // `timeoutMs` or it ends first.
    std::string ReadLine(int timeoutMs = 10000) const
    {
        std::string line;
        char c;
        while (Readable(timeoutMs) && ::read(out_, &c, 1) == 1 && c != '\n')
            line.push_back(c);
        return line;
    }

    // Everything else it writes, and how it ends. Killed when its standard
    // output stays silent for `idleMs` without ending: generous, since a
    // loaded machine may take its time.
    Finished Finish(int idleMs = 60000)
    {
        Finished f;
        std::array<char, 4096> buffer;
        bool ended = false;
        while (!ended && Readable(idleMs)) {
            const ssize_t n = ::read(out_, buffer.data(), buffer.size());
            if (n > 0)
                f.out.append(buffer.data(), static_cast<std::size_t>(n));
            else
                ended = n == 0 || errno != EINTR;
        }
        if (!ended)
            Signal(SIGKILL);
        int raw = 0;
        if (pid_ > 0 && ::waitpid(pid_, &raw, 0) == pid_)
            f.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        pid_ = -1;
        f.err = ReadFileText(errPath_);
        return f;
    }

private:
    bool Readable(int timeoutMs) const
    {
        if (out_ < 0)
            return false;
        pollfd p{out_, POLLIN, 0};
        int n;
        while ((n = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
        }
        return n > 0;
    }

    void Release()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        if (out_ >= 0)
            ::close(out_);
        out_ = -1;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string errPath_;
};

}  // namespace ct::testing
