// A transport factory that hands out another factory's transports and
// records, as they happen, every open and every frame written through them.
// Tests read what was sent from this record, not from the controller's log,
// which a thread of its own fills a moment later: "nothing was sent" holds
// once the operation has ended, without waiting.
#pragma once

#include "link/Transport.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ct::testing {

class RecordingTransportFactory final : public link::ITransportFactory {
public:
    explicit RecordingTransportFactory(link::ITransportFactory& inner) : inner_(inner) {}

    std::unique_ptr<link::ITransport> OpenSerial(const std::string& portName, const std::string& settings) override
    {
        ++opens;
        return Wrap(inner_.OpenSerial(portName, settings));
    }
    std::unique_ptr<link::ITransport> OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                              link::IEventPump& pump) override
    {
        ++opens;
        return Wrap(inner_.OpenTcp(ipv4, port, pump));
    }

    int opens = 0;                     // tried, whether or not they opened
    std::vector<std::string> written;  // the bytes of every write, raw

private:
    class Recording final : public link::ITransport {
    public:
        Recording(std::unique_ptr<link::ITransport> inner, std::vector<std::string>& written)
            : inner_(std::move(inner)), written_(written)
        {
        }
        void Purge() override { inner_->Purge(); }
        void Write(const std::uint8_t* data, std::size_t size, link::IEventPump& pump) override
        {
            written_.emplace_back(reinterpret_cast<const char*>(data), size);
            inner_->Write(data, size, pump);
        }
        std::size_t Peek(std::uint8_t* out, std::size_t maxSize) override { return inner_->Peek(out, maxSize); }
        void Consume(std::size_t size) override { inner_->Consume(size); }
        bool WaitReadable(int timeoutMs, link::IEventPump& pump) override
        {
            return inner_->WaitReadable(timeoutMs, pump);
        }

    private:
        std::unique_ptr<link::ITransport> inner_;
        std::vector<std::string>& written_;
    };

    std::unique_ptr<link::ITransport> Wrap(std::unique_ptr<link::ITransport> transport)
    {
        if (!transport)
            return nullptr;
        return std::make_unique<Recording>(std::move(transport), written);
    }

    link::ITransportFactory& inner_;
};

}  // namespace ct::testing
