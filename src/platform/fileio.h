// Whole-file reads and writes, and the program's own folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

// Reads a regular file's bytes. False (and `out` empty) when it cannot.
bool ReadWholeFile(const std::string& path, std::string& out);

// Writes bytes to a file, replacing it. False when it cannot.
bool WriteWholeFile(const std::string& path, std::string_view data);

// Splits text into lines: CR, LF or CR LF end a line; the breaks are dropped.
// A final line without a break is kept; a final break adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// The folder of the running program, with a trailing '/'. Tests may set it.
std::string ProgramDir();
void SetProgramDir(const std::string& dir);

}  // namespace dlvr
