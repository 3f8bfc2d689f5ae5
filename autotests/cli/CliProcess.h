// controller-cli end to end: the real executable started through the shell
// (so that tests can quote arguments) against the substitute controller on
// TCP loopback.
#pragma once

#include "sim/ControllerSim.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using CliRun = ct::testing::ChildProcess::Finished;
using CliProcess = ct::testing::ChildProcess;

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

using namespace std::chrono_literals;

// The executable started through the shell (so that the tests can quote
// arguments and redirect its input), which exec's it: the pid is the tool's
// own, for signals.
CliProcess StartCli(const std::string& args)
{
    return CliProcess({"/bin/sh", "-c", "exec " + std::string(CT_CLI_PATH) + " " + args},
                      ::testing::TempDir() + "cli_stderr_" + std::to_string(::getpid()) + ".txt");
}

CliRun FinishCli(CliProcess& p)
{
    return p.Finish();
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
