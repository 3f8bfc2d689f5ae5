// controller-cli as scripts use it: the frame trace, batch lists, JSON
// objects that stay whole when a signal stops the run, the port list.
#include "CliProcess.h"

#include "link/FrameCodec.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <regex>

namespace {

struct TraceLine {
    double ms = 0;
    char mark = ' ';
    std::string text;
};

std::vector<TraceLine> TraceLines(const std::string& err)
{
    static const std::regex form(R"(^ *([0-9]+\.[0-9]{3}) ([<>!-]) (.*)$)");
    std::vector<TraceLine> lines;
    for (const std::string& line : Lines(err)) {
        std::smatch m;
        if (std::regex_match(line, m, form))
            lines.push_back({std::stod(m[1]), m[2].str()[0], m[3]});
    }
    return lines;
}

// Every line of standard output as a JSON object; a line that is not one
// fails the test.
std::vector<QJsonObject> Objects(const std::string& out)
{
    std::vector<QJsonObject> objects;
    for (const std::string& line : Lines(out)) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_TRUE(error.error == QJsonParseError::NoError && doc.isObject()) << "not a whole object: " << line;
        objects.push_back(doc.object());
    }
    return objects;
}

std::string WriteList(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name + "_" + std::to_string(::getpid()) + ".txt";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string Str(const QJsonObject& o, const char* key)
{
    return o.value(key).toString().toStdString();
}

}  // namespace

TEST_F(CliTest, trace_connect_threeRequestsAndRepliesInOrderWithRisingTimes)
{
    const CliRun r = Cli(net + " --trace connect --at 1");
    ASSERT_EQ(0, r.status) << r.err;
    std::vector<TraceLine> frames;
    for (const TraceLine& line : TraceLines(r.err)) {
        if (line.mark == '<' || line.mark == '>')
            frames.push_back(line);
    }
    ASSERT_EQ(6u, frames.size()) << r.err;
    const char* const codes[] = {"0001AC", "0001DB", "0001AS"};
    for (std::size_t i = 0; i < 3; ++i) {
        const TraceLine& request = frames[2 * i];
        const TraceLine& reply = frames[2 * i + 1];
        EXPECT_EQ('>', request.mark);
        EXPECT_EQ(ct::link::EscapeBytes(ct::link::EncodeRequestString(ct::link::Framing::Crc, codes[i])), request.text);
        EXPECT_EQ('<', reply.mark);
        EXPECT_EQ(0u, reply.text.find("\\x03" + std::string(codes[i]))) << reply.text;
        EXPECT_LE(request.ms, reply.ms);
        // The 100 ms pause comes before each request.
        if (i > 0) {
            EXPECT_LT(frames[2 * i - 1].ms, request.ms);
        }
    }
    // The trace goes to standard error only: the panels stay as they were.
    EXPECT_EQ("KX410NT4-SG4  0520\nS/N:16030001   ID:0001\n", r.out);
    EXPECT_EQ("Command ok.", Lines(r.err).back());
}

TEST_F(CliTest, trace_badCheckAndSilence_markedOnLinesOfTheirOwn)
{
    sim.InjectFault({ct::sim::FaultKind::WrongCrc, "AS", 1});
    CliRun r = Cli(net + " --trace --id 0001 controller-id");
    EXPECT_EQ(1, r.status);
    std::vector<TraceLine> lines = TraceLines(r.err);
    auto received = std::find_if(lines.begin(), lines.end(), [](const TraceLine& l) { return l.mark == '<'; });
    ASSERT_NE(lines.end(), received);
    ASSERT_NE(lines.end(), received + 1);
    EXPECT_EQ('!', (received + 1)->mark);
    EXPECT_NE(std::string::npos, (received + 1)->text.find("check failed"));

    sim.InjectFault({ct::sim::FaultKind::NoAnswer, "AS", 1});
    r = Cli(net + " --trace --id 0001 controller-id");
    EXPECT_EQ(1, r.status);
    lines = TraceLines(r.err);
    const auto timeOut = std::find_if(lines.begin(), lines.end(), [](const TraceLine& l) {
        return l.mark == '!' && l.text.find("time-out: 1200 ms") != std::string::npos;
    });
    ASSERT_NE(lines.end(), timeOut) << r.err;
    const auto sent = std::find_if(lines.begin(), lines.end(), [](const TraceLine& l) { return l.mark == '>'; });
    EXPECT_GE(timeOut->ms - sent->ms, 1200.0);
}

namespace {

const std::string kList =
    "# IDs by serial number, then a look at each\n"
    "set-controller-id 16030001 0001\n"
    "--id 0001 alarm 2\n"
    "--id 0002 alarm 3   # nobody answers at 0002\n"
    "--id 0001 set-model 'KX410 NT4'\n";

}  // namespace

TEST_F(CliTest, batch_failingLine_stopsThereWithItsStatusAndSummary)
{
    const CliRun r = Cli(net + " batch " + WriteList("stop", kList));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ((std::vector<std::string>{"0000AV160300010001", "0001JF2", "0002JF3"}), sim.Commands());
    EXPECT_EQ((std::vector<std::string>{"line 2: Command ok.", "line 3: Command ok.", "line 4: Command error!",
                                        "batch: 4 lines, 2 ok, 1 failed, 1 not run; first failure: line 4, exit status 1"}),
              Lines(r.err));
}

