#include "Discover.h"

#include "Session.h"
#include "UpgradeProgress.h"

#include "link/FrameCodec.h"
#include "tests/Discover.h"

#include <cstdio>
#include <optional>

namespace ct::cli {

namespace {

std::string Column(const std::string& text)
{
    return text.empty() ? "-" : link::EscapeBytes(text);
}

// Keeps the first controller found, printing nothing.
class ProbeView final : public tests::IDiscoverView {
public:
    void ShowLine(const std::string&) override {}
    void ShowScan(int, int, int) override {}
    void ControllerFound(const tests::FoundController& c) override
    {
        if (!found)
            found = c;
    }
    std::optional<tests::FoundController> found;
};

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

int ProbePorts(const Invocation& inv, Context& ctx, const std::vector<PortDescription>& ports)
{
    int found = 0;
    for (const PortDescription& port : ports) {
        ProbeView view;
        // A port this user cannot open would only say so again.
        if (port.access == "ok") {
            link::LinkSettings settings = ctx.settings;
            settings.LinkType = link::LinkTypeCom;
            settings.ComPortName = port.name;
            tests::DiscoverPlan plan;
            plan.link = settings;
            Session s(ctx);
            tests::RunDiscover(s.frame, plan, view);
        }
        found += view.found ? 1 : 0;
        const std::string lineSetting = view.found ? view.found->settings : std::string();
        const std::string id = view.found ? view.found->id : std::string();
        if (ctx.out.json()) {
            JsonObject object = PortObject(port);
            object["operation"] = inv.name;
            object["settings"] = link::EscapeBytes(lineSetting);
            object["id"] = link::EscapeBytes(id);
            ctx.out.Object(object);
        } else {
            ctx.out.Line(PortLine(port) + "\t" + Column(lineSetting) + "\t" + Column(id));
        }
    }
    ctx.out.Field("ports", static_cast<long long>(ports.size()), FieldStyle::JsonOnly);
    ctx.out.Field("found", found, FieldStyle::JsonOnly);
    if (found > 0)
        return ctx.out.Finish(tests::Outcome::CommandOk);
    return ctx.out.End(ExitCommandError, "not-found", "No controller found.");
}

}  // namespace ct::cli
