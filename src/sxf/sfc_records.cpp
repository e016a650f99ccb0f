// The feature comments of a file found and read: the text between
// comments passed over (only the end marker looked for), the lines
// counted, each comment's record joined from its lines and split into its
// name and parameters, and its name looked up; a feature of the second part
// of a file read in two kept for the part before.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/line_breaks.h"
#include "sxf/sfc_internal.h"

namespace dlvr::sxf::sfc_detail {
namespace {

// One feature comment longer than this is taken as a broken file, not
// gathered without bound.
constexpr std::size_t kMaxCommentBytes = 64u << 20;
// Lines are counted in runs of about this many bytes.
constexpr std::size_t kCountBytes = 16u << 10;

}  // namespace

bool SplitFeature(std::string_view s, long& id, std::string_view& name, TArgs& args, TSyntaxError& error) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto skip = [&] {
    while (i < n && IsBlank(s[i])) ++i;
  };
  auto fail = [&](const char* reason) {
    error = {std::min(i, n), reason};
    return false;
  };
  skip();
  if (i >= n || s[i] != '#') return fail(DLVR_TR_NOOP("SxfReader", "インスタンス番号（#n）がありません"));
  ++i;
  id = 0;
  const std::size_t digits = i;
  while (i < n && s[i] >= '0' && s[i] <= '9') {
    if (id < 1'000'000'000'000L) id = id * 10 + (s[i] - '0');
    ++i;
  }
  if (i == digits) return fail(DLVR_TR_NOOP("SxfReader", "インスタンス番号（#n）がありません"));
  skip();
  if (i >= n || s[i] != '=') return fail(DLVR_TR_NOOP("SxfReader", "「=」がありません"));
  ++i;
  skip();
  const std::size_t nameStart = i;
  auto nameChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  while (i < n && nameChar(s[i])) ++i;
  name = s.substr(nameStart, i - nameStart);
  if (name.empty()) return fail(DLVR_TR_NOOP("SxfReader", "フィーチャ名がありません"));
  skip();
  if (i >= n || s[i] != '(') return fail(DLVR_TR_NOOP("SxfReader", "引数の「(」がありません"));
  ++i;
  args.Items.clear();
  args.Bad = false;
  skip();
  if (i < n && s[i] == ')') {
    ++i;
  } else {
    while (true) {
      skip();
      if (i >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
      const std::size_t start = i;
      if (s[i] == '\\' && i + 1 < n && s[i + 1] == '\'') {
        // A text: \'...\' in Shift-JIS, whose second bytes may be a backslash.
        std::size_t j = i + 2;
        while (j < n) {
          const unsigned char c = static_cast<unsigned char>(s[j]);
          if (IsLeadByte(c) && j + 1 < n) {
            j += 2;
            continue;
          }
          if (c == '\\' && j + 1 < n && s[j + 1] == '\'') break;
          ++j;
        }
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "文字列が閉じていません"));
        args.Items.push_back({s.substr(i + 2, j - i - 2), true});
        i = j + 2;
      } else if (s[i] == '\'') {
        // (A parameter is a few bytes: its closing quote is looked for here.)
        std::size_t j = i + 1;
        while (j < n && s[j] != '\'') ++j;
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "文字列が閉じていません"));
        args.Items.push_back({s.substr(i + 1, j - i - 1), false});
        i = j + 1;
      } else if (s[i] == '(') {
        int depth = 0;
        std::size_t j = i;
        for (; j < n; ++j) {
          if (s[j] == '(') ++depth;
          if (s[j] == ')' && --depth == 0) break;
        }
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
        args.Items.push_back({s.substr(i, j + 1 - i), false});
        i = j + 1;
      } else {
        std::size_t j = i;
        while (j < n && s[j] != ',' && s[j] != ')' && s[j] != '(' && s[j] != '\'') ++j;
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
        std::string_view bare = s.substr(i, j - i);
        while (!bare.empty() && IsBlank(bare.back())) bare.remove_suffix(1);
        args.Items.push_back({bare, false});
        i = j;
      }
      (void)start;
      skip();
      if (i >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
      if (s[i] == ',') {
        ++i;
        continue;
      }
      if (s[i] == ')') {
        ++i;
        break;
      }
      return fail(DLVR_TR_NOOP("SxfReader", "引数の区切りが正しくありません"));
    }
  }
  skip();
  if (i < n)
    return fail(s.find(')', i) != std::string_view::npos ? DLVR_TR_NOOP("SxfReader", "括弧の対応が正しくありません")
                                                         : DLVR_TR_NOOP("SxfReader", "フィーチャの後に余分な文字があります"));
  return true;
}

