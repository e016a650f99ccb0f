#include "sxf/tables.h"

#include <cmath>
#include <initializer_list>

namespace dlvr::sxf {
namespace {

struct TColourRow {
  const char* Name;
  std::uint8_t R, G, B;
};

constexpr TColourRow kColours[kPredefinedColourCount] = {
    {"black", 0, 0, 0},          {"red", 255, 0, 0},          {"green", 0, 255, 0},
    {"blue", 0, 0, 255},         {"yellow", 255, 255, 0},     {"magenta", 255, 0, 255},
    {"cyan", 0, 255, 255},       {"white", 255, 255, 255},    {"deeppink", 192, 0, 128},
    {"brown", 192, 128, 64},     {"orange", 255, 128, 0},     {"lightgreen", 128, 192, 128},
    {"lightblue", 0, 128, 255},  {"lavender", 128, 64, 255},  {"lightgray", 192, 192, 192},
    {"darkgray", 128, 128, 128},
};

struct TLineTypeRow {
  const char* Name;
  std::initializer_list<double> Pitches;
};

// Dash, gap, dash, gap, ... in mm.
const TLineTypeRow kLineTypes[kPredefinedLineTypeCount] = {
    {"continuous", {}},
    {"dashed", {6, 1.5}},
    {"dashed spaced", {6, 6}},
    {"long dashed dotted", {12, 1.5, 0.25, 1.5}},
    {"long dashed double-dotted", {12, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {"long dashed triplicate-dotted", {12, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {"dotted", {0.25, 1.5}},
    {"chain", {12, 1.5, 3.5, 1.5}},
    {"chain double dash", {12, 1.5, 3.5, 1.5, 3.5, 1.5}},
    {"dashed dotted", {6, 1.5, 0.25, 1.5}},
    {"double-dashed dotted", {6, 1.5, 6, 1.5, 0.25, 1.5}},
    {"dashed double-dotted", {6, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {"double-dashed double-dotted", {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {"dashed triplicate-dotted", {6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {"double-dashed triplicate-dotted", {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
};

constexpr double kWidths[kPredefinedWidthCount] = {0.13, 0.18, 0.25, 0.35, 0.5, 0.7, 1.0, 1.4, 2.0};

// Letters and digits only, lower case: "Double-Dashed  Dotted" and
// "double_dashed_dotted" compare equal.
std::string Folded(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
  }
  return out;
}

}  // namespace

bool PredefinedColour(int code, TColour& out) {
  if (code < 1 || code > kPredefinedColourCount) return false;
  const TColourRow& row = kColours[code - 1];
  out = TColour{row.Name, row.R, row.G, row.B};
  return true;
}

int PredefinedColourCode(std::string_view name) {
  const std::string folded = Folded(name);
  if (folded.empty()) return 0;
  for (int i = 0; i < kPredefinedColourCount; ++i)
    if (folded == kColours[i].Name) return i + 1;
  return 0;
}

bool PredefinedLineType(int code, TLineType& out) {
  if (code < 1 || code > kPredefinedLineTypeCount) return false;
  const TLineTypeRow& row = kLineTypes[code - 1];
  out.Name = row.Name;
  out.Pitches.assign(row.Pitches.begin(), row.Pitches.end());
  return true;
}

int PredefinedLineTypeCode(std::string_view name) {
  const std::string folded = Folded(name);
  if (folded.empty()) return 0;
  for (int i = 0; i < kPredefinedLineTypeCount; ++i)
    if (folded == Folded(kLineTypes[i].Name)) return i + 1;
  return 0;
}

double PredefinedWidth(int code) {
  if (code < 1 || code > kPredefinedWidthCount) return 0;
  return kWidths[code - 1];
}

int PredefinedWidthCode(double widthMm) {
  for (int i = 0; i < kPredefinedWidthCount; ++i)
    if (std::fabs(widthMm - kWidths[i]) < 0.001) return i + 1;
  return 0;
}

bool SheetOf(int typeCode, int orientation, double freeWidth, double freeHeight, TSheet& out) {
  static constexpr double kSides[5][2] = {{1189, 841}, {841, 594}, {594, 420}, {420, 297}, {297, 210}};
  if (typeCode >= 0 && typeCode <= 4) {
    const double longSide = kSides[typeCode][0], shortSide = kSides[typeCode][1];
    out.Name = "A" + std::to_string(typeCode);
    const bool landscape = orientation != 0;
    out.Width = landscape ? longSide : shortSide;
    out.Height = landscape ? shortSide : longSide;
    return true;
  }
  out.Name = "free";
  out.Width = std::isfinite(freeWidth) && freeWidth > 0 ? freeWidth : 0;
  out.Height = std::isfinite(freeHeight) && freeHeight > 0 ? freeHeight : 0;
  return typeCode == 9;
}

TAlignFractions AlignFractions(int align) {
  if (align < 1 || align > 9) align = 1;
  const int column = (align - 1) % 3;  // left, centre, right
  const int row = (align - 1) / 3;     // bottom, middle, top
  return {column * 0.5, row * 0.5};
}

}  // namespace dlvr::sxf
