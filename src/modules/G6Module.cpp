#include "modules/G6Module.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"

#include <cstdio>
#include <limits>

namespace ct::modules {

namespace {

constexpr CardTypeWords FallbackWords{0x0000, 0x000A, 0x0001};
constexpr const char* EndWord = "0000";

std::optional<std::uint16_t> ParseHex4(const std::string& text)
{
    if (text.size() != 4)
        return std::nullopt;
    std::uint16_t value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = static_cast<std::uint16_t>(value * 16 + digit);
    }
    return value;
}

// Shows every reply that passed its check, then tests its length and reads it.
std::function<bool(const link::Link&)> ShowThen(IG6View& view, int length,
                                               const std::function<bool(const std::string&)>& read)
{
    return [&view, length, read](const link::Link& device) {
        view.ShowReply(device.ReplyText());
        return device.ReplyLength() == length && read(device.ReplyText());
    };
}

}  // namespace

std::string Hex4(unsigned value)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", value & 0xFFFFu);
    return digits;
}

std::optional<std::int32_t> ParseDecimal(const std::string& text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

CardTypeWords WordsToWrite(const CardTypeChoice& choice)
{
    const std::optional<std::int32_t> delay = ParseDecimal(choice.delayText);
    if (!delay)
        return FallbackWords;
    CardTypeWords words;
    words.cardType = static_cast<std::uint16_t>(choice.kinds & CardKindMask);
    words.delay = static_cast<std::uint16_t>(static_cast<std::uint32_t>(*delay) & 0xFFFFu);
    words.mode = static_cast<std::uint16_t>((choice.green ? ModeGreen : 0) | (choice.reset ? ModeReset : 0));
    return words;
}

std::optional<CardTypeWords> ReadCardTypeReply(const std::string& reply)
{
    const auto cardType = ParseHex4(link::ReplyField(reply, 26, 4));
    const auto delay = ParseHex4(link::ReplyField(reply, 30, 4));
    const auto mode = ParseHex4(link::ReplyField(reply, 34, 4));
    if (!cardType || !delay || !mode)
        return std::nullopt;
    return CardTypeWords{*cardType, *delay, *mode};
}

tests::Outcome RunG6ReadSerial(link::OperationFrame& frame, const std::string& deviceId, int moduleId,
                               IG6View& view)
{
    return tests::RunCommandText(frame, deviceId + link::cmd::G6ReadSerialById + Hex4(unsigned(moduleId)),
                                 ShowThen(view, link::cmd::G6ShortReplyLength, [&view](const std::string& reply) {
                                     view.ShowSerial(link::ReplyField(reply, 30, link::cmd::SerialNumberLength));
                                     return true;
                                 }));
}

tests::Outcome RunG6ReadId(link::OperationFrame& frame, const std::string& deviceId, const std::string& serial,
                           IG6View& view)
{
    return tests::RunCommandText(frame, deviceId + link::cmd::G6ReadIdBySerial + serial,
                                 ShowThen(view, link::cmd::G6LongReplyLength, [&view](const std::string& reply) {
                                     const std::string digit = link::ReplyField(reply, 41, 1);
                                     if (digit.size() != 1 || digit[0] < '0' || digit[0] > '9')
                                         return false;
                                     view.SelectModuleId(digit[0] - '0');
                                     return true;
                                 }));
}

tests::Outcome RunG6SetId(link::OperationFrame& frame, const std::string& deviceId, const std::string& serial,
                          int newId, IG6View& view)
{
    return tests::RunCommandText(
        frame, deviceId + link::cmd::G6SetIdBySerial + serial + serial + Hex4(unsigned(newId)) + EndWord,
        ShowThen(view, link::cmd::G6LongReplyLength, [](const std::string&) { return true; }));
}

namespace {

tests::Outcome RunCardTypeCommand(link::OperationFrame& frame, const std::string& text, IG6View& view)
{
    return tests::RunCommandText(frame, text,
                                 ShowThen(view, link::cmd::G6ShortReplyLength, [&view](const std::string& reply) {
                                     const std::optional<CardTypeWords> words = ReadCardTypeReply(reply);
                                     if (!words)
                                         return false;
                                     view.ShowCardTypes(*words);
                                     return true;
                                 }));
}

}  // namespace

tests::Outcome RunG6GetCardType(link::OperationFrame& frame, const std::string& deviceId, int moduleId,
                                IG6View& view)
{
    return RunCardTypeCommand(frame, deviceId + link::cmd::G6ReadCardType + Hex4(unsigned(moduleId)), view);
}

tests::Outcome RunG6SetCardType(link::OperationFrame& frame, const std::string& deviceId, int moduleId,
                                const CardTypeWords& words, IG6View& view)
{
    return RunCardTypeCommand(frame,
                              deviceId + link::cmd::G6WriteCardType + Hex4(unsigned(moduleId)) + Hex4(words.cardType)
                                  + Hex4(words.delay) + Hex4(words.mode) + EndWord,
                              view);
}

}  // namespace ct::modules
