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

// Loads `folder` as a folder on a fixed disk and runs the data check into
// `errors`. Returns 0, or 2 after writing the refusal message to `err` when
// the folder has no INDEX_C.XML.
int LoadAndCheckFolder(const std::vector<std::string>& folders, TCheckErrorList& errors, std::ostream& err);

// dlvr report FOLDER -o FILE.pdf; args[0] is "report". Exit 0 with nothing
// written when the check finds nothing, 1 when the report was written, 2 on
// a folder without INDEX_C.XML, an unwritable FILE or wrong arguments.
int CmdReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// dlvr html FILE -o OUT.html (html_command.cpp).
int CmdHtml(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// dlvr photos FOLDER [FOLDER...] [--format tsv|json] [--check]
// (photos_command.cpp). Exit 0, 1 when --check finds something, 2 when no
// loaded medium has a PHOTO.XML, a FOLDER is not a folder or the arguments
// are wrong.
int CmdPhotos(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Replaces the drive-type query with "fixed disk" while loading, so that the
// load takes each folder as one medium and never asks for another.
class TFixedDriveScope {
 public:
  TFixedDriveScope();
  ~TFixedDriveScope();
  TFixedDriveScope(const TFixedDriveScope&) = delete;
  TFixedDriveScope& operator=(const TFixedDriveScope&) = delete;
};

// Backslash, TAB, CR and LF as the two-character escapes \\ \t \r \n, so
// that a value stays on its line and in its column (check's tsv, tree).
std::string EscapeCell(const std::string& s);

// Invalid UTF-8 (a file name found on disk in other bytes) with U+FFFD for
// each byte that starts no valid sequence, as delivery texts are decoded.
std::string ValidUtf8(const std::string& s);

// The output formats of the error list.
void WriteErrorsTsv(const TCheckErrorList& errors, std::ostream& out);
void WriteErrorsText(const TCheckErrorList& errors, std::ostream& out);
void WriteErrorsCsv(const TCheckErrorList& errors, std::ostream& out);
void WriteErrorsJson(const TCheckErrorList& errors, std::ostream& out);

}  // namespace dlvr
