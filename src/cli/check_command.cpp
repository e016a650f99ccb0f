#include "cli/check_command.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <ostream>

#include "check/extended_check.h"
#include "delivery/sibling_media.h"
#include "check/viewer_model.h"
#include "cli/arguments.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "components/document_check.h"
#include "components/pdf_facts.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

const char* const kCheckUsage =
    "usage: dlvr check FOLDER [FOLDER...] [--extended [--pdf-timeout S]]\n"
    "                  [--format text|tsv|csv|json]\n"
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
    "A PDF is read in a worker process with at most 1 GB of memory and S\n"
    "seconds (--pdf-timeout, default 10); one that takes longer or makes the\n"
    "worker fail is an error (PDF を読み取れませんでした（時間切れ）).\n"
    "Exit 0 when nothing is found, 1 when errors are found, 2 when FOLDER has\n"
    "no INDEX_C.XML or the arguments are wrong.\n";

// The words of a printed list: its five columns and what the text form
// says when the list is empty or not. The columns are the keys of the JSON
// objects as they stand, and shown in the user's language in the text and
// csv forms.
struct TListWords {
  const char* Columns[5];
  const char* Clean;
  const char* Found;
};
const TListWords kDataCheckWords = {
    {DLVR_TR_NOOP("CliCheck", "管理項目名"), DLVR_TR_NOOP("CliCheck", "分類名"), DLVR_TR_NOOP("CliCheck", "ファイル名"),
     DLVR_TR_NOOP("CliCheck", "項目名"), DLVR_TR_NOOP("CliCheck", "状態")},
    DLVR_TR_NOOP("CliCheck", "データは正常です。"),
    DLVR_TR_NOOP("CliCheck", "全ての出力データをチェックした結果、以下の不整合が見つかりました。")};
const TListWords kExtendedWords = {
    {DLVR_TR_NOOP("CliCheck", "重要度"), DLVR_TR_NOOP("CliCheck", "メディア"),
     DLVR_TR_NOOP("CliCheck", "ファイル・フォルダ"), DLVR_TR_NOOP("CliCheck", "規則"), DLVR_TR_NOOP("CliCheck", "内容")},
    DLVR_TR_NOOP("CliCheck", "電子納品チェックで問題は見つかりませんでした。"),
    DLVR_TR_NOOP("CliCheck", "電子納品チェックの結果、以下の問題が見つかりました。")};

// A word of the table as shown.
std::string Shown(const char* word) { return Tr("CliCheck", word); }

enum class TFormat { Text, Tsv, Csv, Json };

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

namespace {

// The writers read a list through `cell(row, column)` (columns 0 to 4), so
// that a list of another shape is written without being copied into rows.
template <class Cell>
void WriteListTsv(std::size_t rows, const Cell& cell, std::ostream& out) {
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < 5; ++c) {
      if (c) out.put('\t');
      out << EscapeCell(cell(r, c));
    }
    out.put('\n');
  }
}

template <class Cell>
void WriteListText(std::size_t rows, const Cell& rowCell, std::ostream& out, const TListWords& words) {
  if (rows == 0) {
    out << Shown(words.Clean) << "\n";
    return;
  }
  // Rows as shown, with the running number first; every column padded to
  // its widest cell, the last one not padded. The cells are made twice,
  // for the widths and for the text, rather than held for all rows.
  const std::array<std::string, 6> titles = {"NO.", Shown(words.Columns[0]), Shown(words.Columns[1]),
                                             Shown(words.Columns[2]), Shown(words.Columns[3]),
                                             Shown(words.Columns[4])};
  auto cell = [&](std::size_t r, std::size_t c) {
    if (r == 0) return titles[c];
    return c == 0 ? std::to_string(r) : EscapeCell(rowCell(r - 1, c - 1));
  };
  std::array<std::size_t, 6> width{};
  for (std::size_t r = 0; r <= rows; ++r)
    for (std::size_t c = 0; c < width.size(); ++c) width[c] = std::max(width[c], DisplayWidth(cell(r, c)));

  out << Shown(words.Found) << "\n";
  for (std::size_t r = 0; r <= rows; ++r) {
    // The number right-aligned (its title too).
    const std::string number = cell(r, 0);
    Pad(out, width[0] - DisplayWidth(number));
    out << number;
    for (std::size_t c = 1; c < width.size(); ++c) {
      const std::string text = cell(r, c);
      out << "  " << text;
      if (c + 1 < width.size()) Pad(out, width[c] - DisplayWidth(text));
    }
    out.put('\n');
  }
}

