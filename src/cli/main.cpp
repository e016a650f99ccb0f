#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/gui_app.h"
#include "components/pdf_facts.h"
#include "i18n/ui_language.h"
#include "model/tree_view.h"
#include "platform/tempfs.h"

int main(int argc, char** argv) {
  // The hidden worker that reads PDF facts for the document check.
  if (const int worker = dlvr::RunPdfFactsWorkerIfAsked(argc, argv); worker >= 0) return worker;
  // No command needs the viewer's work copies of the management files.
  dlvr::TMdlTreeView::SetWorkCopiesDefault(false);
  dlvr::RemoveWorkFolderOnSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = 0;
  {
    // The tool's texts in the language of the environment.
    const auto app = dlvr::MakeToolApplication(args);
    dlvr::InstallUiTranslations(dlvr::LanguageFromEnvironment());
    status = dlvr::RunCli(args, std::cout, std::cerr);
    dlvr::InstallUiTranslations(dlvr::UiLanguage::Japanese);
  }
  dlvr::RemovePrivateWorkFolder();
  return status;
}
