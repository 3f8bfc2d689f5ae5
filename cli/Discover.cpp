#include "Discover.h"

#include "Session.h"
#include "UpgradeProgress.h"

#include "link/FrameCodec.h"
#include "tests/Discover.h"

#include <cstdio>

namespace ct::cli {

namespace {

std::string Column(const std::string& text)
{
    return text.empty() ? "-" : link::EscapeBytes(text);
}

class CliDiscoverView final : public tests::IDiscoverView {
public:
    CliDiscoverView(Output& out, const std::string& operation, bool terminal)
        : out_(out), operation_(operation), terminal_(terminal)
    {
    }
    ~CliDiscoverView() override { EndLine(); }

    void ShowLine(const std::string&) override { opened = true; }

    // On a terminal one line redrawn in place; otherwise a line at every
    // tenth of the range, so that a log does not get ten thousand lines.
    void ShowScan(int id, int index, int count) override
    {
        const int tenth = index * 10 / count;
        if (!terminal_ && tenth == tenth_)
            return;
        tenth_ = tenth;
        char text[96];
        std::snprintf(text, sizeof text, "discover: ID %04d, %d of %d, %d found", id, index + 1, count, found);
        if (terminal_) {
            std::fprintf(stderr, "\r%s", text);
            lineOpen_ = true;
        } else {
            std::fprintf(stderr, "%s\n", text);
        }
        std::fflush(stderr);
    }

    void ControllerFound(const tests::FoundController& c) override
    {
        ++found;
        EndLine();
        if (!out_.json()) {
            out_.Line(Column(c.settings) + "\t" + Column(c.id) + "\t" + Column(c.model) + "\t" + Column(c.version)
                      + "\t" + Column(c.serial));
            return;
        }
        JsonObject object;
        object["operation"] = operation_;
        object["settings"] = link::EscapeBytes(c.settings);
        object["id"] = link::EscapeBytes(c.id);
        object["model"] = link::EscapeBytes(c.model);
        object["version"] = link::EscapeBytes(c.version);
        object["serial"] = link::EscapeBytes(c.serial);
        out_.Object(object);
    }

    void EndLine()
    {
        if (lineOpen_)
            std::fputs("\n", stderr);
        lineOpen_ = false;
    }

    bool opened = false;
    int found = 0;

private:
    Output& out_;
    std::string operation_;
    bool terminal_;
    int tenth_ = -1;
    bool lineOpen_ = false;
};

}  // namespace

int RunDiscover(const Invocation& inv, Context& ctx)
{
    tests::DiscoverPlan plan;
    plan.link = ctx.settings;
    // A line setting typed on the command line is the only one tried.
    if (inv.firstId >= 0 || ctx.settingsGiven)
        plan.lineSettings = {ctx.settings.ComBaudRate};
    plan.firstId = inv.firstId;
    plan.lastId = inv.lastId;

    Session s(ctx);
    CliDiscoverView view(ctx.out, inv.name, inv.firstId >= 0 && StandardErrorIsTerminal());
    tests::RunDiscover(s.frame, plan, view);
    view.EndLine();
    if (view.opened)
        ctx.out.Field("found", view.found, FieldStyle::JsonOnly);
    if (view.found > 0)
        return ctx.out.Finish(tests::Outcome::CommandOk);
    if (!view.opened)
        return ctx.out.Finish(tests::Outcome::ConnectError);
    return ctx.out.End(ExitCommandError, "not-found", "No controller found.");
}

}  // namespace ct::cli
