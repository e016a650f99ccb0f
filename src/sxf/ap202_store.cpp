// The instance store: a file's instances kept as they arrive (points and
// directions as numbers, every other instance encoded in a few bytes a
// value), what the drawing needs of all of them noted, a second store of
// the same file taken over, and an instance decoded when asked for.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "sxf/ap202_internal.h"
#include "sxf/large_pages.h"

namespace dlvr::sxf::ap202_detail {

bool TStore::OnInstance(TInstance&& inst) {
  if (!inst.Complex && inst.Records.size() == 1) {
    const TRecord& r = inst.Records[0];
    const TValue* coords = Param(r, 1);
    if ((r.Name == "CARTESIAN_POINT" || r.Name == "DIRECTION") && coords && coords->Kind == TValueKind::List &&
        coords->Items.size() >= 2 && coords->Items[0].IsNumber() && coords->Items[1].IsNumber()) {
      if (!points.empty() && points.back().Id >= inst.Id) pointsSorted_ = false;
      points.push_back({inst.Id, {coords->Items[0].Number, coords->Items[1].Number}});
      return true;
    }
  }
  Note(inst);
  index_.Add(inst.Id, Encode(inst));
  return true;
}

void TStore::Reserve(std::uint64_t bytes) {
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 48, std::uint64_t{1} << 26));
  points.reserve(count);
  AdviseLargePages(points.data(), points.capacity() * sizeof(TKeptPoint));
  index_.Reserve(count);
}

void TStore::SortTables() {
  index_.Finish();
  if (!pointsSorted_) std::stable_sort(points.begin(), points.end(), PointBefore);
  pointsSorted_ = true;
  inner.Finish();
  if (!std::is_sorted(layerOf.begin(), layerOf.end(), LayerOfBefore))
    std::stable_sort(layerOf.begin(), layerOf.end(), LayerOfBefore);
}

void TStore::Finish() {
  SortTables();
  for (TArena& a : others_) {
    a.Index.Finish();
    if (!std::is_sorted(a.Points.begin(), a.Points.end(), PointBefore))
      std::stable_sort(a.Points.begin(), a.Points.end(), PointBefore);
    a.Inner.Finish();
  }
  for (long item : invisible)
    if (!layerIds.count(item)) hidden.push_back(item);
  std::sort(hidden.begin(), hidden.end());
}

void TStore::Append(TStore&& b) {
  others_.push_back({std::move(b.blocks_), std::move(b.names_), std::move(b.index_), std::move(b.points),
                     std::move(b.inner), b.linesBefore_});
  // Both stores' roots in one list of fresh memory, marked for large pages.
  std::vector<long> allRoots;
  allRoots.reserve(roots.size() + b.roots.size());
  AdviseLargePages(allRoots.data(), allRoots.capacity() * sizeof(long));
  allRoots.insert(allRoots.end(), roots.begin(), roots.end());
  allRoots.insert(allRoots.end(), b.roots.begin(), b.roots.end());
  roots = std::move(allRoots);
  const int offset = static_cast<int>(layers.size());
  layers.insert(layers.end(), b.layers.begin(), b.layers.end());
  // Both in order (each portion put its own in order): merged, the first
  // of one item still first.
  for (auto& entry : b.layerOf) entry.second += offset;
  std::vector<std::pair<long, int>> both;
  both.reserve(layerOf.size() + b.layerOf.size());
  AdviseLargePages(both.data(), both.capacity() * sizeof(both[0]));
  if (std::is_sorted(layerOf.begin(), layerOf.end(), LayerOfBefore) &&
      std::is_sorted(b.layerOf.begin(), b.layerOf.end(), LayerOfBefore)) {
    std::merge(layerOf.begin(), layerOf.end(), b.layerOf.begin(), b.layerOf.end(), std::back_inserter(both),
               LayerOfBefore);
  } else {
    both.insert(both.end(), layerOf.begin(), layerOf.end());
    both.insert(both.end(), b.layerOf.begin(), b.layerOf.end());
  }
  layerOf = std::move(both);
  for (const auto& [id, layer] : b.layerIds) layerIds.try_emplace(id, layer + offset);
  invisible.insert(invisible.end(), b.invisible.begin(), b.invisible.end());
  if (!sheet) sheet = b.sheet, sheetName = std::move(b.sheetName);
  sizes.insert(sizes.end(), b.sizes.begin(), b.sizes.end());
  for (auto& [key, value] : b.titleValues) titleValues.try_emplace(key, std::move(value));
  degree = degree || b.degree;
  radian = radian || b.radian;
  for (const auto& [name, count] : b.unknown) unknown[name] += count;
  occurrences += b.occurrences;
  b = TStore();
}

