// dlvr html: one XML file of a delivery transformed through its stylesheet
// with the preview's sandboxed loader, written as HTML.
#include <ostream>
#include <string>
#include <vector>

#include "check/viewer_model.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "delivery/helpers.h"
#include "delivery/xml_sandbox.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"
#include "platform/translate.h"
#include "model/tree_view.h"

namespace dlvr {
namespace {

const char* const kHtmlUsage =
    "usage: dlvr html FILE -o OUT.html\n"
    "\n"
    "Transforms one XML file of a delivery through the stylesheet its\n"
    "xml-stylesheet instruction names (a management file of the drawing,\n"
    "meeting, plan or other-document class through the class's built-in\n"
    "stylesheet, as the viewer shows it) and writes the HTML to OUT.html.\n"
    "It reads exactly what the viewer's preview may read: regular files inside\n"
    "the delivery (the folder holding INDEX_C.XML up to two levels above FILE,\n"
    "else FILE's folder), never the network, never outside through a link.\n"
    "Exit 0; 1 when the file cannot be transformed (the reason on stderr);\n"
    "2 on usage errors or when OUT.html lies inside the delivery.\n";

int Failed(std::ostream& err, const std::string& file, const std::string& reason) {
  err << "dlvr: html: " << file << ": " << reason << "\n";
  return 1;
}

// The class whose built-in stylesheet the viewer shows the file with (1-4,
// 6), or 0.
int StyledClassOf(const std::string& file) {
  const std::string name = AsciiUpper(ExtractFileName(file));
  for (int cls : {1, 2, 3, 4, 6})
    if (name == DocClassTable[cls].Xml) return cls;
  return 0;
}

// The viewer's display copy of a management file in `work`: the file with
// the class's stylesheet instruction, its DTD and the stylesheet beside it.
// Returns the copy's path, "" when it cannot be made.
std::string MakeDisplayCopy(const std::string& file, int cls, const std::string& work, std::string& reason) {
  const TDocClassRow& row = DocClassTable[cls];
  TXmlSandbox readable;
  readable.Folders = {ExtractFilePath(AbsolutePath(file))};
  std::string bytes;
  if (TSandboxStatus s = SandboxReadFile(readable, file, bytes); s != TSandboxStatus::Ok) {
    reason = SandboxStatusText(s);
    return std::string();
  }
  std::string dtd;
  const std::string dtdPath = ResolveCase(JoinPath(ExtractFilePath(file), row.Dtd));
  if (SandboxReadFile(readable, dtdPath, dtd) == TSandboxStatus::Ok) WriteWholeFile(work + row.Dtd, dtd);
  TViewerModel model;
  const std::string text = model.View.Services.StylesheetText(cls);
  std::string crlf;
  for (std::string_view line : SplitLines(text)) {
    crlf.append(line);
    crlf += "\r\n";
  }
  const std::string copy = work + row.Xml;
  if (!WriteWholeFile(work + row.Xsl, Utf8ToCp932(crlf)) ||
      !WriteWholeFile(copy, InsertStylesheetText(bytes, row.Xsl))) {
    reason = Tr("CliHtml", "作業用のコピーを作れません。");
    return std::string();
  }
  return copy;
}

std::string TransformReason(const TXsltResult& r) {
  using S = TXsltResult::Status;
  std::string reason;
  switch (r.State) {
    case S::Ok: return std::string();
    case S::NoStylesheet: return Tr("CliHtml", "スタイルシートの指定がありません。");
    case S::StylesheetMissing: reason = Arg(Tr("CliHtml", "スタイルシート %1 が見つかりません。"), {r.Href}); break;
    case S::StylesheetUnreadable: reason = Arg(Tr("CliHtml", "スタイルシート %1 を読めません。"), {r.Href}); break;
    case S::TransformFailed: reason = Arg(Tr("CliHtml", "スタイルシート %1 で変換できません。"), {r.Href}); break;
    case S::TimedOut: reason = Arg(Tr("CliHtml", "スタイルシート %1 の変換に時間がかかりすぎます。"), {r.Href}); break;
    case S::TooLarge: reason = Arg(Tr("CliHtml", "スタイルシート %1 の変換結果が大きすぎます。"), {r.Href}); break;
  }
  if (!r.Refused.empty()) reason += " " + Arg(Tr("CliHtml", "読み込みを拒否: %1"), {r.Refused.front()});
  // libxslt's last line says what went wrong.
  std::string said = r.Messages;
  while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
  said = said.substr(said.rfind('\n') == std::string::npos ? 0 : said.rfind('\n') + 1);
  if (!said.empty()) reason += " (" + said + ")";
  return reason;
}

}  // namespace

int CmdHtml(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("html", kHtmlUsage);
  std::vector<std::string> positional;
  std::string output;
  cl.App().add_option("FILE", positional);
  cl.App().add_option("-o,--output", output);
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (positional.empty()) return cl.Fail(err, "missing FILE");
  if (positional.size() > 1) return cl.Fail(err, "unexpected argument " + positional[1]);
  if (output.empty()) return cl.Fail(err, "missing -o OUT.html");
  const std::string file = AbsolutePath(positional[0]);
  if (!FileExists(file) && !DirExists(file)) return cl.Fail(err, "no such file: " + positional[0]);
  const std::string delivery = DeliveryFolderOf(file);
  if (PathLiesInside(output, delivery) || PathLiesInside(output, ExtractFilePath(file)))
    return cl.Fail(err, output + " lies inside the delivery folder " + delivery);

  TXmlSandbox sandbox;
  sandbox.Folders = {delivery};
  std::string shown = file;
  std::string work;
  struct RemoveWork {
    std::string& folder;
    ~RemoveWork() {
      if (!folder.empty()) RemoveTree(folder);
    }
  } removeWork{work};
  if (const int cls = StyledClassOf(file)) {
    const std::string privateFolder = PrivateWorkFolder();
    work = privateFolder.empty() ? std::string() : MakeTempDir("html", privateFolder);
    if (work.empty()) return Failed(err, positional[0], Tr("CliHtml", "作業フォルダを作れません。"));
    std::string reason;
    shown = MakeDisplayCopy(file, cls, work, reason);
    if (shown.empty()) return Failed(err, positional[0], reason);
    sandbox.Folders.push_back(work);
  }

  TXmlParseResult parsed = SandboxParseXml(sandbox, shown);
  if (!parsed) {
    std::string reason = SandboxStatusText(parsed.Status);
    if (parsed.Line > 0)
      reason += " (" + Arg(Tr("CliHtml", "%1 行目: %2"), {std::to_string(parsed.Line), parsed.Reason}) + ")";
    return Failed(err, positional[0], reason);
  }
  TXsltResult r = SandboxTransform(sandbox, parsed.Doc.get(), shown);
  if (!r) return Failed(err, positional[0], TransformReason(r));
  if (!ReplaceWholeFile(output, r.Output)) return cl.Fail(err, "cannot write " + output);
  return 0;
}

}  // namespace dlvr
