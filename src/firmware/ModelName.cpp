#include "firmware/ModelName.h"

#include "link/ControllerInterface.h"

namespace ct::firmware {

const ModelButton ModelButtons[8] = {
    {"KX410", "KX410NT4-SG4"}, {"KX420", "KX420NT4-SG4"}, {"KX450", "KX450NT4-SG5"}, {"KX470", "KX470NT4-SG4"},
    {"KX400", "KX400NT4-G1F"}, {"KX405", "KX405NT4-SG4"}, {"KX460", "KX460NT4-G3F"}, {"KX430", "KX430-NT-4R"},
};
const char* const VersionButtons[3] = {"0503", "0495", "0298"};

std::string TrimControls(const std::string& text)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string ModelNameField(const std::string& typed)
{
    return (TrimControls(typed) + std::string(link::cmd::ModelNameLength, ' ')).substr(0, link::cmd::ModelNameLength);
}

tests::Outcome RunSetModelName(link::OperationFrame& frame, tests::ITitleView& view, const std::string& deviceId,
                               const std::string& model, const std::optional<std::string>& version)
{
    const std::string text =
        deviceId + link::cmd::SetModelName + ModelNameField(model) + (version ? TrimControls(*version) : "");
    if (!tests::FitsOneRequest(text))
        return tests::Outcome::TooLong;
    return tests::RunSingleCommand(
        frame, {tests::Title::SetModelName, [&text] { return text; }, tests::AcceptLength(link::cmd::AckReplyLength)},
        &view);
}

}  // namespace ct::firmware
