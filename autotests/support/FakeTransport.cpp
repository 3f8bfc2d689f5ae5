#include "support/FakeTransport.h"

#include <algorithm>
#include <cstring>

namespace ct::testing {

namespace {

class FakeTransport final : public link::ITransport {
public:
    explicit FakeTransport(FakeDevice& device) : device_(device)
    {
        ++device_.opens;
        device_.open = true;
    }
    ~FakeTransport() override
    {
        ++device_.closes;
        device_.open = false;
    }
    void Purge() override { device_.Purge(); }
    void Write(const std::uint8_t* data, std::size_t size, link::IEventPump&) override
    {
        device_.Written(data, size);
    }
    std::size_t Peek(std::uint8_t* out, std::size_t maxSize) override { return device_.Peek(out, maxSize); }
    void Consume(std::size_t size) override { device_.Consume(size); }
    bool WaitReadable(int timeoutMs, link::IEventPump&) override
    {
        ++device_.waits;
        return device_.Wait(timeoutMs);
    }

private:
    FakeDevice& device_;
};

// The command text inside a request frame of either framing.
std::string CommandTextOf(const std::string& frame)
{
    if (frame.size() >= 7 && frame[frame.size() - 6] == static_cast<char>(link::STX)) {
        const std::string text = frame.substr(1, frame.size() - 7);
        if (link::EncodeRequestString(link::Framing::Crc, text) == frame)
            return text;
    }
    if (frame.size() >= 4)
        return frame.substr(1, frame.size() - 4);
    return {};
}

}  // namespace

void FakeDevice::Deliver(const std::string& bytes, std::uint32_t afterMs)
{
    Arrival a{clock_.now + afterMs, bytes};
    const auto pos = std::upper_bound(arrivals_.begin(), arrivals_.end(), a.at,
                                      [](std::uint64_t t, const Arrival& x) { return t < x.at; });
    arrivals_.insert(pos, std::move(a));
}

void FakeDevice::DeliverSplit(const std::string& bytes, std::uint32_t afterMs, std::uint32_t gapMs)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        Deliver(bytes.substr(i, 1), afterMs + static_cast<std::uint32_t>(i) * gapMs);
}

void FakeDevice::Reply(const std::string& replyText, std::uint32_t afterMs, link::Framing framing)
{
    Deliver(link::EncodeReply(framing, replyText), afterMs);
}

void FakeDevice::AnswerWith(std::function<std::string(const std::string&)> answer, std::uint32_t afterMs)
{
    onRequest = [this, answer = std::move(answer), afterMs](const std::string& text, const std::string&) {
        const std::string reply = answer(text);
        if (!reply.empty())
            Reply(reply, afterMs);
    };
}

void FakeDevice::Written(const std::uint8_t* data, std::size_t size)
{
    std::string frame(reinterpret_cast<const char*>(data), size);
    purgesAndWrites += 'W';
    frames.push_back(frame);
    commands.push_back(CommandTextOf(frame));
    if (onRequest)
        onRequest(commands.back(), frame);
}

void FakeDevice::Purge()
{
    ++purges;
    purgesAndWrites += 'P';
    Arrive();
    received_.clear();
}

void FakeDevice::Arrive()
{
    while (!arrivals_.empty() && arrivals_.front().at <= clock_.now) {
        received_ += arrivals_.front().bytes;
        arrivals_.pop_front();
    }
}

std::size_t FakeDevice::Peek(std::uint8_t* out, std::size_t maxSize)
{
    Arrive();
    const std::size_t n = std::min(maxSize, received_.size());
    std::memcpy(out, received_.data(), n);
    return n;
}

void FakeDevice::Consume(std::size_t size)
{
    received_.erase(0, std::min(size, received_.size()));
}

bool FakeDevice::Wait(int timeoutMs)
{
    Arrive();
    if (!received_.empty())
        return true;
    const std::uint64_t deadline = clock_.now + static_cast<std::uint64_t>(std::max(timeoutMs, 0));
    if (!arrivals_.empty() && arrivals_.front().at <= deadline) {
        clock_.now = std::max(clock_.now, arrivals_.front().at);
        Arrive();
        return true;
    }
    clock_.now = deadline;
    return false;
}

std::unique_ptr<link::ITransport> FakeTransportFactory::OpenSerial(const std::string& portName,
                                                                   const std::string& settings)
{
    device_.serialPort = portName;
    device_.serialSettings = settings;
    device_.lastOpenSerial = true;
    if (device_.failSerialOpen || portName.empty())
        return nullptr;
    return std::make_unique<FakeTransport>(device_);
}

std::unique_ptr<link::ITransport> FakeTransportFactory::OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                                                link::IEventPump& pump)
{
    device_.lastOpenSerial = false;
    device_.tcpAddress = ipv4;
    device_.tcpPort = port;
    if (device_.duringTcpOpen)
        device_.duringTcpOpen(pump);
    if (device_.failTcpOpen)
        return nullptr;
    return std::make_unique<FakeTransport>(device_);
}

}  // namespace ct::testing
