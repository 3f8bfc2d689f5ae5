// controller-cli end to end: the real executable started through the shell
// (so that tests can quote arguments) against the substitute controller on
// TCP loopback.
#pragma once

#include "sim/ControllerSim.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadFile(const std::string& path)
{
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::array<char, 4096> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            text.append(buf.data(), n);
        std::fclose(f);
    }
    return text;
}

using namespace std::chrono_literals;

// The executable started through the shell (so that the tests can quote
// arguments), which exec's it: the pid is the tool's own, for signals.
struct CliProcess {
    pid_t pid = -1;
    int outFd = -1;
    std::string errPath;
};

CliProcess StartCli(const std::string& args)
{
    CliProcess p;
    p.errPath = ::testing::TempDir() + "cli_stderr_" + std::to_string(::getpid()) + ".txt";
    const std::string command = "exec " + std::string(CT_CLI_PATH) + " " + args + " 2>" + Quote(p.errPath);
    int fds[2];
    if (::pipe(fds) != 0)
        return p;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    if (::posix_spawn(&p.pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0)
        p.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    p.outFd = fds[0];
    return p;
}

CliRun FinishCli(CliProcess& p)
{
    CliRun r;
    std::array<char, 4096> buf;
    ssize_t n;
    while ((n = ::read(p.outFd, buf.data(), buf.size())) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            r.out.append(buf.data(), static_cast<std::size_t>(n));
    }
    ::close(p.outFd);
    int raw = 0;
    if (p.pid > 0 && ::waitpid(p.pid, &raw, 0) == p.pid)
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = ReadFile(p.errPath);
    return r;
}

CliRun Cli(const std::string& args)
{
    CliProcess p = StartCli(args);
    return FinishCli(p);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            lines.push_back(text.substr(from) + "<no newline>");
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ListenTcp("127.0.0.1", 0));
        sim.Start();
        net = "--net 127.0.0.1:" + std::to_string(sim.TcpPort());
    }
    ct::sim::ControllerSim sim;
    std::string net;
};

}  // namespace