TFound TStore::Find(long id, TStoreHints& hints) const {
  if (auto at = index_.Find(id, hints.Index))
    return std::make_shared<const TInstance>(Decode(id, *at, blocks_, names_, linesBefore_));
  if (hints.OtherIndex.size() < others_.size()) hints.OtherIndex.resize(others_.size());
  for (std::size_t i = 0; i < others_.size(); ++i)
    if (auto at = others_[i].Index.Find(id, hints.OtherIndex[i]))
      return std::make_shared<const TInstance>(
          Decode(id, *at, others_[i].Blocks, others_[i].Names, others_[i].LinesBefore));
  return nullptr;
}

void TStore::Note(const TInstance& inst) {
  const TRecord& r = inst.Records[0];
  const std::string& n = r.Name;
  bool known = false;
  for (const TRecord& rec : inst.Records) {
    known = known || IsKnownName(rec.Name);
    if (rec.Name == "CONVERSION_BASED_UNIT" && AsciiUpper(Str(Param(rec, 0))).find("DEGREE") != std::string::npos)
      degree = true;
    if (rec.Name == "SI_UNIT" && Str(Param(rec, inst.Complex ? 1 : 2)) == "RADIAN") radian = true;
  }
  if (!known) ++unknown[n];
  auto hold = [&](const TValue* v) {
    for (long ref : Refs(v)) inner.Add(ref);
    if (long ref = RefOf(v)) inner.Add(ref);
  };
  if (inst.Complex) {
    const TRecord* si = Part(inst, "STYLED_ITEM");
    if (si) hold(Param(*si, 1)), ++occurrences;
    if (si || Part(inst, "MAPPED_ITEM")) roots.push_back(inst.Id);
    return;
  }
  if (IsStyledName(n)) {
    hold(Param(r, 2));
    roots.push_back(inst.Id);
    ++occurrences;
  } else if (IsMappedName(n)) {
    roots.push_back(inst.Id);
  } else if (IsCalloutName(n) || IsRepresentationName(n) || n == "ANNOTATION_FILL_AREA" || n == "COMPOSITE_CURVE") {
    hold(Param(r, 1));
    if (IsCalloutName(n) || n == "DRAWING_SHEET_REVISION") roots.push_back(inst.Id);
    if (n == "DRAWING_SHEET_REVISION" && !sheet) sheet = inst.Id, sheetName = Str(Param(r, 0));
  } else if (n == "PRESENTATION_LAYER_ASSIGNMENT") {
    const int index = static_cast<int>(layers.size());
    layers.push_back({Str(Param(r, 0)), true});
    layerIds[inst.Id] = index;
    for (long item : Refs(Param(r, 2))) layerOf.emplace_back(item, index);
  } else if (EndsWith(n, "INVISIBILITY")) {
    for (long item : Refs(Param(r, 0))) invisible.push_back(item);
  } else if (n == "PRESENTATION_SIZE") {
    sizes.emplace_back(RefOf(Param(r, 0)), RefOf(Param(r, 1)));
  } else if (n == "DESCRIPTIVE_REPRESENTATION_ITEM") {
    titleValues.try_emplace(Str(Param(r, 0)), Str(Param(r, 1)));
  }
}

