#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "model/tree_view.h"
#include "platform/tempfs.h"

int main(int argc, char** argv) {
  // No command needs the viewer's work copies of the management files.
  dlvr::TMdlTreeView::SetWorkCopiesDefault(false);
  dlvr::RemoveWorkFolderOnSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = dlvr::RunCli(args, std::cout, std::cerr);
  dlvr::RemovePrivateWorkFolder();
  return status;
}
