// The controllers on the substitute's line and the modules behind them, as
// the command line describes them:
//
//   --controller ID,SERIAL[,MODEL[,VERSION]]
//       another controller; the first is the one of --id, --serial, --model
//       and --firmware-version. ID 4 characters, SERIAL 8, MODEL at most 12, VERSION at
//       most 4.
//   --g6 [CONTROLLER:]ID,SERIAL[,CARDTYPE,DELAY,MODE]   or   --g6 [CONTROLLER:]none
//       a G6 module: ID 0 to 8, SERIAL 8 characters, the three card-type
//       words as 1 to 4 hex digits each (default 0041,000A,0003).
//   --g4 [CONTROLLER:]TYPE,ID,SERIAL   or   --g4 [CONTROLLER:]none
//       a G4 module: TYPE one of A B H I J E, ID one digit, SERIAL 8
//       characters.
//
// CONTROLLER is "#N", the N-th controller counting the first as #0, or the ID
// a controller starts with (the first one with it); without it the first
// controller. Options may name a controller described later. A controller
// that any --g6 names has exactly the G6 modules given ("none": none), else
// the default one; alike for --g4.
#pragma once

#include "sim/ControllerSim.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ct::sim {

class LineOptions {
public:
    // False, and nothing added, for a value not of the option's form.
    bool AddController(const std::string& value);
    bool AddG6(const std::string& value);
    bool AddG4(const std::string& value);

    // The line: `first`, then the controllers added, with their modules.
    // Nothing, and `error` telling why, when a module option names a
    // controller that is not on it.
    std::optional<std::vector<ControllerConfig>> Build(const ControllerConfig& first,
                                                       std::string* error = nullptr) const;

private:
    struct Target {
        std::optional<std::size_t> index;
        std::string id;  // when no index
    };
    // The optional "CONTROLLER:" in front of `value`; `rest` is what follows.
    static std::optional<Target> SplitTarget(const std::string& value, std::string& rest);

    template <typename Module>
    struct Placement {
        Target target;
        std::optional<Module> module;  // nothing: "none"
    };

    std::vector<ControllerConfig> more_;
    std::vector<Placement<G6Module>> g6_;
    std::vector<Placement<G4Module>> g4_;
};

}  // namespace ct::sim
