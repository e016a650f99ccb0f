#include "model/sort.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <vector>

#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

const char* const kSortIndexDuplicateText = DLVR_TR_NOOP("Sort", "並べ替え結果の Index 番号が重複しています！");

namespace {

int Sign(int r) { return (r > 0) - (r < 0); }

template <typename T>
int CompareNumbers(T a, T b) {
  return (a > b) - (a < b);
}

// Unsigned byte-wise order.
int CompareBytes(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  if (n != 0) {
    int r = std::memcmp(a.data(), b.data(), n);
    if (r != 0) return Sign(r);
  }
  return CompareNumbers(a.size(), b.size());
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---- CP932 scanning -------------------------------------------------------
//
// The characters the number rules look for are ASCII and none of them can be
// the trail byte of a double-byte character, so a double-byte character is
// stepped over whole and never matches.

std::size_t CharLen(std::string_view s, std::size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// Characters from i up to the first single-byte character in stops.
std::string_view TakeText(std::string_view s, std::size_t& i, std::string_view stops) {
  const std::size_t from = i;
  while (i < s.size()) {
    std::size_t len = CharLen(s, i);
    if (len == 1 && stops.find(s[i]) != std::string_view::npos) break;
    i += len;
  }
  return s.substr(from, i - from);
}

// Value of the longest leading piece of `s` that reads as a decimal number
// ([sign] digits [. digits], at least one digit); 0 when there is none.
double ReadNumber(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t intFrom = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  const std::string_view intPart = s.substr(intFrom, i - intFrom);
  std::string_view fracPart;
  if (i < s.size() && s[i] == '.') {
    std::size_t j = i + 1;
    while (j < s.size() && IsDigit(s[j])) ++j;
    fracPart = s.substr(i + 1, j - i - 1);
  }
  if (intPart.empty() && fracPart.empty()) return 0.0;
  std::string text = intPart.empty() ? std::string("0") : std::string(intPart);
  if (!fracPart.empty()) {
    text += '.';
    text += fracPart;
  }
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::infinity();
  else if (result.ec != std::errc()) value = 0.0;
  return negative ? -value : value;
}

// ---- smNumString ----------------------------------------------------------

constexpr std::string_view kNumChars = "0123456789.";

int CompareNumCp932(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  std::size_t ia = 0, ib = 0;
  auto numberPart = [](std::string_view s, std::size_t& i) {
    const std::size_t from = i;
    while (i < s.size() && kNumChars.find(s[i]) != std::string_view::npos) ++i;
    std::string_view part = s.substr(from, i - from);
    if (!part.empty() && part.front() == '.') part.remove_prefix(1);
    return ReadNumber(part);
  };
  for (;;) {
    std::string_view ta = TakeText(a, ia, kNumChars);
    double va = numberPart(a, ia);
    std::string_view tb = TakeText(b, ib, kNumChars);
    double vb = numberPart(b, ib);
    if (int r = CompareBytes(ta, tb); r != 0) return r;
    if (int r = CompareNumbers(va, vb); r != 0) return r;
    if (ia >= a.size() && ib >= b.size()) return 0;
  }
}

// ---- smSktString ----------------------------------------------------------

constexpr std::string_view kSktTextStops = "0123456789+-";

// The main number: characters from "-0123456789., " ('-' only first),
// blanks and commas dropped.
double SktMain(std::string_view s, std::size_t& i) {
  std::string piece;
  bool first = true;
  while (i < s.size()) {
    char c = s[i];
    if (c == '-' && first) {
      piece += c;
    } else if (IsDigit(c) || c == '.') {
      piece += c;
    } else if (c != ' ' && c != ',') {
      break;
    }
    first = false;
    ++i;
  }
  return ReadNumber(piece);
}

// The addition: a sign and characters from "0123456789., ", blanks and
// commas dropped; 0 when no sign follows.
double SktAddition(std::string_view s, std::size_t& i) {
  if (i >= s.size() || (s[i] != '+' && s[i] != '-')) return 0.0;
  std::string piece(1, s[i++]);
  while (i < s.size()) {
    char c = s[i];
    if (IsDigit(c) || c == '.') piece += c;
    else if (c != ' ' && c != ',') break;
    ++i;
  }
  return ReadNumber(piece);
}

int CompareSktCp932(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  std::size_t ia = 0, ib = 0;
  if (int r = CompareBytes(TakeText(a, ia, kSktTextStops), TakeText(b, ib, kSktTextStops)); r != 0)
    return r;
  for (;;) {
    double ma = SktMain(a, ia);
    double da = SktAddition(a, ia);
    std::string_view ta = TakeText(a, ia, kSktTextStops);
    double mb = SktMain(b, ib);
    double db = SktAddition(b, ib);
    std::string_view tb = TakeText(b, ib, kSktTextStops);
    if (int r = CompareNumbers(ma, mb); r != 0) return r;
    if (int r = CompareNumbers(da, db); r != 0) return r;
    if (int r = CompareBytes(ta, tb); r != 0) return r;
    if (ia >= a.size() && ib >= b.size()) return 0;
  }
}

// ---- smString -------------------------------------------------------------

// The CP932 bytes decide; texts that differ only in characters CP932 cannot
// hold ('?' there) fall back to their UTF-8 bytes.
int CompareStringForms(std::string_view formA, std::string_view keyA, std::string_view formB,
                       std::string_view keyB) {
  if (int r = CompareBytes(formA, formB); r != 0) return r;
  return CompareBytes(keyA, keyB);
}

// ---- smAnsiString: the collator ------------------------------------------

struct CollatorCache {
  std::mutex mutex;
  std::string override;
  std::map<std::string, std::unique_ptr<icu::Collator>> collators;
};

CollatorCache& Cache() {
  static CollatorCache* cache = new CollatorCache;  // lives to the end
  return *cache;
}

std::string EnvironmentLocale() {
  std::string name;
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v != '\0') {
      name = v;
      break;
    }
  }
  // ja_JP.UTF-8@modifier -> ja_JP
  std::size_t cut = name.find_first_of(".@");
  if (cut != std::string::npos) name.resize(cut);
  if (name.empty() || name == "C" || name == "POSIX") return "ja";
  return name;
}

std::string EffectiveLocaleLocked(CollatorCache& cache) {
  return cache.override.empty() ? EnvironmentLocale() : cache.override;
}

// The case-insensitive collator of the current locale, created once per
// locale name; nullptr when ICU cannot make one. A collator is never freed,
// so the pointer stays valid, and its const operations may run concurrently.
const icu::Collator* CurrentCollator() {
  CollatorCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  std::string name = EffectiveLocaleLocked(cache);
  auto it = cache.collators.find(name);
  if (it == cache.collators.end()) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(icu::Locale::createCanonical(name.c_str()), status));
    if (U_FAILURE(status)) collator.reset();
    if (collator) {
      collator->setStrength(icu::Collator::SECONDARY);
      UErrorCode attrStatus = U_ZERO_ERROR;
      collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, attrStatus);
    }
    it = cache.collators.emplace(name, std::move(collator)).first;
  }
  return it->second.get();
}

