// The reader of SXF drawings written as feature comments: a Part 21 file
// whose features are comments `/*SXF #n = name_feature(args) SXF*/`, read as
// a stream (files of hundreds of megabytes) into the drawing model.
//
// The sheet, layers, colours, line types, widths and fonts become the
// drawing's tables; every drawable feature becomes primitives in sheet
// millimetres: dimensions, labels and balloons are expanded into the lines,
// arcs and texts they are drawn with, clothoids are sampled, hatches take
// their boundaries from the composite curves they name, and composite
// figures are expanded where they are placed (nested placements composed,
// a negative scale mirrors). Features that are not drawn are counted in
// TDrawing::Skipped by name. A broken file keeps what was read and says in
// TDrawing::Stop on which line and why (the first fault: a feature that
// cannot be parsed is left out and the rest read; a file cut short, a
// placement of a figure never defined or placing itself); a drawing that
// would expand past its budget (TBudget) stops there, which says so in
// place of any earlier fault. Never throws.
//
// What the primitives hold: Colours lists the sixteen predefined colours
// then the user's, LineTypes the fifteen predefined types then the user's;
// arcs run counter-clockwise from Start to End (Reversed is never set), and
// a circle's or arc's angles are taken from the sheet's x axis (Rotation 0);
// a text's Height and CharWidth are those of one character (the file gives
// the whole text's range); a point marker keeps its scale in Rx.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "sxf/drawing.h"

namespace dlvr::sxf {

// Reads an SFC file (a regular file only; a FIFO or device is refused),
// its figures expanded within `budget`.
TDrawing ReadSfc(const std::string& path, const TBudget& budget = {});

// Reads the bytes of an SFC file held in memory.
TDrawing ReadSfcBytes(std::string_view bytes);

// The most primitives one drawing expands to (TBudget's); beyond it the
// read stops and says so.
inline constexpr std::size_t kMaxSfcPrimitives = TBudget{}.Primitives;

// The same, handed to the reader `piece` bytes at a time as a file is read
// (for the tests and the fuzz target: any cut gives the same drawing), with
// a budget of its own, or a limit of primitives within the default budget.
TDrawing ReadSfcInPieces(std::string_view bytes, std::size_t piece, const TBudget& budget);
TDrawing ReadSfcInPieces(std::string_view bytes, std::size_t piece, std::size_t maxPrimitives = kMaxSfcPrimitives);

}  // namespace dlvr::sxf
