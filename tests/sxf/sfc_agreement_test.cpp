// The feature comment reader against what it read before it was made fast:
// generated drawings of every feature kind, figures placed inside figures,
// composite curves, hatches, tile fills and faults, read from a file (the
// whole file at once, the halves of a large one side by side) and as it
// arrives in pieces, give the drawing whose full-precision digest is
// recorded below.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/fixtures.h"
#include "support/sxf_fixtures.h"
#include "sxf/line_breaks.h"
#include "sxf/sfc.h"

namespace dlvr::sxf {
namespace {

// Every value the reader gives, numbers to the last bit, hashed.
class TDigest {
 public:
  void Add(std::string_view s) {
    for (const char c : s) Byte(static_cast<unsigned char>(c));
    Byte(0);
  }
  void Add(double v) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    Add(std::string_view(buf, static_cast<std::size_t>(end - buf)));
  }
  void Add(long v) { Add(static_cast<double>(v)); }
  void Add(const std::vector<TPoint>& pts) {
    Add(static_cast<long>(pts.size()));
    for (const TPoint& p : pts) Add(p.X), Add(p.Y);
  }
  std::uint64_t Value() const { return hash_; }

 private:
  void Byte(unsigned char c) { hash_ = (hash_ ^ c) * 1099511628211ull; }
  std::uint64_t hash_ = 14695981039346656037ull;
};

std::uint64_t Digest(const TDrawing& d) {
  TDigest h;
  h.Add(d.Mode), h.Add(d.SheetName), h.Add(d.SheetWidth), h.Add(d.SheetHeight);
  for (const TLayer& l : d.Layers) h.Add(l.Name), h.Add(static_cast<long>(l.Visible));
  for (const TColour& c : d.Colours) h.Add(c.Name), h.Add(static_cast<long>(c.R * 65536 + c.G * 256 + c.B));
  for (const TLineType& t : d.LineTypes) {
    h.Add(t.Name);
    for (const double p : t.Pitches) h.Add(p);
  }
  for (const TFont& f : d.Fonts) h.Add(f.Name);
  for (const TPrimitive& p : d.Primitives) {
    h.Add(static_cast<long>(p.Kind)), h.Add(static_cast<long>(p.Reversed * 4 + p.Vertical * 2 + p.Solid));
    h.Add(static_cast<long>(p.Layer)), h.Add(static_cast<long>(p.Colour)), h.Add(static_cast<long>(p.LineType));
    h.Add(static_cast<long>(p.Font)), h.Add(static_cast<long>(p.Marker)), h.Add(static_cast<long>(p.Align));
    h.Add(p.Width), h.Add(p.Rotation), h.Add(p.Rx), h.Add(p.Ry), h.Add(p.Start), h.Add(p.End);
    h.Add(static_cast<std::vector<TPoint>>(p.Points));
    h.Add(p.Text());
    for (const auto& hole : p.Holes()) h.Add(hole);
    for (const auto& [angle, pitch] : p.PatternLines()) h.Add(angle), h.Add(pitch);
  }
  for (const TPartial& p : d.Partials) {
    h.Add(p.Name), h.Add(static_cast<long>(p.First)), h.Add(static_cast<long>(p.Count));
    h.Add(p.Place.A), h.Add(p.Place.B), h.Add(p.Place.C), h.Add(p.Place.D), h.Add(p.Place.E), h.Add(p.Place.F);
  }
  for (const auto& [key, value] : d.Attributes) h.Add(key), h.Add(value);
  for (const auto& [name, count] : d.Skipped) h.Add(name), h.Add(count);
  h.Add(static_cast<long>(d.Stop.Broken)), h.Add(d.Stop.Line), h.Add(d.Stop.Reason);
  return h.Value();
}

// A number of a few digits from a simple sequence, written as a writer would.
class TNumbers {
 public:
  explicit TNumbers(std::uint32_t seed) : state_(seed) {}
  std::string Next(int range, bool fraction = true) {
    state_ = state_ * 1664525u + 1013904223u;
    const int whole = static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(range));
    std::string s = std::to_string(whole);
    if (fraction && (state_ & 3) != 0) s += "." + std::to_string((state_ >> 4) % 1000);
    return (state_ & 0x40) && fraction ? "-" + s : s;
  }
  int Small(int range) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(range));
  }

 private:
  std::uint32_t state_;
};

