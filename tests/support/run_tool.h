// Running a command line as a program in tests, with what it writes to its
// output and its errors captured.
#pragma once

#include <string>

namespace dlvr::test {

struct ToolRun {
  int code = -1;  // the exit code; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs the shell command `command`, in the folder `cwd` when one is given.
ToolRun RunCaptured(const std::string& command, const std::string& cwd = std::string());

// The tool `dlvr` of the build this test program belongs to (found beside
// it, so that the program's code names no build folder), and the command
// line that starts it with the language of its texts fixed (Japanese)
// whatever the locale of the machine running the tests.
std::string CliToolPath();
std::string CliToolCommand();

}  // namespace dlvr::test
