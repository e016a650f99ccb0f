#include "check/findings.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <span>
#include <tuple>

#include "platform/translate.h"

namespace dlvr {

// The parts of the compact list (named, as the list's own members hold
// them).
namespace compact_findings_detail {

// Distinct texts, each kept once and known by its number: the texts in
// large blocks, found again through an open-addressed table of their
// numbers. The text asked for last is answered first (findings come in
// runs of one medium, rule and file).
class TTextTable {
 public:
  std::uint32_t Id(std::string_view s) {
    if (last_ < texts_.size() && texts_[last_] == s) return last_;
    if ((texts_.size() + 1) * 4 > slots_.size() * 3) Grow();
    const std::size_t hash = std::hash<std::string_view>()(s);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    for (; slots_[at] != 0; at = (at + 1) & mask) {
      const std::uint32_t id = slots_[at] - 1;
      if (hashes_[id] == hash && texts_[id] == s) return last_ = id;
    }
    const auto id = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(Keep(s));
    hashes_.push_back(hash);
    slots_[at] = id + 1;
    return last_ = id;
  }
  std::string_view operator[](std::uint32_t id) const { return texts_[id]; }
  std::size_t Size() const { return texts_.size(); }
  // Each number's place among the texts sorted.
  std::vector<std::uint32_t> Ranks() const {
    std::vector<std::pair<std::string_view, std::uint32_t>> byText(texts_.size());
    for (std::uint32_t i = 0; i < texts_.size(); ++i) byText[i] = {texts_[i], i};
    std::sort(byText.begin(), byText.end());
    std::vector<std::uint32_t> rank(texts_.size());
    for (std::size_t i = 0; i < byText.size(); ++i) rank[byText[i].second] = static_cast<std::uint32_t>(i);
    return rank;
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  std::string_view Keep(std::string_view s) {
    if (s.empty()) return std::string_view();
    if (room_ < s.size()) {
      blocks_.push_back(std::make_unique<char[]>(std::max(kBlock, s.size())));
      at_ = blocks_.back().get();
      room_ = std::max(kBlock, s.size());
    }
    std::memcpy(at_, s.data(), s.size());
    const std::string_view kept(at_, s.size());
    at_ += s.size();
    room_ -= s.size();
    return kept;
  }
  void Grow() {
    std::vector<std::uint32_t> slots(std::max<std::size_t>(16, slots_.size() * 2), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t id = 0; id < texts_.size(); ++id) {
      std::size_t at = hashes_[id] & mask;
      while (slots[at] != 0) at = (at + 1) & mask;
      slots[at] = id + 1;
    }
    slots_ = std::move(slots);
  }
  std::vector<std::string_view> texts_;
  std::vector<std::size_t> hashes_;
  std::vector<std::uint32_t> slots_;  // a text's number + 1, 0 for none
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* at_ = nullptr;
  std::size_t room_ = 0;
  std::uint32_t last_ = 0xFFFFFFFFu;
};

// Texts one after another in blocks of 1 MB (a longer text has a block of
// its own), each after its length; known by block and place.
class TTextBlocks {
 public:
  // A text of `size` bytes to be written at the returned place.
  std::uint64_t Start(std::size_t size) {
    const std::size_t need = sizeof(std::uint32_t) + size;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < need) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlock, need));
    }
    std::string& b = blocks_.back();
    const std::uint64_t ref = (static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | b.size();
    const auto n = static_cast<std::uint32_t>(size);
    b.append(reinterpret_cast<const char*>(&n), sizeof n);
    return ref;
  }
  // Appends to the text started last.
  void Append(std::string_view s) { blocks_.back().append(s); }
  std::string_view operator[](std::uint64_t ref) const {
    const std::string& b = blocks_[static_cast<std::size_t>(ref >> 32)];
    const std::size_t at = static_cast<std::size_t>(ref & 0xFFFFFFFFu);
    std::uint32_t size = 0;
    std::memcpy(&size, b.data() + at, sizeof size);
    return std::string_view(b).substr(at + sizeof size, size);
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::vector<std::string> blocks_;
};

// A pattern's values as kept in a text: each after its length (two bytes).
std::size_t ValuesSize(std::initializer_list<std::string_view> args) {
  std::size_t n = 0;
  for (std::string_view a : args) n += 2 + a.size();
  return n;
}
// At most kMostValues of them read in place (a pattern of this list has
// fewer); the number read.
constexpr std::size_t kMostValues = 9;
std::size_t ValuesOf(std::string_view kept, std::string_view (&values)[kMostValues]) {
  std::size_t n = 0;
  while (kept.size() >= 2 && n < kMostValues) {
    const std::size_t size = static_cast<unsigned char>(kept[0]) | static_cast<std::size_t>(static_cast<unsigned char>(kept[1])) << 8;
    values[n++] = kept.substr(2, size);
    kept.remove_prefix(std::min(kept.size(), 2 + size));
  }
  return n;
}

// What a finding is: its severity, medium and rule (few differ).
struct TKind {
  TSeverity Severity;
  std::uint32_t Medium, Rule;
  bool operator==(const TKind&) const = default;
};

struct TRow {
  std::uint64_t Found;    // the text, or the pattern's values
  std::uint32_t Path;
  std::uint32_t Kind;
  std::uint32_t Pattern;  // 0: none, else the pattern's number + 1
};

}  // namespace compact_findings_detail