const std::unordered_map<std::string_view, TFeature>& FeatureNames() {
  static const std::unordered_map<std::string_view, TFeature> names = {
      {"drawing_sheet_feature", TFeature::Sheet},
      {"layer_feature", TFeature::Layer},
      {"pre_defined_colour_feature", TFeature::PreColour},
      {"user_defined_colour_feature", TFeature::UserColour},
      {"pre_defined_font_feature", TFeature::PreFont},
      {"user_defined_font_feature", TFeature::UserFont},
      {"width_feature", TFeature::Width},
      {"text_font_feature", TFeature::TextFont},
      {"point_marker_feature", TFeature::PointMarker},
      {"line_feature", TFeature::Line},
      {"polyline_feature", TFeature::Polyline},
      {"circle_feature", TFeature::Circle},
      {"arc_feature", TFeature::Arc},
      {"ellipse_feature", TFeature::Ellipse},
      {"ellipse_arc_feature", TFeature::EllipseArc},
      {"text_string_feature", TFeature::Text},
      {"spline_feature", TFeature::Spline},
      {"clothoid_feature", TFeature::Clothoid},
      {"sfig_org_feature", TFeature::SfigOrg},
      {"sfig_locate_feature", TFeature::SfigLocate},
      {"externally_defined_symbol_feature", TFeature::Symbol},
      {"linear_dim_feature", TFeature::LinearDim},
      {"curve_dim_feature", TFeature::CurveDim},
      {"angular_dim_feature", TFeature::AngularDim},
      {"radius_dim_feature", TFeature::RadiusDim},
      {"diameter_dim_feature", TFeature::DiameterDim},
      {"label_feature", TFeature::Label},
      {"balloon_feature", TFeature::Balloon},
      {"externally_defined_hatch_feature", TFeature::ExternalHatch},
      {"fill_area_style_colour_feature", TFeature::FillColour},
      {"fill_area_style_hatching_feature", TFeature::FillHatching},
      {"fill_area_style_tiles_feature", TFeature::FillTiles},
      {"composite_curve_org_feature", TFeature::CompositeCurve},
      {"drawing_attribute_feature", TFeature::Attribute},
  };
  return names;
}

bool Independent(TFeature kind) {
  switch (kind) {
    case TFeature::PreColour:
    case TFeature::PreFont:
    case TFeature::PointMarker:
    case TFeature::Line:
    case TFeature::Polyline:
    case TFeature::Circle:
    case TFeature::Arc:
    case TFeature::Ellipse:
    case TFeature::EllipseArc:
    case TFeature::Text:
    case TFeature::Spline:
    case TFeature::Clothoid:
    case TFeature::Symbol:
    case TFeature::LinearDim:
    case TFeature::CurveDim:
    case TFeature::AngularDim:
    case TFeature::RadiusDim:
    case TFeature::DiameterDim:
    case TFeature::Label:
    case TFeature::Balloon:
      return true;
    default:
      return false;
  }
}

void TSfcReader::Fail(long line, std::string reason) {
  if (drawing_.Stop.Broken) return;
  drawing_.Stop.Broken = true;
  drawing_.Stop.Line = line;
  drawing_.Stop.Reason = std::move(reason);
}

long TSfcReader::LineAt(std::size_t at) {
  if (at > counted_) {
    line_ += LineBreaks(text_.substr(counted_, at - counted_), afterCr_);
    counted_ = at;
  }
  return line_;
}

void TSfcReader::Feed(std::string_view bytes, bool last) {
  if (stopped_) return;
  if (!bytes.empty()) std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
  Fed(bytes.size(), last);
}

char* TSfcReader::Room(std::size_t n) {
  // The lines of the bytes that may be let go are counted first.
  LineAt(pos_);
  std::size_t dropped = 0;
  char* room = buf_.Room(n, pos_, dropped);
  pos_ -= dropped;
  counted_ -= dropped;
  text_ = buf_.View();
  return room;
}

void TSfcReader::Fed(std::size_t n, bool last) {
  if (stopped_) return;
  buf_.Grew(n);
  text_ = buf_.View();
  Process(last);
}

void TSfcReader::Process(bool last) {
  if (!started_) {
    std::size_t i = 0;
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < text_.size() && IsBlank(text_[i])) ++i;
    constexpr std::string_view kMagic = "ISO-10303-21;";
    if (text_.size() - i < kMagic.size() && !last) return;
    if (text_.substr(i, kMagic.size()) != kMagic) {
      Fail(1, Tr("SxfReader", "ISO-10303-21 の交換ファイルではありません"));
      stopped_ = true;
      return;
    }
    started_ = true;
  }
  constexpr std::string_view kEnd = kEndMarker;
  while (!stopped_) {
    const std::size_t open = text_.find("/*", pos_);
    // The text between comments: only the end of the file is looked for.
    const std::size_t plainEnd =
        open != std::string_view::npos
            ? open
            : (last ? text_.size() : std::max(pos_, text_.size() - std::min(text_.size(), kEnd.size())));
    if (plainEnd > pos_) {
      // A marker that starts before plainEnd is whole in the buffer: the
      // last bytes are left for the next round when more are to come.
      const std::size_t reach = std::min(text_.size(), plainEnd + kEnd.size() - 1);
      if (text_.substr(pos_, reach - pos_).find(kEnd) != std::string_view::npos) sawEnd_ = true;
      pos_ = plainEnd;
    }
    if (open == std::string_view::npos) return;
    const std::size_t close = text_.find("*/", open + 2);
    if (close == std::string_view::npos) {
      if (last) {
        Fail(LineAt(pos_), Tr("SxfReader", "フィーチャのコメントが閉じないままファイルが終わっています"));
        pos_ = text_.size();
        stopped_ = true;
      } else if (text_.size() - open > kMaxCommentBytes) {
        Fail(LineAt(pos_), Tr("SxfReader", "コメントが長すぎます"));
        stopped_ = true;
      }
      return;
    }
    std::string_view body = text_.substr(open + 2, close - open - 2);
    // "/*SXF" opens a feature; "/*SXF3" or "/*SXF3.1" one of the features a
    // later version added, which older readers pass over as a plain comment.
    if (body.substr(0, 3) == "SXF") {
      std::size_t at = 3;
      while (at < body.size() && ((body[at] >= '0' && body[at] <= '9') || body[at] == '.')) ++at;
      Feature(body.substr(at), open);
    }
    pos_ = close + 2;
    // The lines are counted behind the reading, while its bytes are in the cache.
    if (pos_ - counted_ >= kCountBytes) LineAt(pos_);
  }
}

