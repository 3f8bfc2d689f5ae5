// G6 reader modules behind the controller, reached by the "DR05"
// pass-through: a module's serial number from its ID (0-8), its ID from its
// serial number, a new ID (1-8) by serial number, and its card-type settings:
// three 16-bit words (card kinds, same-card delay in 100 ms, mode flags) sent
// and read as four upper-case hex digits each. Every reply that passes its
// check is shown whole before its length is tested.
#pragma once

#include "tests/Operation.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ct::modules {

// Card-kind bits of the card-type word; bit 3 and bits 7-15 are never set.
enum CardKind : std::uint16_t {
    CardUidA = 0x0001,
    CardBlock = 0x0002,
    Card7Byte = 0x0004,
    CardIso15693 = 0x0010,
    CardUidB = 0x0020,
    CardGuidB = 0x0040,
};
inline constexpr std::uint16_t CardKindMask = CardUidA | CardBlock | Card7Byte | CardIso15693 | CardUidB | CardGuidB;
// Mode bits; only the green mode is read back.
enum ModeFlag : std::uint16_t { ModeGreen = 0x0001, ModeReset = 0x0002 };

struct CardTypeWords {
    std::uint16_t cardType = 0;
    std::uint16_t delay = 0;
    std::uint16_t mode = 0;
    bool operator==(const CardTypeWords& o) const
    {
        return cardType == o.cardType && delay == o.delay && mode == o.mode;
    }
};

// What the page's controls say: the checked card kinds (CardKind bits),
// the delay text as typed, the two mode boxes.
struct CardTypeChoice {
    std::uint16_t kinds = 0;
    std::string delayText;
    bool green = false;
    bool reset = false;
};

// The three words to write. A delay text that is not a decimal integer
// gives the fixed words card type 0000, delay 000A, mode 0001 whatever the
// boxes say; a number is sent as its low 16 bits (-1 as FFFF).
CardTypeWords WordsToWrite(const CardTypeChoice& choice);
// A decimal integer as typed: optional sign and digits, within 32 bits.
std::optional<std::int32_t> ParseDecimal(const std::string& text);
// The three words at positions 26-29, 30-33 and 34-37 of a 47-byte reply;
// nothing if any of them is not four hexadecimal digits.
std::optional<CardTypeWords> ReadCardTypeReply(const std::string& reply);
// "%04X" of the low 16 bits.
std::string Hex4(unsigned value);

class IG6View {
public:
    virtual ~IG6View() = default;
    virtual void ShowReply(const std::string& replyText) = 0;   // edG6Recv
    virtual void ShowSerial(const std::string& serial) = 0;     // edG6Sn
    virtual void SelectModuleId(int id) = 0;                    // cmbG6Id: the item of that index (9: none)
    virtual void ShowCardTypes(const CardTypeWords& words) = 0; // boxes, delay, green mode; never the reset box
};

// btnG6SnIdClick by ID: serial number at 30-37 of a 47-byte reply.
tests::Outcome RunG6ReadSerial(link::OperationFrame& frame, const std::string& deviceId, int moduleId,
                               IG6View& view);
// btnG6SnIdClick by serial number: the ID digit at 41 of a 51-byte reply.
tests::Outcome RunG6ReadId(link::OperationFrame& frame, const std::string& deviceId, const std::string& serial,
                           IG6View& view);
// btnG6SetIdClick: newId 1-8; a 51-byte reply.
tests::Outcome RunG6SetId(link::OperationFrame& frame, const std::string& deviceId, const std::string& serial,
                          int newId, IG6View& view);
tests::Outcome RunG6GetCardType(link::OperationFrame& frame, const std::string& deviceId, int moduleId,
                                IG6View& view);
tests::Outcome RunG6SetCardType(link::OperationFrame& frame, const std::string& deviceId, int moduleId,
                                const CardTypeWords& words, IG6View& view);

}  // namespace ct::modules
