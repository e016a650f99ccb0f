// The full delivery check, beside the data check of each field: the files
// and folders of every loaded medium against the management files and the
// naming rules, stray and empty files, the dates of the records against the
// construction period, and the media against their count. Its findings are
// a list of their own; the data check and its list are left as they are.
// Reads folders only (never follows a link, never opens a document); never
// throws.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "check/findings.h"
#include "delivery/store.h"

namespace dlvr {

// "エラー", "警告" or "情報", in the user's language.
std::string SeverityName(TSeverity severity);

// A loaded medium: its number and its folder (ending in '/').
struct TCheckedMedium {
  int MediaNo = 0;
  std::string Folder;
};

struct TExtendedInput {
  // The media given, in order (a number may come twice: that is a finding).
  std::vector<TCheckedMedium> Media;
  // The records read from them.
  const DeliveryStore* Store = nullptr;
  // Photo file names listed by the photo management files (relative to the
  // photo folder of their medium), when they were read.
  std::vector<std::string> PhotoFiles;
  // The photos judged by the photo rule set (the one the photo window and
  // `dlvr photos --check` use), each finding a row of this check: its rule
  // 写真・項目名, its severity, the photo relative to its medium and that
  // medium's number. Called on the check's thread; without it photos are
  // judged by no rule of their own.
  std::function<std::vector<TFinding>()> PhotoFindings;
  // The data check's rows (管理項目名, 分類名, ファイル名, 項目名, 状態, in the
  // user's language), each a finding of the full check: it never says
  // "no problems" where the data check has one. None: not part of it.
  std::vector<std::array<std::string, 5>> DataCheckRows;
  // The drawing kind lists of the CAD naming rule (codes, and code + "-" +
  // name); without them drawing file names are not judged by that rule.
  std::vector<std::string> DrawKindLines, DrawNameLines;
  // Looks into a document the management files name (its full path): what
  // is wrong with it, each with its severity (a PDF that does not open, an
  // image that does not decode, contents unlike the extension), and what is
  // worth knowing of it (a PDF's page count, as information). The viewer
  // and the tool give it; without it documents are not opened.
  std::function<std::vector<std::pair<TSeverity, std::string>>(const std::string& path)> CheckDocument;
  // Told how far the check has come (steps done of all steps, each medium's
  // files, each medium's management files, then the records' dates), and
  // again while a large medium is walked. Returning false stops the check:
  // it then returns the findings it has made so far.
  std::function<bool(std::size_t done, std::size_t total)> Progress;
};

// A character of a management file (Shift-JIS bytes) that the guideline
// does not allow: half-width katakana, the machine-dependent rows of CP932
// (NEC special characters, NEC-selected and IBM extensions), the
// user-defined area, rows JIS X 0208 leaves empty, and (a warning)
// full-width digits and Latin letters.
struct TCharacterFinding {
  TSeverity Severity = TSeverity::Error;
  int Line = 0, Column = 0;  // 1-based; the column counts characters
  std::string Element;       // the element whose text holds it ("" outside any)
  std::string Character;     // as UTF-8
  std::string Kind;          // "半角カナ", "機種依存文字（NEC 特殊文字）", ... (Japanese; Tr("ExtendedCheck", Kind) shows it)
};
// At most `most` findings (the rest counted in `more` when given).
std::vector<TCharacterFinding> ScanCharacters(std::string_view cp932, std::size_t most = 200,
                                              std::size_t* more = nullptr);

// The grammar of one management file of a medium: well-formed, declared as
// Shift_JIS, with a DOCTYPE whose DTD stands beside it, and valid against
// that DTD (read under the delivery sandbox). Each finding with its line
// (0 for the file as a whole), its text in the user's language.
struct TGrammarFinding {
  int Line = 0;
  std::string Found;
};
std::vector<TGrammarFinding> CheckGrammar(const std::string& mediumFolder, const std::string& relativePath,
                                          std::size_t most = 100);
// The same on the file's bytes, read already.
std::vector<TGrammarFinding> CheckGrammarOf(const std::string& mediumFolder, const std::string& relativePath,
                                            const std::string& bytes, std::size_t most = 100);

// The edition of the delivery guideline a delivery follows, told by its
// INDEX_C.XML: 適用要領基準 (from 2004, "土木201603-01"), else the root's
// DTD_version and the DTD its DOCTYPE names.
struct TEdition {
  std::string Standard;    // 適用要領基準 as written, "" when absent
  std::string DtdVersion;  // the root's DTD_version
  std::string Doctype;     // the DTD the DOCTYPE names
  std::string Name;        // "平成13年8月版", "平成28年3月版", ... (in the user's language)
  int YearMonth = 200108;  // of the edition (YYYYMM)
  bool Later() const { return YearMonth > 200108; }  // after the edition the data check follows
};
// From the bytes of an INDEX_C.XML (Shift-JIS).
TEdition DetectEdition(std::string_view indexBytes);
// Of the delivery on a medium (its folder): the first edition when its
// INDEX_C.XML cannot be read.
TEdition DeliveryEdition(const std::string& mediumFolder);
// "平成28年3月版（適用要領基準 土木201603-01）", "平成13年8月版（DTD_version 02）", in
// the user's language.
std::string EditionText(const TEdition& edition);
// The notice above the data check's list for a delivery of a later
// edition (in the user's language), "" for the first.
std::string EditionNotice(const TEdition& edition);

class TMdlTreeView;

// The input of the check for a delivery as the tree has loaded it: the
// media it can reach, its records and the files the photo management files
// of those media list.
TExtendedInput ExtendedInputFor(TMdlTreeView& view);

// The findings, sorted by medium, path and rule (as the user reads it).
std::vector<TFinding> RunExtendedCheck(const TExtendedInput& input);
// The same, the input's data check rows taken and each let go as soon as it
// has become a finding (for a caller that reads them no more).
std::vector<TFinding> RunExtendedCheck(TExtendedInput&& input);
// The same in a compact list (sorted): for a check of millions of findings.
TCompactFindings RunExtendedCheckCompact(TExtendedInput&& input);

// Whether any finding is an error.
bool HasError(const std::vector<TFinding>& findings);
// Whether any finding is an error or a warning.
bool HasProblem(const std::vector<TFinding>& findings);

}  // namespace dlvr
