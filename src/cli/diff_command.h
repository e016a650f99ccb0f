// dlvr diff: what changed between a delivery and its resubmission.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace dlvr {

// dlvr diff OLD NEW [--old-media FOLDER]... [--new-media FOLDER]...
// [--format text|tsv|json]; args[0] is "diff". Exit 0 when the deliveries
// are the same, 1 when anything differs, 2 on usage errors (a folder that is
// not a delivery, a further medium that is not one of its delivery).
int CmdDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dlvr
