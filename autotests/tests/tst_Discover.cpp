// Finding a controller on the fake link: which line settings and IDs are
// tried, what is reported, and how the one operation ends.
#include "tests/Discover.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ct::link::StatusMessage;
using ct::tests::Outcome;

class RecordingDiscoverView final : public ct::tests::IDiscoverView {
public:
    void ShowLine(const std::string& settings) override { lines.push_back(settings); }
    void ShowScan(int id, int, int) override { scanned.push_back(id); }
    void ControllerFound(const ct::tests::FoundController& c) override { found.push_back(c); }

    std::vector<std::string> lines;
    std::vector<int> scanned;
    std::vector<ct::tests::FoundController> found;
};

// Controllers at the line setting they listen on, answering "AC" at their
// own ID, or at any ID when `alone`.
struct Station {
    std::string id;
    std::string line;
};

struct DiscoverCase {
    const char* name;
    std::vector<Station> stations;
    bool alone;
    bool tcp;
    int firstId;
    int lastId;
    std::vector<std::string> commands;
    std::vector<std::string> foundAs;  // "settings id" of each report
    Outcome outcome;
};

const DiscoverCase kCases[] = {
    {"aloneAtFirstSetting_stopsThere", {{"0012", "115200,n,8,1"}}, true, false, -1, -1,
     {"0000AC", "0012DB", "0012AS"}, {"115200,n,8,1 0012"}, Outcome::CommandOk},
    {"aloneAtSecondSetting_foundAfterThreeAttempts", {{"0034", "19200,e,8,1"}}, true, false, -1, -1,
     {"0000AC", "0000AC", "0000AC", "0000AC", "0034DB", "0034AS"}, {"19200,e,8,1 0034"}, Outcome::CommandOk},
    {"nobody_bothSettingsTriedThenConnectError", {}, true, false, -1, -1,
     {"0000AC", "0000AC", "0000AC", "0000AC", "0000AC", "0000AC"}, {}, Outcome::ConnectError},
    {"overTcp_oneRoundWithoutSetting", {{"0001", ""}}, true, true, -1, -1, {"0000AC", "0001DB", "0001AS"},
     {" 0001"}, Outcome::CommandOk},
    {"rangeOnSharedLine_eachControllerAtItsId", {{"0001", "115200,n,8,1"}, {"0003", "115200,n,8,1"}}, false,
     false, 0, 3, {"0000AC", "0001AC", "0001DB", "0001AS", "0002AC", "0003AC", "0003DB", "0003AS"},
     {"115200,n,8,1 0001", "115200,n,8,1 0003"}, Outcome::CommandOk},
    // Alone, it answers every ID of the range with its own: reported once.
    {"rangeWithControllerAlone_reportedOnce", {{"0007", "115200,n,8,1"}}, true, false, 5, 7,
     {"0005AC", "0007DB", "0007AS", "0006AC", "0007AC"}, {"115200,n,8,1 0007"}, Outcome::CommandOk},
};

class DiscoverTest : public ::testing::TestWithParam<DiscoverCase> {};

TEST_P(DiscoverTest, discover_line_reportsControllersAndEnds)
{
    const DiscoverCase& c = GetParam();
    ct::testing::OperationRig rig;
    rig.AnswerText([&](const std::string& command) -> std::string {
        for (const Station& s : c.stations) {
            const bool heard = c.tcp || s.line == rig.device.serialSettings;
            const std::string id = command.substr(0, 4);
            const std::string code = command.substr(4);
            if (!heard || (id != s.id && !(c.alone && code == "AC")))
                continue;
            if (code == "AC")
                return s.id + "AC0520";
            if (code == "DB")
                return s.id + "DBKX410NT4-SG40520";
            if (code == "AS")
                return s.id + "AS16030001";
        }
        return {};
    });
    ct::tests::DiscoverPlan plan;
    plan.link.LinkType = c.tcp ? ct::link::LinkTypeNet : ct::link::LinkTypeCom;
    plan.link.ComPortName = "ttyUSB0";
    plan.link.NetIP = "127.0.0.1";
    if (c.firstId >= 0)
        plan.lineSettings = {"115200,n,8,1"};
    plan.firstId = c.firstId;
    plan.lastId = c.lastId;
    RecordingDiscoverView view;

    EXPECT_EQ(c.outcome, ct::tests::RunDiscover(rig.frame, plan, view));

    EXPECT_EQ(c.commands, rig.device.commands);
    std::vector<std::string> found;
    for (const ct::tests::FoundController& f : view.found)
        found.push_back(f.settings + " " + f.id);
    EXPECT_EQ(c.foundAs, found);
    for (const ct::tests::FoundController& f : view.found) {
        EXPECT_EQ("KX410NT4-SG4", f.model);
        EXPECT_EQ("0520", f.version);
        EXPECT_EQ("16030001", f.serial);
    }
    // One operation: one beginning, one ending, the link closed.
    EXPECT_EQ(1, rig.status.ended);
    EXPECT_EQ(c.outcome == Outcome::CommandOk ? StatusMessage::CommandOk : StatusMessage::ConnectError,
              rig.status.statuses.back());
    EXPECT_EQ(1u, rig.beeper.frequencies.size());
    EXPECT_FALSE(rig.device.open);
    EXPECT_EQ(rig.device.opens, rig.device.closes);
}

INSTANTIATE_TEST_SUITE_P(Lines, DiscoverTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DiscoverOpen, discover_portDoesNotOpen_connectErrorWithNothingSent)
{
    ct::testing::OperationRig rig;
    rig.device.failSerialOpen = true;
    ct::tests::DiscoverPlan plan;
    plan.link.ComPortName = "ttyUSB0";
    RecordingDiscoverView view;

    EXPECT_EQ(Outcome::ConnectError, ct::tests::RunDiscover(rig.frame, plan, view));
    EXPECT_TRUE(rig.device.commands.empty());
    EXPECT_TRUE(view.lines.empty());
    EXPECT_EQ(StatusMessage::ConnectError, rig.status.statuses.back());
}

}  // namespace
