// The reader of SXF drawings written as entities of the drafting schema (the
// "AP202 mode" Part 21 file): the instances are read as a stream, the points
// kept compactly, and then resolved from the annotation occurrences down to
// their curves, texts and fill areas with their styles:
//   - the sheet (DRAWING_SHEET_REVISION, its PRESENTATION_SIZE box),
//   - layers (PRESENTATION_LAYER_ASSIGNMENT; hidden by INVISIBILITY),
//   - colours (pre-defined names and COLOUR_RGB), curve styles (pre-defined
//     and user-defined curve fonts, widths), text fonts,
//   - POLYLINE, LINE, CIRCLE, ELLIPSE, TRIMMED_CURVE arcs, B-spline curves,
//     COMPOSITE_CURVE, TEXT_LITERAL (alignment, box height and width,
//     spacing, slant, angle, direction), ANNOTATION_FILL_AREA with colour or
//     hatching, styled points,
//   - composite figures placed by MAPPED_ITEM through a REPRESENTATION_MAP,
//     nested, with rotation, scale and mirroring.
// Primitives come out in sheet millimetres in file order with each figure
// expanded where it is placed. Entities it does not draw are counted in
// TDrawing::Skipped by name. A broken file, a reference to a missing
// instance or a cycle of placements keeps everything else and is told in
// TDrawing::Stop (the first one, with its line); a drawing that would expand
// past its budget (TBudget) stops there and says so. A file cut before its
// sheet has no sheet size: its primitives' box stands for it. Never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sxf/drawing.h"

namespace dlvr::sxf {

// Reads an AP202 mode file (a regular file only), its figures expanded
// within `budget`. A file of at least `twoPortionsFrom` bytes is read in
// two portions at once on two threads, and its items drawn in two halves at
// once.
TDrawing ReadAp202(const std::string& path, std::uint64_t twoPortionsFrom = 8u << 20, const TBudget& budget = {});

// Reads the text of an AP202 mode file held in memory.
TDrawing ReadAp202Text(std::string_view text, const TBudget& budget = {});

// The most primitives one drawing expands to (TBudget's); beyond it the read
// stops and says so.
inline constexpr std::size_t kMaxAp202Primitives = TBudget{}.Primitives;

}  // namespace dlvr::sxf
