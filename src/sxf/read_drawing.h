// Reading a drawing file of either mode: the mode told by the file's
// content (its header, or the first thing of its data), then the Part 21
// entity reader or the feature comment reader to read it into the drawing
// model.
#pragma once

#include <string>

#include "sxf/drawing.h"

namespace dlvr::sxf {

// Reads a drawing file of either mode (by content, not extension), within
// `budget`. Never throws.
TDrawing ReadDrawing(const std::string& path, const TBudget& budget = {});
// The mode of a file by content: "ap202", "feature", or "" when it is not SXF.
std::string SniffMode(const std::string& path);

}  // namespace dlvr::sxf