// A drawing of `figures` figures of `perFigure` features each, every kind
// in turn, each figure placed on the sheet (some twice, some inside the
// next), composite curves with hatches, features the reader does not
// know or cannot use, and one it cannot parse.
std::vector<std::string> Features(int figures, int perFigure, std::uint32_t seed, bool even = false) {
  TNumbers n(seed);
  std::vector<std::string> f = {
      R"(layer_feature(\'道路\','1'))",       R"(layer_feature(\'hidden\','0'))",
      "user_defined_colour_feature('10','200','30')", R"(user_defined_font_feature(\'mine\','2','(1.5,0.5)'))",
      "width_feature('0.42')",                 R"(text_font_feature(\'ＭＳ ゴシック\'))",
  };
  auto q = [](const std::string& v) { return "'" + v + "'"; };
  auto style = [&] {
    return q(std::to_string(1 + n.Small(2))) + "," + q(std::to_string(1 + n.Small(17))) + "," +
           q(std::to_string(1 + n.Small(16))) + "," + q(std::to_string(1 + n.Small(10)));
  };
  auto list = [&](int count) {
    std::string s = "(";
    for (int i = 0; i < count; ++i) s += (i ? "," : "") + n.Next(900);
    return s + ")";
  };
  for (int fig = 0; fig < figures; ++fig) {
    for (int i = 0; i < perFigure; ++i) {
      switch (i % 14) {
        case 0:
        case 1:
          f.push_back("line_feature(" + style() + "," + q(n.Next(800)) + "," + q(n.Next(600)) + "," + q(n.Next(800)) +
                      "," + q(n.Next(600)) + ")");
          break;
        case 2: {
          const int count = 2 + n.Small(12);
          f.push_back("polyline_feature(" + style() + "," + q(std::to_string(count)) + "," + q(list(count)) + "," +
                      q(list(count)) + ")");
          break;
        }
        case 3:
          f.push_back("circle_feature(" + style() + "," + q(n.Next(800)) + "," + q(n.Next(600)) + "," +
                      q(n.Next(50, false)) + ")");
          break;
        case 4:
          f.push_back("arc_feature(" + style() + "," + q(n.Next(800)) + "," + q(n.Next(600)) + "," +
                      q(std::to_string(1 + n.Small(40))) + "," + q(std::to_string(n.Small(2))) + "," + q(n.Next(360)) +
                      "," + q(n.Next(360)) + ")");
          break;
        case 5:
          f.push_back(R"(text_string_feature('1',)" + q(std::to_string(1 + n.Small(17))) + R"(,'1',\'文字)" +
                      std::to_string(i) + R"(ｶﾅ表\',)" + q(n.Next(800)) + "," + q(n.Next(600)) + ",'3.5','14','0.5'," +
                      q(n.Next(90)) + ",'0'," + q(std::to_string(1 + n.Small(9))) + "," +
                      q(std::to_string(1 + n.Small(2))) + ")");
          break;
        case 6:
          f.push_back("ellipse_arc_feature(" + style() + "," + q(n.Next(800)) + "," + q(n.Next(600)) + ",'8','3'," +
                      q(std::to_string(n.Small(2))) + "," + q(n.Next(90)) + "," + q(n.Next(360)) + "," +
                      q(n.Next(360)) + ")");
          break;
        case 7:
          f.push_back("spline_feature(" + style() + "," + q(std::to_string(n.Small(2))) + ",'4'," + q(list(4)) + "," +
                      q(list(4)) + ")");
          break;
        case 8:
          f.push_back("point_marker_feature('1','2'," + q(n.Next(800)) + "," + q(n.Next(600)) + ",'3','30','1.5')");
          break;
        case 9:
          f.push_back("clothoid_feature(" + style() + "," + q(n.Next(800)) + "," + q(n.Next(600)) + ",'100'," +
                      q(std::to_string(n.Small(2))) + "," + q(n.Next(90)) + ",'0','40')");
          break;
        case 10:
          f.push_back("linear_dim_feature('1','1','1','1','0','10','20','10','1','0','0','0','1','0','11','1','20',"
                      "'0','20','1','20','11','1','1','0','10','1','1','1','20','10','1','1','1',\\'20\\','10','11',"
                      "'2','4','0','0','0','2','1')");
          break;
        case 11:
          f.push_back(R"(balloon_feature('1','1','1','1','2','(0,10)','(0,0)','15','0','5','1','1','1','1',\'A\','15','0','3','3','0','0','0','5','1'))");
          break;
        case 12:
          // An outline drawn, then hidden as a composite curve, then filled.
          f.push_back("polyline_feature('1','1','1','1','5','(0,10,10,0,0)','(0,0,10,10,0)')");
          f.push_back("composite_curve_org_feature('1','1','1'," + q(std::to_string(n.Small(2))) + ")");
          f.push_back("fill_area_style_hatching_feature('2','1','(5,1,1,0,0,2,45)'," +
                      q(std::to_string(f.size())) + ",'0','()')");
          break;
        case 13:
          f.push_back(i % 28 == 13 ? "mystery_feature('1')" : "circle_feature('1','1','1','1','x','0','1')");
          break;
      }
    }
    // A feature that cannot be parsed, in the last quarter: the first fault.
    if (fig == figures * 3 / 4) f.push_back("line_feature('1','1','1','1','0','0','1','1'");
    f.push_back(R"(sfig_org_feature(\'F)" + std::to_string(fig) + R"(\',)" + q(std::to_string(1 + fig % 4)) + ")");
    // Every third figure is placed inside the next one as well.
    if (fig % 3 == 2)
      f.push_back(R"(sfig_locate_feature('1',\'F)" + std::to_string(fig - 1) + R"(\','5','5','90','0.5','-1'))");
  }
  for (int fig = 0; fig < figures; ++fig) {
    if (even) {
      // Placed at the same scale both ways, unturned.
      const std::string x = n.Next(800), y = n.Next(600), scale = n.Next(3, false) + ".5";
      f.push_back(R"(sfig_locate_feature('1',\'F)" + std::to_string(fig) + R"(\',)" + q(x) + "," + q(y) + ",'0'," +
                  q(scale) + "," + q(scale) + ")");
    } else {
      f.push_back(R"(sfig_locate_feature('1',\'F)" + std::to_string(fig) + R"(\',)" + q(n.Next(800)) + "," +
                  q(n.Next(600)) + "," + q(n.Next(360)) + "," + q(n.Next(3, false) + ".5") + ",'1')");
    }
    f.push_back("line_feature('1','1','1','1','0','0'," + q(n.Next(100)) + ",'1')");
  }
  f.push_back(R"(drawing_sheet_feature(\'図\','1','1','0','0'))");
  return f;
}