template <class Cell>
void WriteListCsv(std::size_t rows, const Cell& cell, std::ostream& out, const TListWords& words) {
  for (std::size_t c = 0; c < 5; ++c) out << (c ? "," : "") << CsvField(Shown(words.Columns[c]));
  out << "\r\n";
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < 5; ++c) out << (c ? "," : "") << CsvField(cell(r, c));
    out << "\r\n";
  }
}

// The same text as JsonText(…, 1) of the whole array, written a row at a
// time.
template <class Cell>
void WriteListJson(std::size_t rows, const Cell& cell, std::ostream& out, const TListWords& words) {
  if (rows == 0) {
    out << JsonText(Json::array(), 1);
    return;
  }
  out << "[\n";
  for (std::size_t r = 0; r < rows; ++r) {
    Json object = Json::object();
    for (std::size_t c = 0; c < 5; ++c) object[words.Columns[c]] = JsonString(cell(r, c));
    // The object's lines one blank further in.
    std::string text = JsonText(object, 1);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    out.put(' ');
    for (char ch : text) {
      out.put(ch);
      if (ch == '\n') out.put(' ');
    }
    out << (r + 1 < rows ? ",\n" : "\n");
  }
  out << "]\n";
}

// The cells of the data check's rows.
auto RowCells(const TCheckErrorList& rows) {
  return [&rows](std::size_t r, std::size_t c) -> const std::string& { return rows[r][c]; };
}

}  // namespace

void WriteErrorsTsv(const TCheckErrorList& errors, std::ostream& out) {
  WriteListTsv(errors.size(), RowCells(errors), out);
}

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
  // The check reads no value table of the item panes, and the records from
  // the store, not from the tree.
  model.View.Services.FillFieldTables = nullptr;
  model.View.Services.RecordItems = false;
  for (const std::string& folder : folders) model.View.Load(folder);
  RunDataCheck(model.View);
  errors.swap(model.View.ErrorList);
  return 0;
}

