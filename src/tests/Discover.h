// Finding a controller whose ID or line setting is not known: the Connect
// exchange tried on each line setting in turn at ID 0000, which a controller
// alone on its line answers whatever its own ID, or the Connect command once
// at every ID of a range, for a line with several controllers. Every
// controller that answers is identified ("DB", "AS" at the ID it answered
// with) and reported as it is found.
//
// One operation inside the operation frame: one beginning, one ending. The
// link is reopened between line settings; over TCP the line settings have
// no meaning and one round is run.
#pragma once

#include "link/Link.h"
#include "tests/Operation.h"

#include <string>
#include <vector>

namespace ct::tests {

struct FoundController {
    std::string settings;  // the line setting it answered on; empty over TCP
    std::string id;        // from its "AC" reply
    std::string model;     // trailing blanks cut; empty when "DB" got no valid reply
    std::string version;
    std::string serial;    // empty when "AS" got no valid reply
};

class IDiscoverView {
public:
    virtual ~IDiscoverView() = default;
    // The link is open at `settings` (empty over TCP) and the first request
    // on it follows.
    virtual void ShowLine(const std::string& settings) = 0;
    // Before the Connect command at the `index`th ID (from 0) of a range of
    // `count`.
    virtual void ShowScan(int id, int index, int count) = 0;
    virtual void ControllerFound(const FoundController& found) = 0;
};

// The two line settings the tool can switch a controller between, in the
// order they are tried.
inline const std::vector<std::string> DiscoveryLineSettings = {"115200,n,8,1", "19200,e,8,1"};

struct DiscoverPlan {
    // The serial port or TCP endpoint; its own ComBaudRate is not used.
    link::LinkSettings link;
    // Tried in order; a serial link needs one at least.
    std::vector<std::string> lineSettings = DiscoveryLineSettings;
    // A range of IDs, each addressed once: every controller on each line
    // setting is found. None (-1): ID 0000 with Connect's three attempts,
    // and the first line setting answered on ends the search.
    int firstId = -1;
    int lastId = -1;
};

// CommandOk when a controller was found, ConnectError when the link did not
// open or nobody answered (the window's "Connect device error!", as for a
// Connect that got no answer).
Outcome RunDiscover(link::OperationFrame& frame, const DiscoverPlan& plan, IDiscoverView& view);

}  // namespace ct::tests
