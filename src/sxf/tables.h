// The fixed tables of SXF drawings, the same in both modes: the predefined
// colours, line types and line widths with their codes, the sheet sizes and
// the nine text alignments. Codes are those the feature comments use (a
// colour code 1..16 names a predefined colour, 17.. the user's colours in the
// order they are defined; line types 1..15 predefined, 17.. the user's; line
// widths 1..9 predefined, further codes the user's widths).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/translate.h"
#include "sxf/drawing.h"

namespace dlvr::sxf {

inline constexpr int kPredefinedColourCount = 16;
inline constexpr int kFirstUserColourCode = 17;
inline constexpr int kMaxColourCode = 256;
inline constexpr int kPredefinedLineTypeCount = 15;
inline constexpr int kFirstUserLineTypeCode = 17;
inline constexpr int kMaxLineTypeCode = 32;
inline constexpr int kPredefinedWidthCount = 9;
inline constexpr int kFirstUserWidthCode = 10;
inline constexpr int kMaxWidthCode = 16;
inline constexpr int kMaxLayerCode = 256;

// The predefined colour of a code 1..16 ("black", 0, 0, 0), or false.
bool PredefinedColour(int code, TColour& out);
// The code 1..16 of a predefined colour name (case and blanks ignored), 0
// when the name is not one.
int PredefinedColourCode(std::string_view name);

// The predefined line type of a code 1..15 (name and dash/gap pitches in mm;
// "continuous" has none), or false.
bool PredefinedLineType(int code, TLineType& out);
// The code 1..15 of a predefined line type name (case, blanks and the hyphens
// of "double-dotted" forms ignored), 0 when the name is not one.
int PredefinedLineTypeCode(std::string_view name);

// The width in mm of a predefined width code 1..9, 0 otherwise.
double PredefinedWidth(int code);
// The code 1..9 of a predefined width (within 0.001 mm), 0 when the width is
// not one.
int PredefinedWidthCode(double widthMm);

// Sheet type codes: 0..4 are A0..A4, 9 a free size. Orientation 0 is
// portrait (the long side vertical), 1 landscape.
struct TSheet {
  std::string Name;             // "A0".."A4" or "free"
  double Width = 0, Height = 0; // mm, oriented
};
// The sheet of a type code and orientation; a free size takes freeWidth and
// freeHeight as given. False for an unknown type code (the sheet is then
// "free" with the given size).
bool SheetOf(int typeCode, int orientation, double freeWidth, double freeHeight, TSheet& out);

// Text alignment 1..9 (1 lower left, 2 lower centre, 3 lower right, 4 middle
// left, ..., 9 upper right): the fractions of the text's width and height by
// which the text box lies left of and below its anchor point. An alignment
// outside 1..9 is taken as 1.
struct TAlignFractions {
  double X = 0, Y = 0;
};
TAlignFractions AlignFractions(int align);

// The title block values of a drawing, in the order and with the names both
// modes give them in TDrawing::Attributes (a value the file leaves empty is
// not listed). The date is written yyyy-mm-dd. The names stay Japanese in
// the drawing (they are matched against the file); where one is shown it is
// passed through Tr("SxfTitleBlock", name).
inline constexpr const char* kTitleBlockKeys[] = {
    DLVR_TR_NOOP("SxfTitleBlock", "事業名"),     DLVR_TR_NOOP("SxfTitleBlock", "工事名"),
    DLVR_TR_NOOP("SxfTitleBlock", "契約区分"),   DLVR_TR_NOOP("SxfTitleBlock", "図面名"),
    DLVR_TR_NOOP("SxfTitleBlock", "図面番号"),   DLVR_TR_NOOP("SxfTitleBlock", "図面種別"),
    DLVR_TR_NOOP("SxfTitleBlock", "尺度"),       DLVR_TR_NOOP("SxfTitleBlock", "作成日"),
    DLVR_TR_NOOP("SxfTitleBlock", "受注会社名"), DLVR_TR_NOOP("SxfTitleBlock", "発注事業者名"),
};

}  // namespace dlvr::sxf
