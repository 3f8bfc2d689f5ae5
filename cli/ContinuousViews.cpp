#include "ContinuousViews.h"

#include "StopSignal.h"

#include <cstdio>

namespace ct::cli {

namespace {

// The record's fields by their positions in a 59-byte poll reply, named for
// JSON: the tag, its date and time, code and value, as the panel shows them.
JsonFields PollRecordFields(const std::string& reply)
{
    const struct {
        const char* key;
        int position;
        int length;
    } kFields[] = {{"tag", 30, 1},    {"year", 31, 4},   {"month", 35, 2}, {"day", 37, 2},   {"hour", 39, 2},
                   {"minute", 41, 2}, {"second", 43, 2}, {"code", 45, 4},  {"value", 49, 5}};
    JsonFields fields;
    for (const auto& f : kFields)
        fields.emplace_back(f.key, link::ReplyField(reply, f.position, f.length));
    return fields;
}

}  // namespace

void CycleLimit::CycleDone(tests::TestState& state)
{
    ++done_;
    if (StopRequested() || (cycles_ > 0 && done_ >= cycles_))
        state.TestRunning = false;
}

int CycleLimit::Finish(Output& out, tests::Outcome outcome, const std::string& name) const
{
    if (outcome != tests::Outcome::CommandOk)
        return out.Finish(outcome);
    out.Field("cycles", done_, FieldStyle::JsonOnly);
    out.Field("answered", answered_, FieldStyle::JsonOnly);
    if (!out.json())
        out.Note(name + ": " + std::to_string(done_) + " cycles, " + std::to_string(answered_) + " answered");
    return out.Finish(answered_ > 0 ? outcome : tests::Outcome::CommandError);
}

void CliDidoView::ShowInputs(const std::string& states)
{
    limit_.Answered();
    out_.Item("cycle", "inputs", states);
}

// The record's reply is still the link's last one here.
void CliPollingView::ShowPollRecord(const std::string& text)
{
    out_.Item("record", "text", text, PollRecordFields(device_.ReplyText()));
}

}  // namespace ct::cli
