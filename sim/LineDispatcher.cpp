#include "sim/LineDispatcher.h"

#include "link/ControllerInterface.h"

#include "sim/BootLoader.h"
#include "sim/LineSetting.h"

#include <cstdio>
#include <stdexcept>

namespace ct::sim {

LineDispatcher::LineDispatcher(std::vector<ControllerConfig> line)
{
    if (line.empty())
        line.emplace_back();
    for (auto& config : line)
        stations.emplace_back(std::move(config));
    ConnectRule();
}

void LineDispatcher::ConnectRule()
{
    for (auto& s : stations)
        s.model.SetConnectAnyId(stations.size() == 1);
}

LineDispatcher::Station& LineDispatcher::At(std::size_t index)
{
    if (index >= stations.size())
        throw std::out_of_range("ControllerSim: no controller " + std::to_string(index));
    return stations[index];
}

void LineDispatcher::LogBadFrame(std::string_view frame)
{
    bool v;
    {
        std::lock_guard lock(mutex);
        v = verbose;
    }
    if (v)
        std::fprintf(stderr, "sim: ignored frame with bad check: %s\n", link::EscapeBytes(frame).c_str());
}

const char* LineDispatcher::Deaf(const Station& station, std::optional<int> terminalBaud, SteadyTime now) const
{
    if (now < station.silentUntil)
        return "rebooting";
    if (!terminalBaud)
        return nullptr;
    // The terminal keeps the speed the tool opened it with, but not the
    // parity, so only the baud rate can tell a line the tool failed to
    // follow. Requests at another speed would reach a real controller as
    // garbage: it neither logs nor answers them.
    const auto line = ParseLineSetting(station.model.config().line);
    if (!line || static_cast<int>(*line->baudRate) != *terminalBaud)
        return "sent at another speed than the line's";
    return nullptr;
}

std::optional<LineDispatcher::Answer> LineDispatcher::Handle(std::string_view commandText, link::Framing framing,
                                                             std::optional<int> terminalBaud, SteadyTime now)
{
    Answer answer;
    {
        std::lock_guard lock(mutex);
        bool heard = false;
        const char* why = nullptr;
        std::string lineNote;
        std::optional<Response> reply;
        // Replies from two controllers at once would garble the line: the
        // first that answers is the only one that acts, later ones never see
        // the request.
        for (std::size_t i = 0; i < stations.size() && !reply; ++i) {
            Station& s = stations[i];
            if (const char* deaf = Deaf(s, terminalBaud, now)) {
                why = deaf;
                continue;
            }
            heard = true;
            const int reboots = s.model.reboots();
            const std::string line = s.model.config().line;
            reply = s.model.Respond(commandText, framing);
            if (!reply)
                continue;
            if (s.model.reboots() != reboots) {
                answer.rebooted = i;
                answer.rebootSilence = s.model.config().rebootSilence;
            }
            if (s.model.config().line != line)
                lineNote = "sim: line of " + s.model.config().id + " now " + s.model.config().line + "\n";
        }
        if (!heard) {
            if (verbose)
                std::fprintf(stderr, "sim: not heard (%s): %s\n", why, link::EscapeBytes(commandText).c_str());
            return std::nullopt;
        }
        ++commandsHeard;
        if (commandLimit > 0) {
            if (commands.size() >= commandLimit)
                commands.pop_front();
            commands.emplace_back(commandText);
        }
        if (verbose)
            std::fprintf(stderr, "sim: %s\n%s", link::EscapeBytes(commandText).c_str(), lineNote.c_str());
        if (reply && reply->framing == link::Framing::Crc) {
            // Only a command text of an ID and a code gets a CRC answer.
            const std::string_view code = commandText.substr(static_cast<std::size_t>(link::cmd::ControllerIdLength));
            std::vector<Fault> applied = faults.Take(code);
            if (reply->spoiltCheck) {
                Fault spoil;
                spoil.kind = FaultKind::WrongCrc;
                applied.push_back(spoil);
            }
            answer.chunks = RenderReply(reply->text, applied);
        } else if (reply) {
            answer.chunks = {ReplyChunk{{}, RenderXorReply(reply->framing, reply->text, reply->spoiltCheck)}};
        }
    }
    commandsArrived.notify_all();
    return answer;
}

void LineDispatcher::SilenceUntil(std::size_t index, SteadyTime until)
{
    std::lock_guard lock(mutex);
    stations[index].silentUntil = until;
}

}  // namespace ct::sim
