// The commands of the headless tool. Each writes its output to `out`, its
// messages to `err`, and returns the exit code.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace dlvr {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// dlvr render DRAWING (-o OUTPUT | --dump) ... (render_command.cpp) and dlvr
// scan ROOT ... (scan_command.cpp); args[0] is the command's name.
int CmdRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CmdScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// dlvr search FOLDER [FOLDER...] QUERY ... (search_command.cpp).
int CmdSearch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The store of a delivery folder read as the first medium's tree build
// reads it, printed as JSON. The duplicate flags of classes 1 and 4 are
// reported beside the store.
std::string DumpDelivery(const std::string& folder);

// True when `path` (a file that need not exist yet) lies in `folder` or
// below it, or is that folder: judged on the canonical path, every symbolic
// link followed (one at the end that leads nowhere too), `.` and `..`
// resolved and the parent folder canonicalised when the file does not
// exist, and compared folder by folder with the identity of `folder`, so
// that /a/bc is not in /a/b and a folder mounted twice is one folder.
bool PathLiesInside(const std::string& path, const std::string& folder);

}  // namespace dlvr
