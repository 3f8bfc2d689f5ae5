#include "modules/ModuleCommand.h"

#include "link/ControllerInterface.h"

#include <cctype>

namespace ct::modules {

const char* const ConsoleModuleNames[ModuleTypeCount] = {"KXRA1/A5/C5", "KXIO-1A/16", "KXRB5/KX77",
                                                          "KXRH5/H6",    "KXRM5",      "KXPRINT"};
const char* const G4ModuleNames[ModuleTypeCount] = {"KXRA1/A5/C5", "KXIO-1A/16",  "KXRB5/BS/BQ",
                                                    "KXRH5/H6/HQ/HE", "KXRM5/MQ/ME", "KXPRINT"};

static_assert(sizeof("ABHIJE") - 1 == ModuleTypeCount, "one letter per type");

char ModuleTypeLetter(int typeIndex)
{
    return link::cmd::ModuleTypeLetters[typeIndex];
}

std::optional<int> ModuleTypeIndex(const std::string& letterOrName)
{
    for (int i = 0; i < ModuleTypeCount; ++i) {
        if (letterOrName.size() == 1
            && std::toupper(static_cast<unsigned char>(letterOrName[0])) == ModuleTypeLetter(i))
            return i;
        if (letterOrName == ConsoleModuleNames[i] || letterOrName == G4ModuleNames[i])
            return i;
    }
    return std::nullopt;
}

std::string WrapModuleCommand(const std::string& deviceId, int typeIndex, const std::string& moduleId,
                              const std::string& moduleCommand)
{
    return deviceId + link::cmd::ModuleCommand + ModuleTypeLetter(typeIndex) + moduleId + moduleCommand;
}

tests::Outcome RunModuleCommand(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                                const std::string& moduleId, const std::string& moduleCommand,
                                const std::function<bool(const link::Link&)>& accept)
{
    return tests::RunCommandText(frame, WrapModuleCommand(deviceId, typeIndex, moduleId, moduleCommand), accept);
}

}  // namespace ct::modules