void TStore::PutValue(const TValue& v, long id) {
  const bool whole = v.Kind == TValueKind::Integer && v.Number >= -9e15 && v.Number <= 9e15 &&
                     v.Number == static_cast<double>(static_cast<std::int64_t>(v.Number));
  Put(static_cast<std::uint8_t>(static_cast<std::uint8_t>(v.Kind) | (whole ? kWholeInteger : 0)));
  switch (v.Kind) {
    case TValueKind::Integer:
      if (whole) {
        PutVar(ZigZag(static_cast<std::int64_t>(v.Number)));
        break;
      }
      [[fallthrough]];
    case TValueKind::Real: Put(v.Number); break;
    case TValueKind::Ref:  // (wrapping: any two numbers have a distance)
      PutVar(ZigZag(static_cast<std::int64_t>(static_cast<std::uint64_t>(v.Ref) - static_cast<std::uint64_t>(id))));
      break;
    case TValueKind::String:
    case TValueKind::Enum:
    case TValueKind::Binary: PutText(v.Text); break;
    case TValueKind::Typed: PutName(v.Text); [[fallthrough]];
    case TValueKind::List:
      PutVar(v.Items.size());
      for (const TValue& i : v.Items) PutValue(i, id);
      break;
    default: break;
  }
}

std::uint64_t TStore::Encode(const TInstance& inst) {
  buf_.clear();
  PutVar(static_cast<std::uint64_t>(std::max(0L, inst.Line)));
  Put(static_cast<std::uint8_t>(inst.Complex));
  PutVar(inst.Records.size());
  for (const TRecord& r : inst.Records) {
    PutName(r.Name);
    PutVar(r.Params.size());
    for (const TValue& v : r.Params) PutValue(v, inst.Id);
  }
  if (blocks_.empty() || blocks_.back().size() + buf_.size() > kBlock) {
    blocks_.emplace_back();
    blocks_.back().reserve(std::max(kBlock, buf_.size()));
    AdviseLargePages(blocks_.back().data(), blocks_.back().capacity());
  }
  const std::uint64_t at = (static_cast<std::uint64_t>(blocks_.size() - 1) << kOffsetBits) | blocks_.back().size();
  blocks_.back() += buf_;
  return at;
}

void TStore::GetValue(TReader& in, TValue& v) {
  const auto kind = in.Get<std::uint8_t>();
  v.Kind = static_cast<TValueKind>(kind & ~kWholeInteger);
  switch (v.Kind) {
    case TValueKind::Integer:
    case TValueKind::Real:
      v.Number = kind & kWholeInteger ? static_cast<double>(in.Signed()) : in.Get<double>();
      break;
    case TValueKind::Ref:
      v.Ref = static_cast<long>(static_cast<std::uint64_t>(in.Signed()) + static_cast<std::uint64_t>(in.Id));
      break;
    case TValueKind::String:
    case TValueKind::Enum:
    case TValueKind::Binary: {
      const auto n = in.Var();
      v.Text.assign(in.P, n);
      in.P += n;
      break;
    }
    case TValueKind::Typed: v.Text = (*in.Names)[in.Var()]; [[fallthrough]];
    case TValueKind::List: {
      v.Items.resize(in.Var());
      for (TValue& i : v.Items) GetValue(in, i);
      break;
    }
    default: break;
  }
}

TInstance TStore::Decode(long id, std::uint64_t at, const std::vector<std::string>& blocks,
                         const std::vector<std::string>& names, long linesBefore) {
  TReader in{blocks[at >> kOffsetBits].data() + (at & ((std::uint64_t{1} << kOffsetBits) - 1)), id, &names};
  TInstance inst;
  inst.Id = id;
  inst.Line = static_cast<long>(in.Var()) + linesBefore;
  inst.Complex = in.Get<std::uint8_t>() != 0;
  inst.Records.resize(in.Var());
  for (TRecord& r : inst.Records) {
    r.Name = (*in.Names)[in.Var()];
    r.Params.resize(in.Var());
    for (TValue& v : r.Params) GetValue(in, v);
  }
  return inst;
}

}  // namespace dlvr::sxf::ap202_detail
