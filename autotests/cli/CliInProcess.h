// controller-cli's sub-commands run inside the test program: the command
// line (shell words, quotes as Quote writes them) parsed as the program
// parses it and run with Execute on the fake link to a substitute controller
// whose replies, faults and time-outs run on the fake clock. Standard output
// and error are caught in files for the run. A batch, --trace, signals and a
// terminal need the real program (CliProcess.h).
#pragma once

#include "CommandLine.h"
#include "Output.h"
#include "SubCommands.h"
#include "support/ChildProcess.h"
#include "support/FakeLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>
#include <wordexp.h>

namespace {

// The shell's words of `args`, without running anything.
std::vector<std::string> ShellWords(const std::string& args)
{
    std::vector<std::string> words;
    wordexp_t w{};
    if (::wordexp(args.c_str(), &w, WRDE_NOCMD | WRDE_UNDEF) != 0) {
        ADD_FAILURE() << "not shell words: " << args.substr(0, 80);
        return words;
    }
    words.assign(w.we_wordv, w.we_wordv + w.we_wordc);
    ::wordfree(&w);
    return words;
}

// Standard output and error into files while it lives.
class CaughtStreams {
public:
    CaughtStreams()
    {
        std::fflush(nullptr);
        for (int fd : {1, 2}) {
            saved_[fd - 1] = ::dup(fd);
            paths_[fd - 1] = ::testing::TempDir() + "cli_in_process_" + std::to_string(fd) + "_"
                             + std::to_string(::getpid()) + ".txt";
            const int file = ::open(paths_[fd - 1].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(file, fd);
            ::close(file);
        }
    }
    ~CaughtStreams() { Restore(); }

    // Ends the catch; what each stream got.
    ct::testing::ChildProcess::Finished Finish(int status)
    {
        Restore();
        return {status, Read(paths_[0]), Read(paths_[1])};
    }

private:
    void Restore()
    {
        if (saved_[0] < 0)
            return;
        std::fflush(nullptr);
        for (int fd : {1, 2}) {
            ::dup2(saved_[fd - 1], fd);
            ::close(saved_[fd - 1]);
            saved_[fd - 1] = -1;
        }
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::remove(path.c_str());
        return text.str();
    }

    int saved_[2] = {-1, -1};
    std::string paths_[2];
};

// One run of the sub-command line `args` against the controllers of `line`.
[[maybe_unused]] ct::testing::ChildProcess::Finished CliInProcess(ct::testing::FakeLine& line, const std::string& args)
{
    using namespace ct::cli;
    const std::vector<std::string> words = ShellWords(args);
    ct::testing::CountingPump pump(line.clock);
    CaughtStreams streams;
    const ParsedCommandLine parsed = ParseCommandLine(words);
    if (!parsed.invocation)
        return streams.Finish(parsed.exitStatus == 0 ? 0 : UsageError(parsed.error));
    Output out(parsed.globals.json);
    Context context{parsed.globals.settings, out, nullptr, 0, &line.factory, &line.clock, &pump};
    context.settingsGiven = parsed.globals.settingsGiven;
    const int status = Execute(*parsed.invocation, context);
    return streams.Finish(status);
}

}  // namespace
