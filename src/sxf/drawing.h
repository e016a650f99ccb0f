// One drawing model for SXF drawings read from either mode (a Part 21
// exchange structure of the drafting schema, or the same drawing as feature
// comments): the sheet, its tables and the drawable primitives in sheet
// millimetres, every composite figure already expanded where it is placed.
// Readers never throw; a broken file keeps what was read and says where.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dlvr::sxf {

struct TPoint {
  double X = 0, Y = 0;
};

// x' = A x + C y + E, y' = B x + D y + F (a placement: rotation, scale,
// mirror by a negative scale, translation).
struct TTransform {
  double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
  TPoint Apply(TPoint p) const { return {A * p.X + C * p.Y + E, B * p.X + D * p.Y + F}; }
  // this after `inner`: Apply(inner.Apply(p)).
  TTransform After(const TTransform& inner) const;
  double Scale() const;        // the mean length scale (sqrt |det|)
  bool Mirrors() const;        // det < 0
};

struct TLayer {
  std::string Name;
  bool Visible = true;
};

struct TColour {
  std::string Name;           // predefined name ("red") or the user's
  std::uint8_t R = 0, G = 0, B = 0;
};

struct TLineType {
  std::string Name;           // predefined name ("continuous", "dashed", ...) or the user's
  std::vector<double> Pitches;  // dash, gap, ... in mm on the sheet; empty = continuous
};

struct TFont {
  std::string Name;
};

enum class TKind : std::uint8_t {
  Point, Line, Polyline, Circle, Arc, Ellipse, EllipseArc, Spline, Clothoid, Text, Hatch
};

// A drawable primitive. Indices refer to the drawing's tables (-1: none or
// the default). Coordinates are sheet millimetres after every placement.
struct TPrimitive {
  TKind Kind = TKind::Line;
  int Layer = -1, Colour = -1, LineType = -1, Font = -1;
  double Width = 0.13;        // line width in mm
  // Point: Points[0] (+ Marker); Line: 2 points; Polyline/Spline/Clothoid:
  // the points (a spline's control points, a clothoid sampled); Hatch:
  // Points holds the outer boundary, Holes the inner ones.
  std::vector<TPoint> Points;
  std::vector<std::vector<TPoint>> Holes;
  int Marker = 0;             // point marker code
  // Circle/Arc/Ellipse/EllipseArc: centre Points[0], radii, rotation of the
  // first axis, start and end angles (radians, counter-clockwise from the
  // first axis); Reversed when the arc runs clockwise on the sheet (after a
  // mirroring placement).
  double Rx = 0, Ry = 0, Rotation = 0, Start = 0, End = 0;
  bool Reversed = false;
  // Text: anchor Points[0], UTF-8 text, height and width of a character in
  // mm, spacing, angle (radians), slant (radians), alignment 1..9 (1 lower
  // left, 2 lower centre, ... 9 upper right), vertical writing.
  std::string Text;
  double Height = 0, CharWidth = 0, Spacing = 0, Slant = 0;
  int Align = 1;
  bool Vertical = false;
  // Hatch: fill (solid in Colour) or a pattern of lines (angle, pitch).
  bool Solid = false;
  std::vector<std::pair<double, double>> PatternLines;  // (angle, pitch mm)
};

// Why a read stopped early.
struct TReadStop {
  bool Broken = false;
  long Line = 0;
  std::string Reason;
};

struct TDrawing {
  std::string Mode;           // "ap202" or "feature"
  std::string SheetName;      // "A1", ..., or "free"
  double SheetWidth = 0, SheetHeight = 0;  // mm, oriented
  std::vector<TLayer> Layers;
  std::vector<TColour> Colours;
  std::vector<TLineType> LineTypes;
  std::vector<TFont> Fonts;
  std::vector<TPrimitive> Primitives;   // file order, figures expanded where placed
  std::vector<std::pair<std::string, std::string>> Attributes;  // title block values
  std::map<std::string, long> Skipped;  // entities/features read but not drawn, by name
  TReadStop Stop;
};

// Reads a drawing file of either mode (by content, not extension).
TDrawing ReadDrawing(const std::string& path);
// The mode of a file by content: "ap202", "feature", or "" when it is not SXF.
std::string SniffMode(const std::string& path);

}  // namespace dlvr::sxf