// Order of smAnsiString without a collator: the upper-cased CP932 bytes.
std::string FallbackForm(std::string_view key) { return AsciiUpper(Utf8ToCp932(key)); }

int CompareUtf8(const icu::Collator& collator, std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator.compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                            icu::StringPiece(b.data(), static_cast<int32_t>(b.size())),
                                            status);
  if (U_FAILURE(status)) return CompareBytes(FallbackForm(a), FallbackForm(b));
  return static_cast<int>(r);
}

template <typename T>
const T* As(const TSortItem& other) {
  return dynamic_cast<const T*>(&other);
}

// `text`: a "Sort" text, put in the user's language.
void SetError(std::string* error, const char* text) {
  if (error != nullptr) *error = Tr("Sort", text);
}

// Stable bottom-up merge sort. It never reads outside the range whatever the
// comparison answers, so an inconsistent user comparison cannot crash it.
template <typename Less>
void MergeSort(std::vector<TSortItem*>& v, Less less) {
  const std::size_t n = v.size();
  std::vector<TSortItem*> buffer(n);
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width) {
      const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) buffer[k++] = less(v[j], v[i]) ? v[j++] : v[i++];
      while (i < mid) buffer[k++] = v[i++];
      while (j < hi) buffer[k++] = v[j++];
    }
    v.swap(buffer);
  }
}

}  // namespace

// ---- items ----------------------------------------------------------------

void TSortItem::SetValue(const void*) {}

void TSIInteger::SetValue(const void* value) {
  Key = value != nullptr ? *static_cast<const int32_t*>(value) : 0;
}

int TSIInteger::Compare(const TSortItem& other) const {
  const auto* o = As<TSIInteger>(other);
  return o != nullptr ? CompareNumbers(Key, o->Key) : 0;
}

void TSIDouble::SetValue(const void* value) {
  Key = value != nullptr ? *static_cast<const double*>(value) : 0.0;
}

