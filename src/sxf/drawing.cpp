#include "sxf/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/translate.h"

namespace dlvr::sxf {

TTransform TTransform::After(const TTransform& i) const {
  return {A * i.A + C * i.B, B * i.A + D * i.B, A * i.C + C * i.D,
          B * i.C + D * i.D, A * i.E + C * i.F + E, B * i.E + D * i.F + F};
}

void TPointList::reserve(std::size_t n) {
  if (n <= capacity_) return;
  if (n > UINT32_MAX) throw std::bad_alloc();
  auto* grown = static_cast<TPoint*>(std::malloc(n * sizeof(TPoint)));
  if (!grown) throw std::bad_alloc();
  const std::uint32_t kept = size_;
  if (kept > 0) std::memcpy(static_cast<void*>(grown), data(), kept * sizeof(TPoint));
  Release();
  heap_ = grown;
  size_ = kept;
  capacity_ = static_cast<std::uint32_t>(n);
}

void TPointList::Assign(const TPoint* points, std::size_t n) {
  size_ = 0;
  reserve(n);
  if (n > 0) std::memcpy(static_cast<void*>(data()), points, n * sizeof(TPoint));
  size_ = static_cast<std::uint32_t>(n);
}

void TPointList::Take(TPointList& other) noexcept {
  size_ = other.size_;
  capacity_ = other.capacity_;
  if (capacity_ > kInline) {
    heap_ = other.heap_;
  } else {
    for (std::uint32_t i = 0; i < kInline; ++i) inline_[i] = other.inline_[i];
  }
  other.size_ = 0;
  other.capacity_ = kInline;
}

void TPointList::Release() noexcept {
  if (capacity_ > kInline) std::free(heap_);
  capacity_ = kInline;
  size_ = 0;
}

// A drawing holds a million primitives: a line, the commonest, is kept small
// and moves without a copy when the list grows.
static_assert(sizeof(void*) != 8 || sizeof(TPrimitive) <= 128);
static_assert(std::is_nothrow_move_constructible_v<TPrimitive>);

const TPrimitiveExtra TPrimitive::kNoExtra{};

void TPrimitive::SetText(std::string text) {
  if (!text.empty() || extra_.get()) extra_.Make().Text = std::move(text);
}

void TPrimitive::AddHole(std::vector<TPoint> ring) { extra_.Make().Holes.push_back(std::move(ring)); }

void TPrimitive::SetPatternLines(std::vector<std::pair<double, double>> lines) {
  if (!lines.empty() || extra_.get()) extra_.Make().PatternLines = std::move(lines);
}

void TPrimitive::AddPatternLine(double angle, double pitch) {
  extra_.Make().PatternLines.push_back({angle, pitch});
}

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

TPoint Linear(const TTransform& t, TPoint v) { return {t.A * v.X + t.C * v.Y, t.B * v.X + t.D * v.Y}; }

// A direction turned by the placement: its new angle and how much lengths
// along it and across it are scaled.
struct TTurned {
  double Angle = 0, Along = 1, Across = 1;
};
TTurned Turn(const TTransform& t, double angle) {
  const TPoint d = Linear(t, {std::cos(angle), std::sin(angle)});
  const double len = std::hypot(d.X, d.Y);
  if (!(len > 0)) return {angle, 0, 0};
  return {std::atan2(d.Y, d.X), len, std::fabs(t.A * t.D - t.B * t.C) / len};
}

// Circles, arcs and ellipses under a placement. The conic is the image of
// the unit circle under K = M R(rotation) diag(rx, ry); K is split into
// R(phi) diag(s1, s2) R(theta), so the new axes turn by phi, the radii are
// |s1| and |s2|, and the parameter of every point moves by theta (and runs
// backwards when s2 < 0, a mirror). Arcs stay counter-clockwise from Start
// to End; Reversed tells that one is travelled from End back to Start.
void TransformConic(TPrimitive& p, const TTransform& t) {
  // A circle or arc not turned, placed at an even scale without a turn
  // (as most figures are placed): the split below gives its radius scaled,
  // its angles plus zero and no turn, which is written here to the same
  // bits without the sines and arc tangents.
  if ((p.Kind == TKind::Circle || p.Kind == TKind::Arc) && p.Rx == p.Ry && p.Rx > 0 && p.Rotation == 0 &&
      !std::signbit(p.Rotation) && t.B == 0 && t.C == 0 && t.A == t.D && t.A > 0) {
    const double k = t.A * p.Rx;
    const double r = (k + k) / 2;
    if (std::isfinite(r)) {
      p.Rx = p.Ry = r;
      p.Start = (p.Start + 0.0) + 0.0;
      p.End = (p.End + 0.0) + 0.0;
      p.Rotation = 0;
      return;
    }
  }
  const double c = std::cos(p.Rotation), s = std::sin(p.Rotation);
  const double k11 = (t.A * c + t.C * s) * p.Rx, k21 = (t.B * c + t.D * s) * p.Rx;
  const double k12 = (-t.A * s + t.C * c) * p.Ry, k22 = (-t.B * s + t.D * c) * p.Ry;
  const double e = (k11 + k22) / 2, f = (k11 - k22) / 2, g = (k21 + k12) / 2, h = (k21 - k12) / 2;
  const double q = std::hypot(e, h), r = std::hypot(f, g);
  const double s1 = q + r, s2 = q - r;
  const double a1 = std::atan2(g, f), a2 = std::atan2(h, e);
  const double theta = (a2 - a1) / 2, phi = (a2 + a1) / 2;
  p.Rotation = phi;
  p.Rx = s1;
  p.Ry = std::fabs(s2);
  if (s2 >= 0) {
    p.Start += theta;
    p.End += theta;
  } else {
    // Mirrored: the counter-clockwise span from Start to End becomes the
    // counter-clockwise span from the new end to the new start, travelled
    // the other way.
    const double start = p.Start;
    p.Start = -(p.End + theta);
    p.End = -(start + theta);
    p.Reversed = !p.Reversed;
  }
  const bool round = std::fabs(p.Rx - p.Ry) <= 1e-9 * std::max(1.0, p.Rx);
  if (p.Kind == TKind::Circle && !round) p.Kind = TKind::Ellipse;
  if (p.Kind == TKind::Arc && !round) p.Kind = TKind::EllipseArc;
  if (p.Kind == TKind::Circle || p.Kind == TKind::Arc) {
    // A circle has no axis of its own: its angles are kept from the sheet's x axis.
    p.Start += p.Rotation;
    p.End += p.Rotation;
    p.Rotation = 0;
  }
}

}  // namespace

