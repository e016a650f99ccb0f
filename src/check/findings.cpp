#include "check/findings.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <numeric>
#include <tuple>
#include <unordered_map>

#include "platform/translate.h"

namespace dlvr {

namespace {

// Distinct texts, each kept once and known by its number.
class TTextTable {
 public:
  std::uint32_t Id(std::string_view s) {
    if (auto it = ids_.find(s); it != ids_.end()) return it->second;
    const auto id = static_cast<std::uint32_t>(texts_.size());
    texts_.emplace_back(s);
    ids_.emplace(texts_.back(), id);
    return id;
  }
  std::string_view operator[](std::uint32_t id) const { return texts_[id]; }
  // Each number's place among the texts sorted.
  std::vector<std::uint32_t> Ranks() const {
    std::vector<std::uint32_t> byText(texts_.size());
    std::iota(byText.begin(), byText.end(), 0u);
    std::sort(byText.begin(), byText.end(), [this](std::uint32_t a, std::uint32_t b) { return texts_[a] < texts_[b]; });
    std::vector<std::uint32_t> rank(texts_.size());
    for (std::size_t i = 0; i < byText.size(); ++i) rank[byText[i]] = static_cast<std::uint32_t>(i);
    return rank;
  }

 private:
  std::deque<std::string> texts_;  // a deque: the map's keys point into its strings
  std::unordered_map<std::string_view, std::uint32_t> ids_;
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
std::vector<std::string_view> Values(std::string_view kept) {
  std::vector<std::string_view> values;
  while (kept.size() >= 2) {
    const std::size_t n = static_cast<unsigned char>(kept[0]) | static_cast<std::size_t>(static_cast<unsigned char>(kept[1])) << 8;
    values.push_back(kept.substr(2, n));
    kept.remove_prefix(std::min(kept.size(), 2 + n));
  }
  return values;
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

}  // namespace

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
  TFindingView View(const TRow& r) const {
    const TKind& k = Kinds[r.Kind];
    const std::string_view text = Texts[r.Found];
    TFindingView v{k.Severity, Media[k.Medium], Paths[r.Path], Rules[k.Rule], std::string()};
    if (r.Pattern == 0) {
      v.Found.assign(text);
    } else {
      const std::vector<std::string_view> values = Values(text);
      v.Found = Arg(Patterns[r.Pattern - 1], values);
    }
    return v;
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
  if (std::any_of(args.begin(), args.end(), [](std::string_view a) { return a.size() > 0xFFFF; })) {
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
  std::vector<std::uint32_t> order(d_->Rows.size());
  std::iota(order.begin(), order.end(), 0u);
  const std::deque<TRow>& rows = d_->Rows;
  const std::vector<TKind>& kinds = d_->Kinds;
  // Ties go by the order added (no buffer of a stable sort needed).
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const TRow& x = rows[a];
    const TRow& y = rows[b];
    const TKind& kx = kinds[x.Kind];
    const TKind& ky = kinds[y.Kind];
    return std::tie(medium[kx.Medium], path[x.Path], rule[kx.Rule], a) <
           std::tie(medium[ky.Medium], path[y.Path], rule[ky.Rule], b);
  });
  d_->Order = std::move(order);
}

std::vector<TFinding> TCompactFindings::TakeAll() {
  std::vector<TFinding> all;
  all.reserve(Size());
  for (std::size_t i = 0; i < Size(); ++i) all.push_back((*this)[i].Copy());
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
