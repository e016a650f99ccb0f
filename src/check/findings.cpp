#include "check/findings.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <numeric>
#include <tuple>
#include <unordered_map>

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
  std::uint64_t Add(std::string_view s) {
    const std::size_t need = sizeof(std::uint32_t) + s.size();
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < need) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlock, need));
    }
    std::string& b = blocks_.back();
    const std::uint64_t ref = (static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | b.size();
    const auto size = static_cast<std::uint32_t>(s.size());
    b.append(reinterpret_cast<const char*>(&size), sizeof size);
    b.append(s);
    return ref;
  }
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

struct TRow {
  std::uint64_t Found;
  std::uint32_t Path, Medium, Rule;
  TSeverity Severity;
};

}  // namespace

struct TFindingList::TImpl {
  TTextTable Media, Paths, Rules;
  TTextBlocks Texts;
  std::deque<TRow> Rows;           // a deque: growing never moves them all
  std::vector<std::uint32_t> Order;  // the rows' sorted order, when sorted

  TFindingView View(const TRow& r) const {
    return {r.Severity, Media[r.Medium], Paths[r.Path], Rules[r.Rule], Texts[r.Found]};
  }
  const TRow& At(std::size_t i) const { return Rows[Order.empty() ? i : Order[i]]; }
};

TFindingList::TFindingList() : d_(std::make_unique<TImpl>()) {}
TFindingList::~TFindingList() = default;
TFindingList::TFindingList(TFindingList&&) noexcept = default;
TFindingList& TFindingList::operator=(TFindingList&&) noexcept = default;

void TFindingList::Add(TSeverity severity, std::string_view medium, std::string_view path, std::string_view rule,
                       std::string_view found) {
  d_->Order.clear();
  d_->Rows.push_back({d_->Texts.Add(found), d_->Paths.Id(path), d_->Media.Id(medium), d_->Rules.Id(rule), severity});
}

std::size_t TFindingList::Size() const { return d_->Rows.size(); }

TFindingView TFindingList::operator[](std::size_t i) const { return d_->View(d_->At(i)); }

void TFindingList::ForEach(const std::function<void(const TFindingView&)>& f) const {
  for (std::size_t i = 0; i < Size(); ++i) f((*this)[i]);
}

void TFindingList::EraseIf(const std::function<bool(const TFindingView&)>& drop) {
  d_->Order.clear();
  std::erase_if(d_->Rows, [&](const TRow& r) { return drop(d_->View(r)); });
}

void TFindingList::Sort() {
  const std::vector<std::uint32_t> medium = d_->Media.Ranks(), path = d_->Paths.Ranks(), rule = d_->Rules.Ranks();
  std::vector<std::uint32_t> order(d_->Rows.size());
  std::iota(order.begin(), order.end(), 0u);
  const std::deque<TRow>& rows = d_->Rows;
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const TRow& x = rows[a];
    const TRow& y = rows[b];
    return std::tie(medium[x.Medium], path[x.Path], rule[x.Rule]) < std::tie(medium[y.Medium], path[y.Path], rule[y.Rule]);
  });
  d_->Order = std::move(order);
}

std::vector<TFinding> TFindingList::TakeAll() {
  std::vector<TFinding> all;
  all.reserve(Size());
  for (std::size_t i = 0; i < Size(); ++i) all.push_back((*this)[i].Copy());
  *d_ = TImpl();
  return all;
}

bool TFindingList::HasError() const {
  return std::any_of(d_->Rows.begin(), d_->Rows.end(), [](const TRow& r) { return r.Severity == TSeverity::Error; });
}

bool TFindingList::HasProblem() const {
  return std::any_of(d_->Rows.begin(), d_->Rows.end(), [](const TRow& r) { return r.Severity != TSeverity::Info; });
}

}  // namespace dlvr