int TSIDouble::Compare(const TSortItem& other) const {
  const auto* o = As<TSIDouble>(other);
  if (o == nullptr) return 0;
  // NaN sorts before every number and equals NaN, so the order stays total.
  const bool nanA = std::isnan(Key), nanB = std::isnan(o->Key);
  if (nanA || nanB) return static_cast<int>(nanB) - static_cast<int>(nanA);
  return CompareNumbers(Key, o->Key);
}

void TSITextItem::SetValue(const void* value) {
  key_ = value != nullptr ? *static_cast<const std::string*>(value) : std::string();
  form_ = MakeForm(key_);
}

std::string TSITextItem::MakeForm(const std::string& key) const { return Utf8ToCp932(key); }

int TSIString::Compare(const TSortItem& other) const {
  const auto* o = As<TSIString>(other);
  return o != nullptr ? CompareStringForms(form_, key_, o->form_, o->key_) : 0;
}

int TSINumString::Compare(const TSortItem& other) const {
  const auto* o = As<TSINumString>(other);
  return o != nullptr ? CompareNumCp932(form_, o->form_) : 0;
}

int TSISktString::Compare(const TSortItem& other) const {
  const auto* o = As<TSISktString>(other);
  return o != nullptr ? CompareSktCp932(form_, o->form_) : 0;
}

void TSIAnsiString::SetValue(const void* value) {
  key_ = value != nullptr ? *static_cast<const std::string*>(value) : std::string();
  collator_ = CurrentCollator();
  form_ = collator_ != nullptr ? std::string() : FallbackForm(key_);
}

int TSIAnsiString::Compare(const TSortItem& other) const {
  const auto* o = As<TSIAnsiString>(other);
  if (o == nullptr) return 0;
  const auto* collator = static_cast<const icu::Collator*>(collator_ != nullptr ? collator_ : o->collator_);
  if (collator == nullptr) return CompareBytes(form_, o->form_);
  return CompareUtf8(*collator, key_, o->key_);
}

void TSIIndex::SetValue(const void* value) {
  Key = value != nullptr ? *static_cast<const int32_t*>(value) : 0;
}

int TSIIndex::Compare(const TSortItem& other) const {
  const auto* o = As<TSIIndex>(other);
  return o != nullptr ? CompareNumbers(Key, o->Key) : 0;
}

int TSIByEvent::Compare(const TSortItem& other) const {
  if (Sender == nullptr || !OnCompareData) return 0;
  return OnCompareData(*Sender, OrgIndex, other.OrgIndex);
}

// ---- free comparisons -----------------------------------------------------

int CompareSortString(std::string_view a, std::string_view b) {
  return CompareStringForms(Utf8ToCp932(a), a, Utf8ToCp932(b), b);
}

int CompareNumString(std::string_view a, std::string_view b) {
  return CompareNumCp932(Utf8ToCp932(a), Utf8ToCp932(b));
}

int CompareSktString(std::string_view a, std::string_view b) {
  return CompareSktCp932(Utf8ToCp932(a), Utf8ToCp932(b));
}

int CompareAnsiString(std::string_view a, std::string_view b) {
  const icu::Collator* collator = CurrentCollator();
  if (collator == nullptr) return CompareBytes(FallbackForm(a), FallbackForm(b));
  return CompareUtf8(*collator, a, b);
}

void SetSortLocale(const std::string& icuLocaleName) {
  CollatorCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.override = icuLocaleName;
}

std::string SortLocale() {
  CollatorCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  return EffectiveLocaleLocked(cache);
}

// ---- TSort ----------------------------------------------------------------