TEST(SfcAgreement, NumbersReadToTheNearestDoubleAsFromChars) {
  // Each as a line's first x; what from_chars reads of it (less a plus
  // sign and blanks) is the value, to the last bit.
  const std::vector<std::string> numbers = {
      "0.1",     "-0.3",  "0.046", "123456789012345", "1234567890123456", "9007199254740993", "0.000000000000001",
      "-0",      "1.",    ".5",    "-.5",             "+2.5",             " 7 ",              "1e3",
      "12.3456", "00012", "0.7",   "1078.999",        "-1124.00000000001"};
  for (const std::string& number : numbers) {
    SCOPED_TRACE(number);
    const TDrawing d = ReadSfcBytes(test::SfcFile({"line_feature('1','1','1','1','" + number + "','0','1','1')"}));
    ASSERT_EQ(d.Primitives.size(), 1u);
    std::string_view digits = number;
    while (digits.front() == ' ' || digits.front() == '+') digits.remove_prefix(1);
    while (digits.back() == ' ') digits.remove_suffix(1);
    double expected = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), expected);
    const double read = d.Primitives[0].Points[0].X;
    EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << read << " " << expected;
  }
}

TEST(SfcAgreement, LinesCountedInBulkAsByteByByte) {
  // Texts of every kind of line break, cut into runs of every length
  // (a CR ending one run and its LF opening the next among them), counted
  // sixteen bytes at a time and against a byte at a time.
  auto oneByOne = [](std::string_view s, bool& afterCr) {
    long n = 0;
    for (const char c : s) {
      n += c == '\r' || (c == '\n' && !afterCr);
      afterCr = c == '\r';
    }
    return n;
  };
  TNumbers n(11);
  for (const char* breaks : {"\n", "\r\n", "\r", "\r\n\r\r\n\n"}) {
    std::string text;
    while (text.size() < 20000) {
      text.append(static_cast<std::size_t>(n.Small(40)), 'x');
      text += std::string_view(breaks).substr(static_cast<std::size_t>(n.Small(static_cast<int>(std::strlen(breaks)))));
    }
    for (const std::size_t run : {1u, 7u, 15u, 16u, 17u, 255u * 16u, 255u * 16u + 9u, 20000u}) {
      SCOPED_TRACE(std::string(breaks) == "\n" ? "LF" : breaks);
      SCOPED_TRACE(run);
      bool bulkCr = false, byteCr = false;
      long bulk = 0, byte = 0;
      for (std::size_t at = 0; at < text.size(); at += run) {
        const std::string_view piece = std::string_view(text).substr(at, run);
        bulk += LineBreaks(piece, bulkCr);
        byte += oneByOne(piece, byteCr);
        ASSERT_EQ(bulkCr, byteCr);
      }
      EXPECT_EQ(bulk, byte);
    }
  }
}

