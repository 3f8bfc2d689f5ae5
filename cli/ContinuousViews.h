// What controller-cli shows of its two continuous tests: the inputs of every
// answered DIDO cycle and every poll record as they come (a record with its
// fields in JSON), and at the end how many cycles ran and how many got a
// valid answer. A test that never heard the controller ends as an error,
// which the window, reporting "Command ok.", does not do.
#pragma once

#include "Output.h"

#include "link/Link.h"
#include "tests/DidoTest.h"
#include "tests/PollingTest.h"

#include <array>
#include <string>

namespace ct::cli {

// The loop's stop (a cycle count reached or a stop requested) and its count
// of cycles and answers.
class CycleLimit {
public:
    explicit CycleLimit(int cycles) : cycles_(cycles) {}

    void CycleDone(tests::TestState& state);
    void Answered() { ++answered_; }

    // The summary (plain: "NAME: N cycles, M answered" on standard error;
    // JSON: cycles and answered) and the outcome, an error when no cycle was
    // answered. Returns the exit status.
    int Finish(Output& out, tests::Outcome outcome, const std::string& name) const;

private:
    int cycles_;
    int done_ = 0;
    int answered_ = 0;
};

class CliDidoView final : public tests::IDidoView {
public:
    CliDidoView(Output& out, const std::array<bool, 4>& outputsChecked, CycleLimit& limit)
        : out_(out), outputs_(outputsChecked), limit_(limit)
    {
    }

    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { limit_.CycleDone(state); }
    bool OutputChecked(int output) override { return outputs_[static_cast<std::size_t>(output)]; }
    void ShowInputs(const std::string& states) override;
    void ResetInputsAndOutputs() override {}

private:
    Output& out_;
    std::array<bool, 4> outputs_;
    CycleLimit& limit_;
};

class CliPollingView final : public tests::IPollingView {
public:
    CliPollingView(Output& out, const link::Link& device, CycleLimit& limit)
        : out_(out), device_(device), limit_(limit)
    {
    }

    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { limit_.CycleDone(state); }
    void ShowPollDate(const std::string&) override { limit_.Answered(); }
    void ShowPollRecord(const std::string& text) override;

private:
    Output& out_;
    const link::Link& device_;
    CycleLimit& limit_;
};

}  // namespace ct::cli
