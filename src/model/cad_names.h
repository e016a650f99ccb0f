// CAD drawing file names. Completion and ordering drawings carry names of a
// fixed 8-character pattern before the extension:
//
//   position 1     life cycle      S, D, C or M
//   position 2     serial digit    0-9
//   positions 3-4  drawing kind    a two-letter code of the drawing kind list
//   positions 5-7  drawing number  three digits
//   position 8     revision        0-9 or A-Z
//
// The part before the extension must be exactly 8 bytes in Shift-JIS.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

struct TCADFileNameParts {
  bool Valid = false;          // the name is well formed
  int KindGroup = -1;          // the group the kind code alone determines; -1
  std::string Extension;       // with its dot, upper-cased
  std::string Revision;        // position 8
  std::string DrawingNumber;   // positions 5-7
  std::string KindName;        // the drawing name line: code + "-" + name
  std::string SerialDigit;     // position 2
  std::string UpperName;       // the upper-cased file name
  int KindIndex = -1;          // line index within its group; -1
  int LifeCycle = -1;          // 0 S, 1 D, 2 C, 3 M; -1
  int Group = -1;              // group of the matching line (0-3); -1
};

// Splits a drawing's file name. drawName is the drawing's name (looked up as
// code + "-" + drawName first); drawKindLines and drawNameLines are the two
// aligned 59-line drawing kind lists (codes, and code + "-" + name), in four
// groups: lines 0-7, 8-33, 34-44 and 45-58. Lookups ignore ASCII case.
// Codes used by several groups under different names (SS DP GS WP GP GF RP
// RB RS) give no group; codes shared under the same name (LC PL PF GV) give
// a group but no kind group. Every field is set on every call; an empty or
// malformed name gives a result that is not valid.
TCADFileNameParts ParseCADFileName(std::string_view fileName, std::string_view drawName,
                                   const std::vector<std::string>& drawKindLines,
                                   const std::vector<std::string>& drawNameLines);

}  // namespace dlvr
