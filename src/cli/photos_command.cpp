// dlvr photos: the photo records of a delivery's media, the photo checks, or
// the photo ledger as a PDF file.
#include <QString>
#include <QStringList>

#include <ostream>

#include "check/viewer_model.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "components/photo_ledger.h"
#include "photo/photo_check.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

const char* const kPhotosUsage =
    "usage: dlvr photos FOLDER [FOLDER...] [--format tsv|json] [--check]\n"
    "       dlvr photos FOLDER [FOLDER...] --ledger OUT.pdf [--per-page 2|3|4] [--group NAME]\n"
    "\n"
    "Loads FOLDER as a delivery on a fixed disk (further FOLDERs of the same\n"
    "delivery as further media) and reads the photo management file\n"
    "PHOTO/PHOTO.XML of each medium that has one. Prints one line per photo\n"
    "record, media in load order, records in file order:\n"
    "  tsv   (the default) シリアル番号, 写真ファイル名, exists (1 or 0),\n"
    "        メディア番号, 写真-大分類, 写真区分, 工種, 種別, 細別, 写真タイトル,\n"
    "        撮影箇所, 撮影年月日, 代表写真, 提出頻度写真 and the 参考図ファイル名\n"
    "        values joined with \"|\", TAB between them, no header; backslash,\n"
    "        TAB, CR and LF inside a value written \\\\ \\t \\r \\n\n"
    "  json  an array of objects with those keys and \"extra\", the unknown\n"
    "        elements as {\"element\", \"value\"}\n"
    "With --check it prints the photo checks' findings instead: 写真ファイル名,\n"
    "項目名 and 状態 (tsv), or objects with those keys (json).\n"
    "With --ledger it writes the photo ledger to OUT.pdf instead, as the photo\n"
    "window prints it: A4 portrait, --per-page photos a page (default 3), each\n"
    "beside its fields, 工事名称 and 工事番号 in the header, page numbers and the\n"
    "print date in the footer; photos by group, groups in the order they first\n"
    "come, each group's by serial number. --group NAME prints one group only:\n"
    "its values from 写真-大分類 down, joined with \"/\" (\"工事/施工状況写真\").\n"
    "A photo that cannot be placed prints as a box that says why and is named\n"
    "on stderr (exit 1); OUT.pdf inside the delivery is refused (exit 2).\n"
    "Exit 0; 1 when --check finds something or a PHOTO.XML could not be read\n"
    "whole (the records before its break are listed, the reason on stderr); 2\n"
    "when no loaded medium has a PHOTO.XML, a FOLDER is not a folder or the\n"
    "arguments are wrong.\n";

// The record's values in the order of the listing.
struct TColumn {
  const char* Key;
  std::string TPhotoRecord::*Field;
};
constexpr TColumn kHead[] = {{"シリアル番号", &TPhotoRecord::Serial}, {"写真ファイル名", &TPhotoRecord::FileName}};
constexpr TColumn kTail[] = {
    {"メディア番号", &TPhotoRecord::MediaNo}, {"写真-大分類", &TPhotoRecord::MajorClass},
    {"写真区分", &TPhotoRecord::Division},    {"工種", &TPhotoRecord::WorkType},
    {"種別", &TPhotoRecord::Kind},            {"細別", &TPhotoRecord::Detail},
    {"写真タイトル", &TPhotoRecord::Title},   {"撮影箇所", &TPhotoRecord::Place},
    {"撮影年月日", &TPhotoRecord::Date},      {"代表写真", &TPhotoRecord::Representative},
    {"提出頻度写真", &TPhotoRecord::Frequency},
};
const char* const kDrawingsKey = "参考図ファイル名";
const char* const kFindingKeys[3] = {"写真ファイル名", "項目名", "状態"};

void WriteRecordsTsv(const TPhotoStore& store, std::ostream& out) {
  for (const TPhotoRecord& r : store.Records()) {
    for (const TColumn& c : kHead) out << EscapeCell(r.*c.Field) << '\t';
    out << (r.Exists ? '1' : '0');
    for (const TColumn& c : kTail) out << '\t' << EscapeCell(r.*c.Field);
    out << '\t';
    for (std::size_t i = 0; i < r.References.size(); ++i) out << (i ? "|" : "") << EscapeCell(r.References[i].FileName);
    out << '\n';
  }
}

void WriteRecordsJson(const TPhotoStore& store, std::ostream& out) {
  Json list = Json::array();
  for (const TPhotoRecord& r : store.Records()) {
    Json& object = list.emplace_back(Json::object());
    for (const TColumn& c : kHead) object[c.Key] = JsonString(r.*c.Field);
    object["exists"] = r.Exists;
    for (const TColumn& c : kTail) object[c.Key] = JsonString(r.*c.Field);
    Json& references = object[kDrawingsKey] = Json::array();
    for (const TPhotoReference& ref : r.References) references.push_back(JsonString(ref.FileName));
    Json& extra = object["extra"] = Json::array();
    for (const TPhotoExtra& e : r.Extra) extra.push_back(Json{{"element", JsonString(e.Element)}, {"value", JsonString(e.Value)}});
  }
  out << JsonText(list, 1);
}

