// GoogleTest checks on an OperationRig after an operation has run.
// ExpectOnlyCommandAfterOnePause: the rig's device heard exactly `command`,
// once, after the one 100 ms pause; the status shows connecting and then the
// frame's "Command error!" (the operation put no message of its own), and the
// link is closed again.
#pragma once

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ct::testing {

inline void ExpectOnlyCommandAfterOnePause(const OperationRig& rig, const std::string& command)
{
    using link::StatusMessage;
    EXPECT_EQ(rig.device.commands, std::vector<std::string>{command});
    EXPECT_EQ(rig.clock.sleeps, std::vector<std::uint32_t>{100});
    EXPECT_EQ(rig.SendsAndPauses(), (std::vector<std::string>{"pause 100", "send " + command}));
    EXPECT_EQ(rig.status.statuses,
              (std::vector<StatusMessage>{StatusMessage::Connecting, StatusMessage::CommandError}));
    EXPECT_FALSE(rig.device.open);
}

}  // namespace ct::testing
