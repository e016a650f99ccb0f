#include "cli/check_command.h"

#include <algorithm>
#include <ostream>

#include "check/extended_check.h"
#include "delivery/sibling_media.h"
#include "check/viewer_model.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "components/document_check.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

const char* const kCheckUsage =
    "usage: dlvr check FOLDER [FOLDER...] [--extended] [--format text|tsv|csv|json]\n"
    "\n"
    "Loads FOLDER as a delivery on a fixed disk (no prompts; further FOLDERs of\n"
    "the same delivery as its further media), runs\n"
    "the data check and prints every finding with its 管理項目名, 分類名,\n"
    "ファイル名, 項目名 and 状態:\n"
    "  text  a table with running numbers (the default); \"データは正常です。\"\n"
    "        when nothing is found\n"
    "  tsv   one line per finding, TAB between the five values, no header;\n"
    "        backslash, TAB, CR and LF inside a value written \\\\ \\t \\r \\n\n"
    "  csv   RFC 4180 with a header row and CRLF line ends\n"
    "  json  an array of objects keyed by the five column names\n"
    "With --extended the FOLDERs are the media of one delivery and the full\n"
    "delivery check runs instead: files and folders against the management\n"
    "files and the naming rules, stray and empty files, dates against the\n"
    "construction period, the media against their count. Its findings have\n"
    "the columns 重要度 (エラー / 警告 / 情報), メディア, ファイル・フォルダ, 規則,\n"
    "内容 (a PDF's page count is information); exit 1 when one is an error.\n"
    "Exit 0 when nothing is found, 1 when errors are found, 2 when FOLDER has\n"
    "no INDEX_C.XML or the arguments are wrong.\n";

// The words of a printed list: its five columns and what the text form
// says when the list is empty or not.
struct TListWords {
  const char* Columns[5];
  const char* Clean;
  const char* Found;
};
const TListWords kDataCheckWords = {{"管理項目名", "分類名", "ファイル名", "項目名", "状態"},
                                    "データは正常です。",
                                    "全ての出力データをチェックした結果、以下の不整合が見つかりました。"};
const TListWords kExtendedWords = {{"重要度", "メディア", "ファイル・フォルダ", "規則", "内容"},
                                   "電子納品チェックで問題は見つかりませんでした。",
                                   "電子納品チェックの結果、以下の問題が見つかりました。"};

enum class TFormat { Text, Tsv, Csv, Json };

int Fail(std::ostream& err, const std::string& message) {
  err << "dlvr: check: " << message << "\n";
  return 2;
}

bool ParseFormat(const std::string& s, TFormat& f) {
  if (s == "text") f = TFormat::Text;
  else if (s == "tsv") f = TFormat::Tsv;
  else if (s == "csv") f = TFormat::Csv;
  else if (s == "json") f = TFormat::Json;
  else return false;
  return true;
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char ch : s) {
    if (ch == '"') out.push_back('"');
    out.push_back(ch);
  }
  out.push_back('"');
  return out;
}

// Columns on a terminal: a double-byte character of Shift-JIS takes two,
// a single byte one.
std::size_t DisplayWidth(const std::string& s) { return Cp932Length(s); }

void Pad(std::ostream& out, std::size_t n) {
  for (; n > 0; --n) out.put(' ');
}

}  // namespace

TFixedDriveScope::TFixedDriveScope() { SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; }); }
TFixedDriveScope::~TFixedDriveScope() { SetDriveTypeOverride(nullptr); }

bool TakeOption(const std::vector<std::string>& args, std::size_t& i, const std::string& name, std::string& value) {
  const std::string& a = args[i];
  if (a.size() > name.size() && a.compare(0, name.size() + 1, name + "=") == 0) {
    value = a.substr(name.size() + 1);
    return true;
  }
  if (a != name) return false;
  // Past the end when the value is missing.
  if (++i < args.size()) value = args[i];
  return true;
}

std::string ValidUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t from = pos;
    if (NextCodePoint(s, pos) == kReplacementChar && pos - from == 1)
      AppendUtf8(out, kReplacementChar);
    else
      out.append(s, from, pos - from);
  }
  return out;
}