TEST_F(CliTest, batchKeepGoing_fromStandardInput_runsEveryLine)
{
    const CliRun r = Cli(net + " batch --keep-going - < " + Quote(WriteList("keep", kList)));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ((std::vector<std::string>{"0000AV160300010001", "0001JF2", "0002JF3", "0001ASKX410 NT4   "}),
              sim.Commands());
    EXPECT_EQ("batch: 4 lines, 3 ok, 1 failed; first failure: line 4, exit status 1", Lines(r.err).back());
}

TEST_F(CliTest, batchJson_everyObjectNamesItsLine_summaryLast)
{
    const CliRun r = Cli(net + " --json batch --keep-going " +
                         WriteList("json", "--id 0001 controller-id\n\n--id 0002 reboot\n--id 0001 alarm 0\n"));
    EXPECT_EQ(1, r.status);
    const std::vector<QJsonObject> objects = Objects(r.out);
    ASSERT_EQ(4u, objects.size()) << r.out;
    EXPECT_EQ("controller-id", Str(objects[0], "operation"));
    EXPECT_EQ(1, objects[0].value("line").toInt());
    EXPECT_EQ("0001", Str(objects[0], "id"));
    EXPECT_EQ("ok", Str(objects[0], "outcome"));
    EXPECT_EQ(3, objects[1].value("line").toInt());
    EXPECT_EQ("command-error", Str(objects[1], "outcome"));
    EXPECT_EQ(4, objects[2].value("line").toInt());
    const QJsonObject& summary = objects[3];
    EXPECT_EQ("batch", Str(summary, "operation"));
    EXPECT_FALSE(summary.contains("line"));
    EXPECT_EQ(3, summary.value("lines").toInt());
    EXPECT_EQ(2, summary.value("ok").toInt());
    EXPECT_EQ(1, summary.value("failed").toInt());
    EXPECT_EQ(3, summary.value("first-failed-line").toInt());
    EXPECT_EQ("command-error", Str(summary, "outcome"));
}

TEST_F(CliTest, batchMalformedLines_reportedWithNumbersAndNothingSent)
{
    const std::string path =
        WriteList("bad", "--id 0001 alarm 1\nlaunch-rocket\nset-controller-id 16030001\n--id 0001 reboot\n");
    const CliRun r = Cli(net + " batch " + path);
    EXPECT_EQ(64, r.status);
    EXPECT_NE(std::string::npos, r.err.find(path + ":2: ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(path + ":3: ")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find(path + ":1: ")) << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(sim.Commands().empty());

    const CliRun missing = Cli(net + " batch /nonexistent/list.txt");
    EXPECT_EQ(64, missing.status);
    EXPECT_TRUE(sim.Commands().empty());
}

TEST_F(CliTest, signal_jsonObjectsStayWhole_continuousEndsOkAndBatchStops)
{
    // A continuous sub-command alone: stopped the window's way, exit 0.
    CliProcess p = StartCli(net + " --json --id 0001 dido --outputs 1");
    ASSERT_TRUE(p.started());
    EXPECT_TRUE(sim.WaitForCommands(6, 10s));
    p.Signal(SIGINT);
    CliRun r = FinishCli(p);
    EXPECT_EQ(0, r.status) << r.err;
    std::vector<QJsonObject> objects = Objects(r.out);
    ASSERT_GE(objects.size(), 2u);
    EXPECT_EQ("ok", Str(objects.back(), "outcome"));
    EXPECT_EQ(static_cast<int>(objects.size() - 1), objects.back().value("cycles").toInt());
    EXPECT_EQ("0001JD", sim.Commands().back());

    // Inside a batch: the line ends the same way, the lines after it do not run.
    sim.ClearCommands();
    p = StartCli(net + " --json batch " + WriteList("signal", "--id 0001 dido\n--id 0001 reboot\n"));
    ASSERT_TRUE(p.started());
    EXPECT_TRUE(sim.WaitForCommands(4, 10s));
    p.Signal(SIGTERM);
    r = FinishCli(p);
    EXPECT_EQ(130, r.status) << r.err;
    objects = Objects(r.out);
    ASSERT_GE(objects.size(), 2u);
    EXPECT_EQ("dido", Str(objects[objects.size() - 2], "operation"));
    EXPECT_EQ("ok", Str(objects[objects.size() - 2], "outcome"));
    EXPECT_EQ("stopped", Str(objects.back(), "outcome"));
    EXPECT_EQ(1, objects.back().value("not-run").toInt());
    const std::vector<std::string> heard = sim.Commands();
    EXPECT_EQ("0001JD", heard.back());
    EXPECT_EQ(heard.end(), std::find(heard.begin(), heard.end(), "0001AR00"));
}

TEST(CliPortsTest, ports_plainAndJson_oneEntryAPortWithoutALink)
{
    const CliRun plain = Cli("ports");
    EXPECT_EQ(0, plain.status) << plain.err;
    for (const std::string& line : Lines(plain.out))
        EXPECT_EQ(5, std::count(line.begin(), line.end(), '\t')) << line;

    const CliRun json = Cli("ports --json");
    EXPECT_EQ(0, json.status) << json.err;
    const std::vector<QJsonObject> objects = Objects(json.out);
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ(Lines(plain.out).size(), objects.size() - 1);
    EXPECT_EQ("ok", Str(objects.back(), "outcome"));
    EXPECT_EQ(static_cast<int>(objects.size() - 1), objects.back().value("ports").toInt());
    for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
        EXPECT_TRUE(objects[i].contains("port"));
        EXPECT_TRUE(objects[i].contains("vid-pid"));
        EXPECT_TRUE(objects[i].contains("serial-number"));
        EXPECT_TRUE(objects[i].contains("access"));
    }
}
