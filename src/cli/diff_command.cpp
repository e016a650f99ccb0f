#include "cli/diff_command.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "check/data_check.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/json.h"
#include "compare/delivery_diff.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

const char* const kDiffUsage =
    "usage: dlvr diff OLD NEW [--old-media FOLDER]... [--new-media FOLDER]...\n"
    "                 [--format text|tsv|json]\n"
    "\n"
    "Compares the delivery in OLD (with its further media) with its\n"
    "resubmission in NEW. Records are matched by identity, not by position:\n"
    "drawings by 図面ファイル名; meetings, plans and other documents by their\n"
    "original files' names, else by name and date; photos by 写真ファイル名\n"
    "(else シリアル番号). Files are compared by path (without regard to case)\n"
    "and SHA-256 of their content; the management files as records only.\n"
    "One change a line:\n"
    "  tsv   change (added, removed, changed, moved) TAB what (file, record,\n"
    "        field) TAB where TAB old value TAB new value; backslash, TAB, CR\n"
    "        and LF inside a value written \\\\ \\t \\r \\n\n"
    "  text  the same as a titled list for reading (the default)\n"
    "  json  an array of objects keyed change, what, where, old, new\n"
    "Exit 0 when the deliveries are the same, 1 when anything differs, 2 on\n"
    "usage errors.\n";

// The words of the text form.
const char* const kDiffKindWords[] = {DLVR_TR_NOOP("CliDiff", "追加"), DLVR_TR_NOOP("CliDiff", "削除"),
                                      DLVR_TR_NOOP("CliDiff", "変更"), DLVR_TR_NOOP("CliDiff", "移動")};
const char* const kDiffWhatWords[] = {DLVR_TR_NOOP("CliDiff", "ファイル"), DLVR_TR_NOOP("CliDiff", "記録"),
                                      DLVR_TR_NOOP("CliDiff", "項目")};

// The folders of one side as the text form's title names them.
std::string DiffSideFolders(const std::vector<std::string>& folders) {
  std::string out;
  for (const std::string& f : folders) out += (out.empty() ? "" : ", ") + f;
  return ValidUtf8(out);
}

std::array<std::string, 5> DiffCells(const TChange& c) {
  return {TChange::KindName(c.Kind), TChange::WhatName(c.What), c.Where, c.Old, c.New};
}

void WriteDiffTsv(const std::vector<TChange>& changes, std::ostream& out) {
  for (const TChange& c : changes) {
    const auto cells = DiffCells(c);
    for (std::size_t i = 0; i < cells.size(); ++i) out << (i ? "\t" : "") << EscapeCell(ValidUtf8(cells[i]));
    out << '\n';
  }
}

void WriteDiffJson(const std::vector<TChange>& changes, std::ostream& out) {
  static const char* const keys[] = {"change", "what", "where", "old", "new"};
  Json array = Json::array();
  for (const TChange& c : changes) {
    const auto cells = DiffCells(c);
    Json object = Json::object();
    for (std::size_t i = 0; i < cells.size(); ++i) object[keys[i]] = JsonString(cells[i]);
    array.push_back(std::move(object));
  }
  out << JsonText(array, 1);
}

// A title naming both sides and the count, then one change a line: its
// kind and what changed padded to their widest word, the place, and for a
// value "old → new".
void WriteDiffText(const std::vector<TChange>& changes, const std::vector<std::string>& oldFolders,
                   const std::vector<std::string>& newFolders, std::ostream& out) {
  out << Arg(Tr("CliDiff", "比較元（旧）: %1"), {DiffSideFolders(oldFolders)}) << "\n";
  out << Arg(Tr("CliDiff", "比較先（新）: %1"), {DiffSideFolders(newFolders)}) << "\n";
  if (changes.empty()) {
    out << Tr("CliDiff", "相違はありません。") << "\n";
    return;
  }
  out << Arg(Tr("CliDiff", "相違が %1 件あります。"), {std::to_string(changes.size())}) << "\n";
  std::vector<std::string> kinds, whats;
  std::size_t kindWidth = 0, whatWidth = 0;
  for (const char* w : kDiffKindWords) kindWidth = std::max(kindWidth, Cp932Length(kinds.emplace_back(Tr("CliDiff", w))));
  for (const char* w : kDiffWhatWords) whatWidth = std::max(whatWidth, Cp932Length(whats.emplace_back(Tr("CliDiff", w))));
  for (const TChange& c : changes) {
    const std::string& kind = kinds[static_cast<std::size_t>(c.Kind)];
    const std::string& what = whats[static_cast<std::size_t>(c.What)];
    out << kind << std::string(kindWidth - Cp932Length(kind), ' ') << "  " << what
        << std::string(whatWidth - Cp932Length(what), ' ') << "  ";
    if (c.Kind == TChangeKind::Moved) {
      out << EscapeCell(ValidUtf8(c.Old)) << " → " << EscapeCell(ValidUtf8(c.New));
    } else {
      out << EscapeCell(ValidUtf8(c.Where));
      if (c.What == TChangeWhat::Field)
        out << ": " << EscapeCell(ValidUtf8(c.Old)) << " → " << EscapeCell(ValidUtf8(c.New));
    }
    out << '\n';
  }
}

// The media of one side loaded; nothing when they are fine, else the exit
// code after the message.
std::optional<int> ReadDiffSide(TArguments& cl, const std::vector<std::string>& folders, TComparedDelivery& side,
                                std::ostream& err) {
  if (const auto bad = cl.CheckFolders(folders, err)) return bad;
  if (!HasIndexFile(folders.front())) return cl.Fail(err, "no INDEX_C.XML in " + folders.front());
  std::size_t loaded = 0;
  side = ReadComparedDelivery(folders, &loaded);
  if (loaded < folders.size())
    return cl.Fail(err, "not all of " + DiffSideFolders(folders) + " are media of one delivery");
  return std::nullopt;
}

}  // namespace

int CmdDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("diff", kDiffUsage);
  std::vector<std::string> positional, oldMedia, newMedia;
  std::string formatName = "text";
  CLI::App& app = cl.App();
  app.add_option("FOLDER", positional);
  app.add_option("--old-media", oldMedia)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->allow_extra_args(false);
  app.add_option("--new-media", newMedia)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->allow_extra_args(false);
  app.add_option("--format", formatName)->check(OneOf({"text", "tsv", "json"}));
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (positional.size() != 2) return cl.Fail(err, positional.size() < 2 ? "needs OLD and NEW" : "takes OLD and NEW only");

  std::vector<std::string> oldFolders{positional[0]}, newFolders{positional[1]};
  oldFolders.insert(oldFolders.end(), oldMedia.begin(), oldMedia.end());
  newFolders.insert(newFolders.end(), newMedia.begin(), newMedia.end());
  TFixedDriveScope fixed;
  TComparedDelivery older, newer;
  if (const auto bad = ReadDiffSide(cl, oldFolders, older, err)) return *bad;
  if (const auto bad = ReadDiffSide(cl, newFolders, newer, err)) return *bad;

  TCompareOptions options;
  options.OnProblem = [&err](const std::string& path, const std::string& why) {
    err << "dlvr: diff: " << Arg(Tr("CliDiff", "読み取れないファイル: %1（%2）"), {ValidUtf8(path), why}) << "\n";
  };
  const std::vector<TChange> changes = CompareDeliveries(older, newer, options);
  if (formatName == "tsv")
    WriteDiffTsv(changes, out);
  else if (formatName == "json")
    WriteDiffJson(changes, out);
  else
    WriteDiffText(changes, oldFolders, newFolders, out);
  return changes.empty() ? 0 : 1;
}

}  // namespace dlvr
