// Running a command line as a program in tests, output and errors captured.
#include "support/run_tool.h"

#include <sys/wait.h>

#include <cstdlib>

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

}  // namespace dlvr::test
