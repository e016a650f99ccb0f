// dlvr check: the data check of a delivery folder, printed for scripts and
// people.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "check/data_check.h"

namespace dlvr {

// dlvr check FOLDER [--format text|tsv|csv|json]; args[0] is "check".
// Exit 0 when the check finds nothing, 1 when it finds errors, 2 when FOLDER
// has no INDEX_C.XML or the arguments are wrong.
int CmdCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The output formats of the error list.
void WriteErrorsTsv(const TCheckErrorList& errors, std::ostream& out);
void WriteErrorsText(const TCheckErrorList& errors, std::ostream& out);
void WriteErrorsCsv(const TCheckErrorList& errors, std::ostream& out);
void WriteErrorsJson(const TCheckErrorList& errors, std::ostream& out);

}  // namespace dlvr
