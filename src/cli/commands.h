// The commands of the headless tool. Each writes its output to `out`, its
// messages to `err`, and returns the exit code.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace dlvr {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The store of a delivery folder read as the first medium's tree build
// reads it, printed as JSON. The duplicate flags of classes 1 and 4 are
// reported beside the store.
std::string DumpDelivery(const std::string& folder);

}  // namespace dlvr