namespace {

template <class Cell>
void WriteList(std::size_t rows, const Cell& cell, TFormat format, std::ostream& out, const TListWords& words) {
  switch (format) {
    case TFormat::Text: WriteListText(rows, cell, out, words); break;
    case TFormat::Tsv: WriteListTsv(rows, cell, out); break;
    case TFormat::Csv: WriteListCsv(rows, cell, out, words); break;
    case TFormat::Json: WriteListJson(rows, cell, out, words); break;
  }
}

// The extended check of the media given: each folder loaded in turn as the
// tree loads it (a folder of the delivery loaded is a further medium).
int ExtendedCheck(const std::vector<std::string>& folders, TFormat format, std::ostream& out, std::ostream& err) {
  for (const std::string& f : folders)
    if (!RefuseWithoutIndex(f, err)) return 2;
  TFixedDriveScope fixed;
  std::vector<TCheckedMedium> given;
  std::unique_ptr<QGuiApplication> app;
  TCompactFindings findings;
  {
    // The records are let go once the check has run, before the findings
    // are written.
    DeliveryStore store;
    TViewerModel model(store);
    model.View.Services.FillFieldTables = nullptr;  // no value table is read
    model.View.Services.RecordItems = false;        // the records are read from the store
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
          err << "dlvr: check: "
              << Arg(Tr("CliCheck", "同じ工事の媒体が隣にあります（続けて指定できます）: %1（メディア番号 %2）"),
                     {s.Folder, std::to_string(s.MediaNo)})
              << "\n";
    TExtendedInput input = ExtendedInputFor(model.View);
    input.Media = given;  // a medium given twice is a finding of its own
    // Documents are opened with Qt (PDFs, images): an application object.
    app = EnsureGuiApplication();
    input.CheckDocument = CheckDocumentFile;
    // The data check's rows are let go as they become findings.
    findings = RunExtendedCheckCompact(std::move(input));
  }
  if (format == TFormat::Text && !given.empty()) {
    // The edition the delivery follows heads the text.
    out << Arg(Tr("CliCheck", "要領の版: %1"), {EditionText(DeliveryEdition(given.front().Folder))}) << "\n";
  }
  // Information alone (the documents' page counts) is listed under the
  // line that says the delivery is sound.
  TListWords words = kExtendedWords;
  if (!findings.HasProblem()) words.Found = words.Clean;
  const int status = findings.HasError() ? 1 : 0;
  // The findings are written as they stand, their severity in words.
  const std::array<std::string, 3> severities = {SeverityName(TSeverity::Error), SeverityName(TSeverity::Warning),
                                                 SeverityName(TSeverity::Info)};
  auto cell = [&](std::size_t r, std::size_t c) -> std::string {
    const TFindingView f = findings[r];
    switch (c) {
      case 0: return severities[static_cast<std::size_t>(f.Severity)];
      case 1: return std::string(f.Medium);
      case 2: return std::string(f.Path);
      case 3: return std::string(f.Rule);
    }
    return std::string(f.Found);
  };
  WriteList(findings.Size(), cell, format, out, words);
  return status;
}

}  // namespace

void WriteErrorsText(const TCheckErrorList& errors, std::ostream& out) {
  WriteListText(errors.size(), RowCells(errors), out, kDataCheckWords);
}
void WriteErrorsCsv(const TCheckErrorList& errors, std::ostream& out) {
  WriteListCsv(errors.size(), RowCells(errors), out, kDataCheckWords);
}
void WriteErrorsJson(const TCheckErrorList& errors, std::ostream& out) {
  WriteListJson(errors.size(), RowCells(errors), out, kDataCheckWords);
}

int CmdCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("check", kCheckUsage);
  std::vector<std::string> positional;
  std::string formatName = "text";
  bool extended = false;
  CLI::App& app = cl.App();
  app.add_option("FOLDER", positional);
  app.add_option("--format", formatName)->check(OneOf({"text", "tsv", "csv", "json"}));
  app.add_flag("--extended", extended);
  long pdfTimeout = 10;
  const CLI::Option* pdfTimeoutOption = app.add_option("--pdf-timeout", pdfTimeout)->check(WholeNumber(1, 3600));
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (pdfTimeoutOption->count() > 0 && !extended) return cl.Fail(err, "--pdf-timeout needs --extended");
  const TFormat format = formatName == "tsv"    ? TFormat::Tsv
                         : formatName == "csv"  ? TFormat::Csv
                         : formatName == "json" ? TFormat::Json
                                                : TFormat::Text;
  if (const auto bad = cl.CheckFolders(positional, err)) return *bad;
  if (extended) {
    TPdfFactsLimits limits = PdfFactsLimits();
    limits.Time = std::chrono::seconds(pdfTimeout);
    SetPdfFactsLimits(limits);
    return ExtendedCheck(positional, format, out, err);
  }

  TCheckErrorList errors;
  if (int code = LoadAndCheckFolder(positional, errors, err)) return code;

  WriteList(errors.size(), RowCells(errors), format, out, kDataCheckWords);
  return errors.empty() ? 0 : 1;
}

}  // namespace dlvr