std::string EscapeCell(const std::string& s) {
  if (s.find_first_of("\\\t\r\n") == std::string::npos) return s;
  std::string out;
  out.reserve(s.size() + 8);
  for (char ch : s) {
    switch (ch) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out.push_back(ch);
    }
  }
  return out;
}

void WriteErrorsTsv(const TCheckErrorList& errors, std::ostream& out) {
  for (const TCheckErrorRow& row : errors) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) out.put('\t');
      out << EscapeCell(row[c]);
    }
    out.put('\n');
  }
}

namespace {

void WriteListText(const TCheckErrorList& errors, std::ostream& out, const TListWords& words) {
  if (errors.empty()) {
    out << words.Clean << "\n";
    return;
  }
  // Rows as shown, with the running number first; every column padded to
  // its widest cell, the last one not padded.
  std::vector<std::array<std::string, 6>> cells;
  cells.reserve(errors.size() + 1);
  cells.push_back({"NO.", words.Columns[0], words.Columns[1], words.Columns[2], words.Columns[3], words.Columns[4]});
  for (std::size_t i = 0; i < errors.size(); ++i) {
    const TCheckErrorRow& e = errors[i];
    cells.push_back({std::to_string(i + 1), EscapeCell(e[0]), EscapeCell(e[1]), EscapeCell(e[2]), EscapeCell(e[3]),
                     EscapeCell(e[4])});
  }
  std::array<std::size_t, 6> width{};
  for (const auto& row : cells)
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], DisplayWidth(row[c]));

  out << words.Found << "\n";
  for (std::size_t r = 0; r < cells.size(); ++r) {
    const auto& row = cells[r];
    // The number right-aligned (its title too).
    Pad(out, width[0] - DisplayWidth(row[0]));
    out << row[0];
    for (std::size_t c = 1; c < row.size(); ++c) {
      out << "  " << row[c];
      if (c + 1 < row.size()) Pad(out, width[c] - DisplayWidth(row[c]));
    }
    out.put('\n');
  }
}

void WriteListCsv(const TCheckErrorList& errors, std::ostream& out, const TListWords& words) {
  auto record = [&out](const auto& fields) {
    bool first = true;
    for (const auto& f : fields) {
      if (!first) out.put(',');
      first = false;
      out << CsvField(f);
    }
    out << "\r\n";
  };
  record(std::array<std::string, 5>{words.Columns[0], words.Columns[1], words.Columns[2], words.Columns[3],
                                    words.Columns[4]});
  for (const TCheckErrorRow& row : errors) record(row);
}

void WriteListJson(const TCheckErrorList& errors, std::ostream& out, const TListWords& words) {
  JsonWriter w;
  w.BeginArray();
  for (const TCheckErrorRow& row : errors) {
    w.BeginObject();
    for (std::size_t c = 0; c < row.size(); ++c) {
      w.Key(words.Columns[c]);
      w.String(row[c]);
    }
    w.EndObject();
  }
  w.EndArray();
  out << w.Text();
}

}  // namespace

namespace {

// The viewer refuses a folder without INDEX_C.XML with its message box;
// here the message goes to stderr, its line breaks as LF. False when refused.
bool RefuseWithoutIndex(const std::string& folder, std::ostream& err) {
  if (HasIndexFile(folder)) return true;
  std::string message = NoIndexMessage(WithTrailingSlash(folder));
  std::replace(message.begin(), message.end(), '\r', '\n');
  err << message << "\n";
  return false;
}

}  // namespace

int LoadAndCheckFolder(const std::vector<std::string>& folders, TCheckErrorList& errors, std::ostream& err) {
  for (const std::string& folder : folders)
    if (!RefuseWithoutIndex(folder, err)) return 2;
  TFixedDriveScope fixed;
  DeliveryStore store;
  TViewerModel model(store);
  for (const std::string& folder : folders) model.View.Load(folder);
  RunDataCheck(model.View);
  errors.swap(model.View.ErrorList);
  return 0;
}