void JoinLines(std::string_view body, std::string& out, std::vector<std::pair<std::size_t, long>>& starts) {
  out.clear();
  starts.clear();
  long line = 0;
  std::size_t i = 0;
  while (i <= body.size()) {
    std::size_t end = i;
    while (end < body.size() && body[end] != '\n' && body[end] != '\r') ++end;
    std::string_view text = body.substr(i, end - i);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty()) {
      starts.push_back({out.size(), line});
      out.append(text);
    }
    if (end == body.size()) break;
    i = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    ++line;
  }
}

void TSfcReader::Feature(std::string_view body, std::size_t open) {
  // The comment ends "SXF*/" (or "SXF3.1*/"); that is not part of the feature.
  while (!body.empty() && IsBlank(body.back())) body.remove_suffix(1);
  std::string_view tail = body;
  while (!tail.empty() && ((tail.back() >= '0' && tail.back() <= '9') || tail.back() == '.')) tail.remove_suffix(1);
  if (tail.size() >= 3 && tail.substr(tail.size() - 3) == "SXF") body = tail.substr(0, tail.size() - 3);
  while (!body.empty() && IsBlank(body.back())) body.remove_suffix(1);
  std::size_t lead = 0;
  while (lead < body.size() && IsBlank(body[lead])) ++lead;
  const bool several =
      body.find('\n', lead) != std::string_view::npos || body.find('\r', lead) != std::string_view::npos;
  std::string_view text = body;
  if (several) {
    JoinLines(body, joined_, joinedStarts_);
    text = joined_;
  }
  long id = 0;
  std::string_view name;
  TSyntaxError error;
  if (!SplitFeature(text, id, name, args_, error)) {
    const long line = LineAt(open);
    long at = line;
    if (several) {
      for (const auto& [start, after] : joinedStarts_)
        if (start <= error.At) at = line + after;
    } else {
      bool afterCr = false;
      at += LineBreaks(body.substr(0, error.At), afterCr);
    }
    const std::string shown = name.empty() ? Tr("SxfReader", "フィーチャ") : std::string(name);
    Fail(at, shown + ": " + Tr("SxfReader", error.Reason));
    ++drawing_.Skipped[name.empty() ? Tr("SxfReader", "（読めないフィーチャ）") : AsciiLower(name)];
    return;
  }
  // The name in lower case, without a copy on the heap for the names known.
  char small[64];
  std::string large;
  std::string_view lower;
  if (name.size() <= sizeof small) {
    for (std::size_t i = 0; i < name.size(); ++i)
      small[i] = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
    lower = std::string_view(small, name.size());
  } else {
    large = AsciiLower(name);
    lower = large;
  }
  TFeature kind = lastKind_;
  if (lastName_.empty() || lower != lastName_) {
    const auto found = FeatureNames().find(lower);
    if (found == FeatureNames().end()) {
      ++drawing_.Skipped[std::string(lower)];
      return;
    }
    kind = found->second;
    lastName_.assign(lower);
    lastKind_ = kind;
  }
  if (deferring_ && !Independent(kind)) {
    Defer(kind, lower, LineAt(open), id);
    return;
  }
  curId_ = id;
  // (Of the features drawn, only placements keep their line.)
  const bool placement = kind == TFeature::SfigLocate || kind == TFeature::FillTiles;
  Dispatch(kind, lower, placement ? LineAt(open) : 0);
}

void TSfcReader::Defer(TFeature kind, std::string_view name, long line, long id) {
  TDeferred d;
  d.Kind = kind;
  d.Name = name;
  d.Line = line;
  d.Id = id;
  d.At = cur_.Size;
  for (const TArg& a : args_.Items) {
    d.Args.push_back({d.Text.size(), a.Text.size(), a.String});
    d.Text.append(a.Text);
  }
  deferred_.push_back(std::move(d));
}

}  // namespace dlvr::sxf::sfc_detail