bool TSort::Execute(int count, std::function<std::unique_ptr<TSortItem>()> itemFactory,
                    std::string* error) {
  if (error != nullptr) error->clear();
  if (count < 2) return true;

  // Handlers may reassign the events while they run; the sort works on its
  // own copies.
  const auto moveData = OnMoveData;
  const auto pushData = OnPushData;
  const auto popData = OnPopData;
  const auto getSortItem = OnGetSortItem;
  const auto compareData = OnCompareData;
  const TSortMethod method = SortMethod;
  const bool inverse = SortInverse;

  if (!moveData) {
    SetError(error, DLVR_TR_NOOP("Sort", "OnMoveData が設定されていません。"));
    return false;
  }
  if (method == TSortMethod::smUser && !itemFactory && !compareData) {
    SetError(error, DLVR_TR_NOOP("Sort", "OnCompareData が設定されていません。"));
    return false;
  }
  if (method != TSortMethod::smUser && !getSortItem) {
    SetError(error, DLVR_TR_NOOP("Sort", "OnGetSortItem が設定されていません。"));
    return false;
  }

  try {
    // Steps 1-3: one item per position; every key is taken before anything
    // moves.
    std::vector<std::unique_ptr<TSortItem>> owned;
    owned.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      std::unique_ptr<TSortItem> item;
      switch (method) {
        case TSortMethod::smInteger: item = std::make_unique<TSIInteger>(); break;
        case TSortMethod::smDouble: item = std::make_unique<TSIDouble>(); break;
        case TSortMethod::smString: item = std::make_unique<TSIString>(); break;
        case TSortMethod::smNumString: item = std::make_unique<TSINumString>(); break;
        case TSortMethod::smIndex: item = std::make_unique<TSIIndex>(); break;
        case TSortMethod::smSktString: item = std::make_unique<TSISktString>(); break;
        case TSortMethod::smAnsiString: item = std::make_unique<TSIAnsiString>(); break;
        case TSortMethod::smUser:
          item = itemFactory ? itemFactory() : std::make_unique<TSIByEvent>();
          break;
      }
      if (!item) {
        SetError(error, DLVR_TR_NOOP("Sort", "並べ替えの項目を作成できません。"));
        return false;
      }
      if (auto* byEventItem = dynamic_cast<TSIByEvent*>(item.get())) {
        if (!compareData) {
          SetError(error, DLVR_TR_NOOP("Sort", "OnCompareData が設定されていません。"));
          return false;
        }
        byEventItem->Sender = this;
        byEventItem->OnCompareData = compareData;
      } else {
        if (!getSortItem) {
          SetError(error, DLVR_TR_NOOP("Sort", "OnGetSortItem が設定されていません。"));
          return false;
        }
        item->SetValue(getSortItem(*this, i));
      }
      item->Inverse = inverse;
      item->OrgIndex = i;
      owned.push_back(std::move(item));
    }

    // Step 4: equal keys keep their original order in either direction.
    std::vector<TSortItem*> items;
    items.reserve(owned.size());
    for (auto& item : owned) items.push_back(item.get());
    MergeSort(items, [](const TSortItem* x, const TSortItem* y) {
      int r = Sign(x->Compare(*y));
      if (r == 0) return x->OrgIndex < y->OrgIndex;
      if (x->Inverse) r = -r;
      return r < 0;
    });

    // Equal keys now stand side by side; two equal targets are an error.
    if (method == TSortMethod::smIndex) {
      for (std::size_t j = 1; j < items.size(); ++j) {
        if (items[j - 1]->Compare(*items[j]) == 0) {
          SetError(error, kSortIndexDuplicateText);
          return false;
        }
      }
    }

    // Step 5: apply the order by following its cycles. The item at position
    // j says position j receives the data from OrgIndex. Each cycle starts
    // by saving the data at its first position; the last position of the
    // cycle gets it back. An item is visited once its Inverse differs from
    // SortInverse.
    auto visited = [inverse](const TSortItem* p) { return p->Inverse != inverse; };
    auto mark = [inverse](TSortItem* p) { p->Inverse = !inverse; };
    int start = 0, a = -1, idx = -1;
    for (int n = 0; n < count; ++n) {
      if (idx == -1) {
        while (start < count - 1 && visited(items[static_cast<std::size_t>(start)])) ++start;
        TSortItem* p = items[static_cast<std::size_t>(start)];
        const int b = p->OrgIndex;
        if (start != b) {
          if (pushData) pushData(*this, start);
          moveData(*this, start, b);
          idx = b;
          a = start;
        }
        mark(p);
      } else {
        TSortItem* p = items[static_cast<std::size_t>(idx)];
        const int b = p->OrgIndex;
        if (b == a) {
          if (popData) popData(*this, idx);
          mark(p);
          idx = -1;
          a = -1;
        } else {
          moveData(*this, idx, b);
          mark(p);
          idx = b;
        }
      }
    }
    // Every cycle closes within the loop, so a is -1 here; should one stay
    // open, its saved data is at least not lost.
    if (a >= 0 && popData) popData(*this, a);
    return true;
  } catch (const std::exception& e) {
    if (error != nullptr) *error = Arg(Tr("Sort", "並べ替えに失敗しました: %1"), {e.what()});
  } catch (...) {
    SetError(error, DLVR_TR_NOOP("Sort", "並べ替えに失敗しました。"));
  }
  return false;
}

}  // namespace dlvr
