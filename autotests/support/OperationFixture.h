// A controller test operation on the fake link, ready to run: fake clock,
// counting pump, fake device, link, operation frame with a recording status
// view and beeper, and one log of what happened in order.
//
// The log holds "title" when the operation shows its title, "pause N" for
// every pause of N ms, "send TEXT" for every command written and "events" for
// every other round of event processing. Replies are given by command text
// with Respond (whole frames, for broken ones) or AnswerText (reply texts).
// RecordingTitleView writes its "title" entries into that log.
#pragma once

#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "support/FakeTransport.h"
#include "support/RecordingBeeper.h"
#include "tests/Operation.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ct::testing {

class RecordingStatusView final : public link::IStatusView {
public:
    void SetBusyCursor(bool busy) override { busyCursor = busy; }
    void SetWindowEnabled(bool enabled) override { windowEnabled = enabled; }
    void SetBusyTimerRunning(bool running) override { busyTimer = running; }
    void SetLamp(link::Lamp colour) override { lamp = colour; }
    void ShowStatus(link::StatusMessage message) override { statuses.push_back(message); }
    link::LinkSettings ActiveLinkSettings() override { return settings; }
    void OperationEnded() override { ++ended; }

    link::LinkSettings settings;
    bool busyCursor = false;
    bool windowEnabled = true;
    bool busyTimer = false;
    link::Lamp lamp = link::Lamp::Red;
    std::vector<link::StatusMessage> statuses;
    int ended = 0;
};

// Every title shown, each also logged as "title" in the rig's log.
class RecordingTitleView final : public tests::ITitleView {
public:
    explicit RecordingTitleView(std::vector<std::string>& log) : log_(log) {}
    void ShowTitle(tests::Title title) override
    {
        titles.push_back(title);
        log_.push_back("title");
    }
    std::vector<tests::Title> titles;

private:
    std::vector<std::string>& log_;
};

// A well-formed CRC reply frame around the text.
inline std::string CrcFrame(const std::string& replyText)
{
    return link::EncodeReply(link::Framing::Crc, replyText);
}

// The same frame with one CRC character changed.
inline std::string BadCrcFrame(const std::string& replyText)
{
    std::string frame = CrcFrame(replyText);
    char& c = frame[frame.size() - 2];
    c = c == '0' ? '1' : '0';
    return frame;
}

// A reply text of `length` characters from the controller "0000".
inline std::string ReplyTextOfLength(std::size_t length)
{
    std::string text = "0000";
    while (text.size() < length)
        text += static_cast<char>('A' + text.size() % 26);
    return text.substr(0, length);
}

struct OperationRig {
    OperationRig()
    {
        pump.onPump = [this] {
            if (clock.sleeps.size() != pausesLogged) {
                pausesLogged = clock.sleeps.size();
                log.push_back("pause " + std::to_string(clock.sleeps.back()));
            } else {
                log.push_back("events");
            }
            if (duringEvents)
                duringEvents();
        };
        Respond([](const std::string&) { return std::string(); });
    }

    // Every request is answered 1 ms later with the frame `frameFor` gives
    // for its command text; an empty frame leaves it unanswered.
    void Respond(std::function<std::string(const std::string& command)> frameFor)
    {
        device.onRequest = [this, frameFor = std::move(frameFor)](const std::string& command, const std::string&) {
            log.push_back("send " + command);
            const std::string frame = frameFor(command);
            if (!frame.empty())
                device.Deliver(frame, 1);
        };
    }

    // Every request is answered with a well-formed frame around the text
    // `textFor` gives (empty: silence).
    void AnswerText(std::function<std::string(const std::string& command)> textFor)
    {
        Respond([textFor = std::move(textFor)](const std::string& command) {
            const std::string text = textFor(command);
            return text.empty() ? std::string() : CrcFrame(text);
        });
    }

    // The log without "events" and "title".
    std::vector<std::string> SendsAndPauses() const
    {
        std::vector<std::string> out;
        for (const std::string& entry : log)
            if (entry != "events" && entry != "title")
                out.push_back(entry);
        return out;
    }

    // The log from the title on, `count` entries at most.
    std::vector<std::string> LogFromTitle(std::size_t count) const
    {
        std::vector<std::string> out;
        bool seen = false;
        for (const std::string& entry : log) {
            seen = seen || entry == "title";
            if (seen && out.size() < count)
                out.push_back(entry);
        }
        return out;
    }

    FakeClock clock;
    CountingPump pump{clock};
    FakeDevice device{clock};
    FakeTransportFactory factory{device};
    link::Link link{factory, clock, pump};
    RecordingStatusView status;
    RecordingBeeper beeper;
    link::OperationFrame frame{link, status, beeper, pump};

    std::vector<std::string> log;
    std::function<void()> duringEvents;  // runs in every round of events, after its log entry

private:
    std::size_t pausesLogged = 0;
};

}  // namespace ct::testing
