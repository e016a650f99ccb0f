// dlvr report: the printed error report of a delivery, as a PDF file.
#include <QString>

#include <memory>
#include <ostream>

#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/gui_app.h"
#include "components/drawing_canvas.h"
#include "platform/paths.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

const char* const kReportUsage =
    "usage: dlvr report FOLDER [FOLDER...] -o FILE.pdf\n"
    "\n"
    "Loads FOLDER as a folder on a fixed disk (further FOLDERs of the same\n"
    "delivery as its further media), runs the data check and writes\n"
    "the printed error report (A4 landscape, the pages the viewer prints) to\n"
    "FILE.pdf. With no error nothing is written, \"データは正常です。\" is\n"
    "printed and the exit code is 0; exit 1 when the report was written; exit 2\n"
    "when FOLDER has no INDEX_C.XML or FILE cannot be written.\n"
    "FILE must lie outside FOLDER: a FILE inside it (judged with symbolic links\n"
    "and .. resolved; an existing file of the delivery too) is refused with exit\n"
    "2 and nothing is written.\n";

}  // namespace

int CmdReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("report", kReportUsage);
  std::vector<std::string> positional;
  std::string output;
  cl.App().add_option("FOLDER", positional);
  cl.App().add_option("-o,--output", output);
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (positional.empty()) return cl.Fail(err, "missing FOLDER");
  if (output.empty()) return cl.Fail(err, "missing -o FILE.pdf");
  if (const auto bad = cl.CheckFolders(positional, err)) return *bad;

  TCheckErrorList errors;
  if (int code = LoadAndCheckFolder(positional, errors, err)) return code;
  // Nothing is ever written into a delivery, not even over one of its files;
  // refused whatever the check found.
  for (const std::string& folder : positional)
    if (PathLiesInside(output, folder)) return cl.Fail(err, output + " lies inside the delivery folder " + folder);
  if (errors.empty()) {
    out << Tr("CliCheck", "データは正常です。") << "\n";
    return 0;
  }
  auto app = EnsureGuiApplication();
  if (!WriteErrorReportPdf(QString::fromStdString(output), errors)) return cl.Fail(err, "cannot write " + output);
  return 1;
}

}  // namespace dlvr