using namespace compact_findings_detail;

struct TCompactFindings::TImpl {
  TTextTable Media, Paths, Rules, Patterns;
  std::vector<TKind> Kinds;
  TTextBlocks Texts;
  std::deque<TRow> Rows;             // a deque: growing never moves them all
  std::vector<std::uint32_t> Order;  // the rows' sorted order, when sorted

  std::uint32_t KindId(TSeverity s, std::string_view medium, std::string_view rule) {
    const TKind k{s, Media.Id(medium), Rules.Id(rule)};
    // The last kinds added are the likeliest.
    for (std::size_t i = Kinds.size(); i-- > 0;)
      if (Kinds[i] == k) return static_cast<std::uint32_t>(i);
    Kinds.push_back(k);
    return static_cast<std::uint32_t>(Kinds.size() - 1);
  }
  // A row's text, made.
  std::string Found(const TRow& r) const {
    const std::string_view text = Texts[r.Found];
    if (r.Pattern == 0) return std::string(text);
    std::string_view values[kMostValues];
    const std::size_t n = ValuesOf(text, values);
    return Arg(Patterns[r.Pattern - 1], std::span<const std::string_view>(values, n));
  }
  TFindingView View(const TRow& r) const {
    const TKind& k = Kinds[r.Kind];
    return {k.Severity, Media[k.Medium], Paths[r.Path], Rules[k.Rule], Found(r)};
  }
  const TRow& At(std::size_t i) const { return Rows[Order.empty() ? i : Order[i]]; }
};

TCompactFindings::TCompactFindings() : d_(std::make_unique<TImpl>()) {}
TCompactFindings::~TCompactFindings() = default;
TCompactFindings::TCompactFindings(TCompactFindings&&) noexcept = default;
TCompactFindings& TCompactFindings::operator=(TCompactFindings&&) noexcept = default;

void TCompactFindings::Add(TSeverity severity, std::string_view medium, std::string_view path, std::string_view rule,
                       std::string_view found) {
  d_->Order.clear();
  const std::uint64_t ref = d_->Texts.Start(found.size());
  d_->Texts.Append(found);
  d_->Rows.push_back({ref, d_->Paths.Id(path), d_->KindId(severity, medium, rule), 0});
}

void TCompactFindings::Add(TSeverity severity, std::string_view medium, std::string_view path, std::string_view rule,
                       std::string_view pattern, std::initializer_list<std::string_view> args) {
  if (args.size() > kMostValues ||
      std::any_of(args.begin(), args.end(), [](std::string_view a) { return a.size() > 0xFFFF; })) {
    Add(severity, medium, path, rule, Arg(pattern, args));
    return;
  }
  d_->Order.clear();
  const std::uint64_t ref = d_->Texts.Start(ValuesSize(args));
  for (std::string_view a : args) {
    const char size[2] = {static_cast<char>(a.size() & 0xFF), static_cast<char>(a.size() >> 8)};
    d_->Texts.Append(std::string_view(size, 2));
    d_->Texts.Append(a);
  }
  d_->Rows.push_back({ref, d_->Paths.Id(path), d_->KindId(severity, medium, rule), d_->Patterns.Id(pattern) + 1});
}

