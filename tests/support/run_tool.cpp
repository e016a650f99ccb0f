// Running a command line as a program in tests, output and errors captured.
#include "support/run_tool.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "platform/fileio.h"
#include "support/fixtures.h"

namespace dlvr::test {

ToolRun RunCaptured(const std::string& command, const std::string& cwd) {
  ScratchDir tmp;
  std::string cmd = command + " >" + (tmp / "out") + " 2>" + (tmp / "err");
  if (!cwd.empty()) cmd = "cd '" + cwd + "' && " + cmd;
  const int status = std::system(cmd.c_str());
  ToolRun r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ReadWholeFile(tmp / "out", r.out);
  ReadWholeFile(tmp / "err", r.err);
  return r;
}

std::string CliToolPath() {
  // This program is TESTS/NAME in the build folder; the tool is src/cli/dlvr there.
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "src/cli/dlvr").string();
}

std::string CliToolCommand() { return "env -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 " + CliToolPath(); }

}  // namespace dlvr::test