void WriteFindings(const std::vector<TPhotoFinding>& findings, bool json, std::ostream& out) {
  Json list = Json::array();
  for (const TPhotoFinding& f : findings) {
    // A stray file's name is as found on disk.
    const std::string values[3] = {ValidUtf8(f.FileName), f.Field, f.State};
    if (json) {
      Json& object = list.emplace_back(Json::object());
      for (int c = 0; c < 3; ++c) object[kFindingKeys[c]] = JsonString(values[c]);
    } else {
      out << EscapeCell(values[0]) << '\t' << EscapeCell(values[1]) << '\t' << EscapeCell(values[2]) << '\n';
    }
  }
  if (json) out << JsonText(list, 1);
}

// The ledger's part of the command: exit 0 when every photo was placed, 1
// when some was not (named on stderr), 2 when the group has no photo or
// the file cannot be written.
int WriteLedger(const TArguments& cl, const TPhotoStore& photos, const TMdlTreeNodeIndex& project,
                const std::string& output, int perPage, const std::string& group, std::ostream& err) {
  TPhotoIndex index;
  index.Build(photos.Records());
  TPhotoFilter filter;
  if (!group.empty()) filter.Group = QString::fromStdString(group).split(u'/');
  std::vector<int> rows = index.Select(filter);
  if (rows.empty()) return cl.Fail(err, "no photo in the group " + group);
  index.SortGrouped(rows, TPhotoSort::Serial);
  TPhotoLedgerOptions options;
  options.PerPage = perPage;
  options.ProjectName = QString::fromStdString(project.KojiName);
  options.ProjectNumber = QString::fromStdString(project.KojiNo);
  auto app = EnsureGuiApplication();
  const TPhotoLedgerResult result = WritePhotoLedgerPdf(QString::fromStdString(output), photos, index, rows, options);
  if (!result.Written) return cl.Fail(err, "cannot write " + output);
  for (const TPhotoLedgerProblem& p : result.Unplaced)
    err << "dlvr: photos: " << ValidUtf8(photos.Records()[static_cast<std::size_t>(p.Record)].FileName) << ": "
        << p.Reason.toStdString() << "\n";
  return result.Unplaced.empty() ? 0 : 1;
}

}  // namespace

int CmdPhotos(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("photos", kPhotosUsage);
  std::vector<std::string> folders;
  std::string format = "tsv";
  bool check = false;
  std::string ledger, group;
  int perPage = 3;
  CLI::App& app = cl.App();
  app.add_option("FOLDER", folders);
  app.add_option("--format", format)->check(OneOf({"tsv", "json"}));
  app.add_flag("--check", check);
  CLI::Option* ledgerOption = app.add_option("--ledger", ledger);
  CLI::Option* perPageOption = app.add_option("--per-page", perPage)->check(OneOf({"2", "3", "4"}));
  CLI::Option* groupOption = app.add_option("--group", group);
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (ledgerOption->count() == 0 && (perPageOption->count() > 0 || groupOption->count() > 0))
    return cl.Fail(err, "--per-page and --group go with --ledger");
  if (ledgerOption->count() > 0 && check) return cl.Fail(err, "--ledger and --check exclude each other");
  if (ledgerOption->count() > 0 && ledger.empty()) return cl.Fail(err, "missing OUT.pdf after --ledger");
  const bool json = format == "json";
  if (const auto bad = cl.CheckFolders(folders, err)) return *bad;

  // The media as the tree loads them: a folder of the delivery loaded is a
  // further medium, any other folder starts the delivery anew.
  TFixedDriveScope fixed;
  DeliveryStore deliveryStore;
  TViewerModel model(deliveryStore);
  TMdlTreeView& view = model.View;
  for (const std::string& f : folders) view.Load(f);
  // The media of the delivery loaded last, as the viewer's photo window sees them.
  std::vector<TPhotoMedium> media;
  for (const auto& m : view.ReachableMedia()) media.push_back({m.MediaNo, m.Folder});
  TPhotoStore photos;
  photos.Load(media);
  if (photos.Empty())
    return cl.Fail(err, Tr("CliPhotos", "読み込んだメディアに写真管理ファイル（PHOTO/PHOTO.XML）がありません。"));

  // A photo management file that could not be read whole: what came before
  // its break is listed, the reason goes to stderr, and the exit status
  // says so (never a success that hides records).
  bool broken = false;
  for (const TPhotoFile& f : photos.Files()) {
    if (!f.Broken) continue;
    broken = true;
    err << "dlvr: photos: " << f.XmlPath << (f.BrokenLine > 0 ? ":" + std::to_string(f.BrokenLine) : std::string())
        << ": " << f.BrokenReason << "\n";
  }
  if (!ledger.empty()) {
    // Nothing is ever written into a delivery, not even over one of its files.
    for (const std::string& folder : folders)
      if (PathLiesInside(ledger, folder)) return cl.Fail(err, ledger + " lies inside the delivery folder " + folder);
    const int code = WriteLedger(cl, photos, deliveryStore.IndexRecords[fkIndex], ledger, perPage, group, err);
    return code == 0 && broken ? 1 : code;
  }
  if (!check) {
    if (json)
      WriteRecordsJson(photos, out);
    else
      WriteRecordsTsv(photos, out);
    return broken ? 1 : 0;
  }
  const TMdlTreeNodeIndex& index = deliveryStore.IndexRecords[fkIndex];
  const std::vector<TPhotoFinding> findings = CheckPhotos(photos, {index.StartDate, index.EndDate});
  WriteFindings(findings, json, out);
  return findings.empty() && !broken ? 0 : 1;
}

}  // namespace dlvr
