// The dates of the records against the construction period and against
// each other.
#include <string>
#include <utility>

#include "check/extended_check_internal.h"
#include "platform/translate.h"

namespace dlvr::extended_check_detail {
namespace {

// A calendar date written CCYY-MM-DD.
bool IsDate(const std::string& s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
    if (s[i] < '0' || s[i] > '9') return false;
  const int y = std::stoi(s.substr(0, 4)), m = std::stoi(s.substr(5, 2)), d = std::stoi(s.substr(8, 2));
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m >= 1 && m <= 12 && d >= 1 && d <= (m == 2 && !leap ? 28 : days[m - 1]);
}

}  // namespace

void JudgeDates(const DeliveryStore& store, const TMdlTreeNodeIndex& index, const std::string& firstMedium,
                TFindingSink& sink) {
  const std::string from = index.StartDate, to = index.EndDate;
  bool period = IsDate(from) && IsDate(to);
  // A period that ends before it starts: said once, and no date is
  // judged against it.
  if (period && to < from) {
    sink.Add(TSeverity::Error, firstMedium, "INDEX_C.XML", kDateOrder,
             Arg(Tr("ExtendedCheck", "工期終了日 %1 が工期開始日 %2 より前です（日付と工期の照合は行いません）"), {to, from}));
    period = false;
  }
  const std::string outside = Tr("ExtendedCheck", "打合せ簿 %1 の%2 %3 が工期 %4 〜 %5 の外です");
  const std::string before = Tr("ExtendedCheck", "打合せ簿 %1 の%2 %3 が%4 %5 より前です");
  int n = 0;
  for (const TMdlTreeNodeMeet& r : store.Meetings) {
    ++n;
    const std::string where = "MEET/MEET.XML";
    const std::string who = r.SerialNo.empty() ? std::to_string(n) : r.SerialNo;
    // The dates by their field names (captions of the definition tables).
    const std::pair<std::string, const std::string*> dates[] = {{Tr("FieldNames", "発行日付"), &r.IssueDate},
                                                                {Tr("FieldNames", "受理日付"), &r.AcceptDate},
                                                                {Tr("FieldNames", "完了日付"), &r.FinishDate}};
    for (const auto& [label, value] : dates)
      if (period && IsDate(*value) && (*value < from || *value > to))
        sink.AddArgs(TSeverity::Error, firstMedium, where, kPeriod, outside, {who, label, *value, from, to});
    for (std::size_t i = 0; i + 1 < std::size(dates); ++i)
      for (std::size_t j = i + 1; j < std::size(dates); ++j)
        if (IsDate(*dates[i].second) && IsDate(*dates[j].second) && *dates[j].second < *dates[i].second)
          sink.AddArgs(TSeverity::Error, firstMedium, where, kDateOrder, before,
                       {who, dates[j].first, *dates[j].second, dates[i].first, *dates[i].second});
  }
}

}  // namespace dlvr::extended_check_detail