void TransformPrimitive(TPrimitive& p, const TTransform& t) {
  TPrimitiveExtra* extra = p.MutableExtra();
  for (TPoint& q : p.Points) q = t.Apply(q);
  if (extra)
    for (auto& hole : extra->Holes)
      for (TPoint& q : hole) q = t.Apply(q);
  switch (p.Kind) {
    case TKind::Circle:
    case TKind::Arc:
    case TKind::Ellipse:
    case TKind::EllipseArc:
      TransformConic(p, t);
      break;
    case TKind::Text: {
      const TTurned turned = Turn(t, p.Rotation);
      p.Rotation = turned.Angle;
      p.CharWidth *= turned.Along;
      p.Spacing *= turned.Along;
      p.Height *= turned.Across;
      break;
    }
    case TKind::Point: {
      const TTurned turned = Turn(t, p.Rotation);
      p.Rotation = turned.Angle;
      p.Rx *= std::sqrt(turned.Along * turned.Across);
      break;
    }
    case TKind::Hatch:
      if (extra)
        for (auto& line : extra->PatternLines) {
          const TTurned turned = Turn(t, line.first);
          line.first = turned.Angle;
          line.second *= turned.Across;
        }
      break;
    default:
      break;
  }
}

void AppendConicPoints(const TPrimitive& p, std::vector<TPoint>& out) {
  const bool whole = p.Kind == TKind::Circle || p.Kind == TKind::Ellipse;
  const double start = whole ? 0 : p.Start;
  double sweep = whole ? kTwoPi : std::fmod(p.End - p.Start, kTwoPi);
  if (!(sweep > 1e-12)) sweep += kTwoPi;
  if (!std::isfinite(sweep)) sweep = kTwoPi;
  const int n = std::clamp(static_cast<int>(std::ceil(sweep / kTwoPi * 72)), 2, 144);
  const double c = std::cos(p.Rotation), s = std::sin(p.Rotation);
  const TPoint centre = p.Points.empty() ? TPoint{} : p.Points[0];
  for (int i = 0; i <= n; ++i) {
    const double a = start + sweep * (p.Reversed ? n - i : i) / n;
    const double x = p.Rx * std::cos(a), y = p.Ry * std::sin(a);
    out.push_back({centre.X + c * x - s * y, centre.Y + s * x + c * y});
  }
}

double TTransform::Scale() const { return std::sqrt(std::fabs(A * D - B * C)); }

bool TTransform::Mirrors() const { return A * D - B * C < 0; }

std::uint64_t PrimitivePoints(const TPrimitive& p) {
  std::uint64_t n = p.Points.size();
  for (const auto& hole : p.Holes()) n += hole.size();
  return n;
}

std::uint64_t PrimitiveBytes(const TPrimitive& p) {
  std::uint64_t n = sizeof(TPrimitive);
  if (p.Points.size() > 2) n += p.Points.size() * sizeof(TPoint);
  if (!p.Text().empty() || !p.Holes().empty() || !p.PatternLines().empty()) {
    n += sizeof(TPrimitiveExtra) + p.Text().size();
    for (const auto& hole : p.Holes()) n += sizeof(hole) + hole.size() * sizeof(TPoint);
    n += p.PatternLines().size() * sizeof(std::pair<double, double>);
  }
  return n;
}

bool TBudgetMeter::Take(const TPrimitive& p) {
  if (spent_) return false;
  const std::uint64_t points = PrimitivePoints(p), bytes = PrimitiveBytes(p);
  if (primitives_ >= budget_.Primitives || points > budget_.Points - points_ || bytes > budget_.Bytes - bytes_) {
    spent_ = true;
    return false;
  }
  ++primitives_;
  points_ += points;
  bytes_ += bytes;
  return true;
}

bool TBudgetMeter::TakePlacement() {
  if (spent_) return false;
  if (placements_ >= budget_.Placements) {
    spent_ = true;
    return false;
  }
  ++placements_;
  return true;
}

std::string BudgetReason(std::size_t primitives) {
  return Arg(Tr("SxfReader", "図面が大きすぎるため、%1 個の要素まで読み込みました"), {std::to_string(primitives)});
}

void StopForMemory(TDrawing& d, std::string (*reason)()) noexcept {
  d.Stop.Broken = true;
  d.Stop.Line = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      d.Stop.Reason = reason();
      return;
    } catch (...) {
      // No room even for the reason: what was read goes first.
      std::vector<TPrimitive>().swap(d.Primitives);
      std::vector<TPartial>().swap(d.Partials);
    }
  }
  d.Stop.Reason.clear();
}

}  // namespace dlvr::sxf
