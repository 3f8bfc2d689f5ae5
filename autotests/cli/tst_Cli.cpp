// controller-cli end to end: the real executable against the substitute
// controller on TCP loopback.
#include "link/FrameCodec.h"
#include "sim/ControllerSim.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

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

CliRun Cli(const std::string& args)
{
    const std::string errPath = ::testing::TempDir() + "cli_stderr.txt";
    const std::string command = std::string(CT_CLI_PATH) + " " + args + " 2>" + Quote(errPath);
    CliRun r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int raw = ::pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = ReadFile(errPath);
    return r;
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

TEST_F(CliTest, send_checkedReply_printsEscapedFrameAndExits0)
{
    const CliRun r = Cli(net + " send 0001AS");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("\\x030001AS16030001\\x04", r.out.substr(0, 22));
    EXPECT_EQ("\\x0D\n", r.out.substr(r.out.size() - 5));
    EXPECT_EQ(22u + 4u + 5u, r.out.size());
    EXPECT_EQ(std::vector<std::string>{"0001AS"}, sim.Commands());
}

TEST_F(CliTest, send_noAnswerOrBadCheck_printsCommandErrorAndExits1)
{
    sim.InjectFault({ct::sim::FaultKind::NoAnswer, "AS", 1});
    CliRun r = Cli(net + " send 0001AS");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Command error!\n", r.err);
    EXPECT_EQ("", r.out);

    sim.InjectFault({ct::sim::FaultKind::WrongCrc, "AS", 1});
    r = Cli(net + " send 0001AS");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Command error!\n", r.err);
}

TEST_F(CliTest, send_linkNotOpened_printsConnectErrorAndExits2)
{
    for (const char* target : {"--net 127.0.0.1:abc", "--net not-an-ip:5001", "--net 127.0.0.1:0",
                               "--com /dev/does-not-exist-ct"}) {
        const CliRun r = Cli(std::string(target) + " send 0001AS");
        EXPECT_EQ(2, r.status) << target;
        EXPECT_EQ("Connect device error!\n", r.err) << target;
    }
}

TEST_F(CliTest, badArgumentsOrTooLongText_exit64AndSendNothing)
{
    const std::string longCrc(ct::link::MaxCrcCommandLength + 1, 'A');
    const std::string fitsXor(ct::link::MaxXorCommandLength - 3, 'A');
    for (const std::string& args :
         {std::string(""), std::string("send 0001AS"), net + " --com ttyS0 send 0001AS", net,
          net + " send", net + " send 0001AS extra", net + " --framing crc16 send 0001AS",
          net + " --bogus send 0001AS", net + " --settings 9600,n,8,1 send 0001AS",
          std::string("--net 127.0.0.1 send 0001AS"), net + " send " + longCrc,
          net + " --framing xor send " + fitsXor + "AAAA"}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(64, r.status) << args.substr(0, 80);
        EXPECT_FALSE(r.err.empty()) << args.substr(0, 80);
    }
    EXPECT_TRUE(sim.Commands().empty());
}

TEST_F(CliTest, help_explainsEveryOptionAndExits0)
{
    const CliRun r = Cli("--help");
    EXPECT_EQ(0, r.status);
    for (const char* option : {"--net", "--com", "--settings", "--framing", "send"})
        EXPECT_NE(std::string::npos, r.out.find(option)) << option;
}