namespace {

void WriteList(const TCheckErrorList& rows, TFormat format, std::ostream& out, const TListWords& words) {
  switch (format) {
    case TFormat::Text: WriteListText(rows, out, words); break;
    case TFormat::Tsv: WriteErrorsTsv(rows, out); break;
    case TFormat::Csv: WriteListCsv(rows, out, words); break;
    case TFormat::Json: WriteListJson(rows, out, words); break;
  }
}

// The extended check of the media given: each folder loaded in turn as the
// tree loads it (a folder of the delivery loaded is a further medium).
int ExtendedCheck(const std::vector<std::string>& folders, TFormat format, std::ostream& out, std::ostream& err) {
  for (const std::string& f : folders)
    if (!RefuseWithoutIndex(f, err)) return 2;
  TFixedDriveScope fixed;
  DeliveryStore store;
  TViewerModel model(store);
  std::vector<TCheckedMedium> given;
  for (const std::string& f : folders) {
    model.View.Load(f);
    // The medium just read is the last one reachable.
    if (!model.View.ReachableMedia().empty()) {
      const auto& m = model.View.ReachableMedia().back();
      given.push_back({m.MediaNo, m.Folder});
    }
  }
  // Media of the delivery not given but lying beside the first: named on
  // stderr, so that a script can give them too.
  if (!given.empty() && !model.View.AllMediaLoaded())
    for (const TSiblingMedium& s : FindSiblingMedia(given.front().Folder).Media)
      if (s.SameRecord && std::none_of(given.begin(), given.end(), [&](const TCheckedMedium& m) {
            return m.MediaNo == s.MediaNo;
          }))
        err << "dlvr: check: 同じ工事の媒体が隣にあります（続けて指定できます）: " << s.Folder << "（メディア番号 "
            << s.MediaNo << "）\n";
  TExtendedInput input = ExtendedInputFor(model.View);
  input.Media = given;  // a medium given twice is a finding of its own
  // Documents are opened with Qt (PDFs, images): an application object.
  const auto app = EnsureGuiApplication();
  input.CheckDocument = CheckDocumentFile;
  const std::vector<TFinding> findings = RunExtendedCheck(input);
  if (format == TFormat::Text && !given.empty()) {
    // The edition the delivery follows heads the text.
    out << "要領の版: " << EditionText(DeliveryEdition(given.front().Folder)) << "\n";
  }
  TCheckErrorList rows;
  for (const TFinding& f : findings) rows.push_back({SeverityName(f.Severity), f.Medium, f.Path, f.Rule, f.Found});
  // Information alone (the documents' page counts) is listed under the
  // line that says the delivery is sound.
  TListWords words = kExtendedWords;
  if (!HasProblem(findings)) words.Found = words.Clean;
  WriteList(rows, format, out, words);
  return HasError(findings) ? 1 : 0;
}

}  // namespace

void WriteErrorsText(const TCheckErrorList& errors, std::ostream& out) { WriteListText(errors, out, kDataCheckWords); }
void WriteErrorsCsv(const TCheckErrorList& errors, std::ostream& out) { WriteListCsv(errors, out, kDataCheckWords); }
void WriteErrorsJson(const TCheckErrorList& errors, std::ostream& out) { WriteListJson(errors, out, kDataCheckWords); }

int CmdCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  TFormat format = TFormat::Text;
  bool extended = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out << kCheckUsage;
      return 0;
    }
    if (std::string v; TakeOption(args, i, "--format", v)) {
      if (i >= args.size()) return Fail(err, "--format needs a value");
      if (!ParseFormat(v, format)) return Fail(err, "--format takes text, tsv, csv or json, not " + v);
      continue;
    }
    if (a == "--extended") {
      extended = true;
      continue;
    }
    if (a.size() > 1 && a[0] == '-') return Fail(err, "unknown option " + a);
    positional.push_back(a);
  }
  if (positional.empty()) return Fail(err, "missing FOLDER");
  for (const std::string& f : positional)
    if (!DirExists(f)) return Fail(err, "not a folder: " + f);
  if (extended) return ExtendedCheck(positional, format, out, err);

  TCheckErrorList errors;
  if (int code = LoadAndCheckFolder(positional, errors, err)) return code;

  WriteList(errors, format, out, kDataCheckWords);
  return errors.empty() ? 0 : 1;
}

}  // namespace dlvr