std::size_t TCompactFindings::Size() const { return d_->Rows.size(); }

TFindingView TCompactFindings::operator[](std::size_t i) const { return d_->View(d_->At(i)); }

void TCompactFindings::ForEach(const std::function<void(const TFindingView&)>& f) const {
  for (std::size_t i = 0; i < Size(); ++i) f((*this)[i]);
}

void TCompactFindings::EraseIf(const std::function<bool(const TFindingView&)>& drop) {
  d_->Order.clear();
  std::erase_if(d_->Rows, [&](const TRow& r) { return drop(d_->View(r)); });
}

void TCompactFindings::Sort() {
  const std::vector<std::uint32_t> medium = d_->Media.Ranks(), path = d_->Paths.Ranks(), rule = d_->Rules.Ranks();
  const std::deque<TRow>& rows = d_->Rows;
  const std::vector<TKind>& kinds = d_->Kinds;
  // Each row's medium, path and rule ranks packed into one key beside its
  // place; ties go by the order added (no buffer of a stable sort needed).
  auto bits = [](std::size_t n) {
    int b = 0;
    while (b < 32 && (std::size_t{1} << b) < n) ++b;
    return b;
  };
  const int pathBits = bits(d_->Paths.Size());
  struct TKey {
    std::uint64_t High, Low;  // medium and path; rule and place
    bool operator<(const TKey& o) const { return High != o.High ? High < o.High : Low < o.Low; }
  };
  std::vector<TKey> keys(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TRow& r = rows[i];
    const TKind& k = kinds[r.Kind];
    keys[i] = {static_cast<std::uint64_t>(medium[k.Medium]) << pathBits | path[r.Path],
               static_cast<std::uint64_t>(rule[k.Rule]) << 32 | i};
  }
  std::sort(keys.begin(), keys.end());
  std::vector<std::uint32_t> order(rows.size());
  for (std::size_t i = 0; i < keys.size(); ++i) order[i] = static_cast<std::uint32_t>(keys[i].Low & 0xFFFFFFFFu);
  d_->Order = std::move(order);
}

std::vector<TFinding> TCompactFindings::TakeAll() {
  std::vector<TFinding> all(Size());
  const TImpl& d = *d_;
  auto make = [&all, &d](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const TRow& r = d.At(i);
      const TKind& k = d.Kinds[r.Kind];
      TFinding& f = all[i];
      f.Severity = k.Severity;
      f.Medium.assign(d.Media[k.Medium]);
      f.Path.assign(d.Paths[r.Path]);
      f.Rule.assign(d.Rules[k.Rule]);
      f.Found = d.Found(r);
    }
  };
  // Many findings are made on two threads, each half of them (the list is
  // only read meanwhile).
  const std::size_t half = all.size() >= 20000 ? all.size() / 2 : all.size();
  std::future<void> later;
  if (half < all.size()) try {
      later = std::async(std::launch::async, make, half, all.size());
    } catch (...) {  // no thread to be had: made here
      later = std::async(std::launch::deferred, make, half, all.size());
    }
  make(0, half);
  if (later.valid()) later.get();
  *d_ = TImpl();
  return all;
}

bool TCompactFindings::HasError() const {
  return std::any_of(d_->Rows.begin(), d_->Rows.end(),
                     [this](const TRow& r) { return d_->Kinds[r.Kind].Severity == TSeverity::Error; });
}

bool TCompactFindings::HasProblem() const {
  return std::any_of(d_->Rows.begin(), d_->Rows.end(),
                     [this](const TRow& r) { return d_->Kinds[r.Kind].Severity != TSeverity::Info; });
}

}  // namespace dlvr