TEST(SfcAgreement, CodesWrittenWithFractionsRoundAsLround) {
  // A point marker's code is kept as read: halves go away from zero.
  for (const std::string number : {"2.5", "-2.5", "0.5", "-0.5", "0.49999999999999994", "-1.4999999", "3.5000001",
                                   "999999999.5", "-7", "12"}) {
    SCOPED_TRACE(number);
    const TDrawing d =
        ReadSfcBytes(test::SfcFile({"point_marker_feature('1','1','0','0','" + number + "','0','1')"}));
    ASSERT_EQ(d.Primitives.size(), 1u);
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    EXPECT_EQ(d.Primitives[0].Marker, std::lround(value));
  }
}

TEST(SfcAgreement, GeneratedDrawingsReadAsBefore) {
  struct TCase {
    const char* Name;
    int Figures, PerFigure;
    const char* Eol;
    std::uint64_t Expected;
    bool Even = false;
  };
  const std::vector<TCase> cases = {
      {"a small drawing", 3, 30, "\n", 14237601031983681694ull},
      {"a small drawing with CR LF", 3, 30, "\r\n", 14237601031983681694ull},
      {"a large drawing (the file read in halves side by side)", 30, 2000, "\n", 3353279198925854559ull},
      {"a large drawing with CR LF", 20, 2000, "\r\n", 7268026685935412136ull},
      {"a large drawing with lone CRs", 20, 2000, "\r", 7268026685935412136ull},
      {"a large drawing whose figures are placed evenly scaled, unturned", 20, 2000, "\n", 16128089072838639548ull, true},
  };
  test::ScratchDir dir;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string text = Utf8ToCp932(test::SfcFile(Features(c.Figures, c.PerFigure, 7, c.Even), true, c.Eol));
    const std::string path = dir.WriteBytes("d.sfc", text);
    const TDrawing file = ReadSfc(path);
    EXPECT_EQ(Digest(file), c.Expected) << file.Primitives.size() << " primitives, stop " << file.Stop.Line << " "
                                        << file.Stop.Reason;
    EXPECT_EQ(Digest(ReadSfcInPieces(text, 4093)), c.Expected);
  }
}

}  // namespace
}  // namespace dlvr::sxf
