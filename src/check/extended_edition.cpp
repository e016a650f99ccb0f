// The edition of the delivery guideline a delivery follows, told by its
// INDEX_C.XML, and how it is named to the user.
#include <algorithm>

#include "check/extended_check.h"
#include "check/extended_check_internal.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

TEdition DetectEdition(std::string_view b) {
  TEdition e;
  const std::string text = Cp932ToUtf8(b.substr(0, std::min<std::size_t>(b.size(), 64 * 1024)));
  auto between = [&](const std::string& open, const std::string& close) {
    const std::size_t from = text.find(open);
    if (from == std::string::npos) return std::string();
    const std::size_t to = text.find(close, from + open.size());
    return to == std::string::npos ? std::string() : text.substr(from + open.size(), to - from - open.size());
  };
  e.Standard = between("<適用要領基準>", "</適用要領基準>");
  e.Standard.erase(0, e.Standard.find_first_not_of(" \t\r\n"));
  e.Standard.erase(e.Standard.find_last_not_of(" \t\r\n") + 1);
  e.DtdVersion = between("DTD_version=\"", "\"");
  const std::string doctype = between("<!DOCTYPE", ">");
  if (const std::size_t q = doctype.find('"'); q != std::string::npos)
    e.Doctype = doctype.substr(q + 1, doctype.find('"', q + 1) - q - 1);
  // 適用要領基準 names the edition by its year and month ("土木201603-01").
  int ym = 0;
  for (std::size_t i = 0; i + 6 <= e.Standard.size() && !ym; ++i) {
    const std::string six = e.Standard.substr(i, 6);
    if (std::all_of(six.begin(), six.end(), [](char c) { return c >= '0' && c <= '9'; })) ym = std::stoi(six);
  }
  if (!ym) {
    // Without it: the root's DTD_version tells (01 or 02: the first
    // edition, whatever DTD the DOCTYPE names: a wrongly named DTD is a
    // mistake of grammar, not a later edition); without that, the DTD's
    // name; else a later one of unknown date.
    const std::string upper = AsciiUpper(e.Doctype);
    const bool first = e.DtdVersion.empty()
                           ? (upper.empty() || upper == "INDE_C01.DTD" || upper == "INDE_C02.DTD")
                           : (e.DtdVersion == "01" || e.DtdVersion == "02");
    ym = first ? 200108 : 200406;
    e.YearMonth = ym;
    e.Name = first ? Tr("ExtendedCheck", "平成13年8月版") : Tr("ExtendedCheck", "平成16年6月版以降の版");
    return e;
  }
  e.YearMonth = ym;
  const int year = ym / 100, month = ym % 100;
  // Heisei runs to April 2019, Reiwa from May 2019.
  if (ym < 201905)
    //: %1 the year of the Heisei era (2016 is 28), %2 the month.
    e.Name = Arg(Tr("ExtendedCheck", "平成%1年%2月版"), {std::to_string(year - 1988), std::to_string(month)});
  else if (year == 2019)
    // The era's first year is 元年, not 1年.
    //: %1 the month of 2019, the first year of the Reiwa era.
    e.Name = Arg(Tr("ExtendedCheck", "令和元年%1月版"), {std::to_string(month)});
  else
    //: %1 the year of the Reiwa era (2020 is 2), %2 the month.
    e.Name = Arg(Tr("ExtendedCheck", "令和%1年%2月版"), {std::to_string(year - 2018), std::to_string(month)});
  return e;
}

TEdition DeliveryEdition(const std::string& mediumFolder) {
  std::string bytes;
  if (mediumFolder.empty() ||
      ReadRegularFile(mediumFolder + (mediumFolder.back() == '/' ? "" : "/") + "INDEX_C.XML", 1u << 20, bytes, true) !=
          TReadStatus::Ok)
    bytes.clear();
  return DetectEdition(bytes);
}

std::string EditionText(const TEdition& e) {
  if (!e.Standard.empty()) return Arg(Tr("ExtendedCheck", "%1（適用要領基準 %2）"), {e.Name, e.Standard});
  if (!e.DtdVersion.empty()) return Arg(Tr("ExtendedCheck", "%1（DTD_version %2）"), {e.Name, e.DtdVersion});
  return e.Name;
}

std::string EditionNotice(const TEdition& e) {
  if (!e.Later()) return std::string();
  return Arg(Tr("ExtendedCheck",
                "この納品物は%1に従っています。データチェックは平成13年8月版の規則によるため、"
                "後の版で変わった項目の指摘は当てはまりません（電子納品チェックを参照してください）。"),
             {EditionText(e)});
}

namespace extended_check_detail {

TEdition JudgeEdition(const TExtendedInput& input, TFindingSink& sink) {
  TEdition edition;
  if (!input.Media.empty()) {
    std::string bytes;
    if (ReadRegularFile(input.Media.front().Folder + "INDEX_C.XML", 1u << 20, bytes, true) == TReadStatus::Ok)
      edition = DetectEdition(bytes);
  }
  if (edition.Later())
    sink.Add(TSeverity::Warning, "", "INDEX_C.XML", kEdition,
             edition.Standard.empty()
                 ? Arg(Tr("ExtendedCheck",
                          "%1の納品物です。データチェックは平成13年8月版の規則によるため、"
                          "後の版で変わった項目の指摘は当てはまりません"),
                       {edition.Name})
                 : Arg(Tr("ExtendedCheck",
                          "適用要領基準 %1、%2の納品物です。データチェックは平成13年8月版の規則によるため、"
                          "後の版で変わった項目の指摘は当てはまりません"),
                       {edition.Standard, edition.Name}));
  return edition;
}

}  // namespace extended_check_detail
}  // namespace dlvr
