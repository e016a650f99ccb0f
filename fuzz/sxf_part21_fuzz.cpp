// Fuzzes the Part 21 reader and the AP202 mode drawing reader.
//
// The first input byte's low 3 bits choose the chunk size of a second read
// (1..8 bytes) that must hand out exactly what a read in one chunk does. The
// rest is the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "sxf/ap202.h"
#include "sxf/drawing.h"
#include "sxf/part21.h"

using namespace dlvr::sxf;
using dlvr::fuzz::CountByte;
using dlvr::fuzz::CountText;
using dlvr::fuzz::IsValidUtf8;

namespace {

bool IsUpperAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z')) return false;
  return true;
}

void Write(const p21::TValue& v, std::string& out, int depth) {
  FUZZ_CHECK(depth <= p21::kMaxNesting + 1);
  out += static_cast<char>('0' + static_cast<int>(v.Kind));
  switch (v.Kind) {
    case p21::TValueKind::String:
      FUZZ_CHECK(IsValidUtf8(v.Text));
      out += v.Text;
      break;
    case p21::TValueKind::Enum:
    case p21::TValueKind::Typed:
      FUZZ_CHECK(IsUpperAscii(v.Text));
      out += v.Text;
      break;
    case p21::TValueKind::Integer:
    case p21::TValueKind::Real:
      out += std::to_string(v.Number);
      break;
    case p21::TValueKind::Ref:
      FUZZ_CHECK(v.Ref >= 0);
      out += std::to_string(v.Ref);
      break;
    default:
      out += v.Text;
  }
  FUZZ_CHECK(v.Kind == p21::TValueKind::List || v.Kind == p21::TValueKind::Typed || v.Items.empty());
  for (const p21::TValue& i : v.Items) Write(i, out, depth + 1);
  out += ')';
}

// Everything a read hands out, in one string.
struct TLog : p21::THandler {
  std::string Text;
  std::size_t Instances = 0, Comments = 0;
  bool OnSection(std::string_view keyword, long line) override {
    FUZZ_CHECK(IsUpperAscii(keyword));
    Text += "S" + std::string(keyword) + std::to_string(line);
    return true;
  }
  bool OnHeader(p21::TRecord&& r, long line) override {
    FUZZ_CHECK(IsUpperAscii(r.Name));
    Text += "H" + r.Name + std::to_string(line);
    for (const p21::TValue& v : r.Params) Write(v, Text, 1);
    return true;
  }
  bool OnInstance(p21::TInstance&& inst) override {
    ++Instances;
    FUZZ_CHECK(!inst.Records.empty());
    FUZZ_CHECK(inst.Complex || inst.Records.size() == 1);
    Text += "#" + std::to_string(inst.Id) + "@" + std::to_string(inst.Line);
    for (const p21::TRecord& r : inst.Records) {
      FUZZ_CHECK(IsUpperAscii(r.Name) && !r.Name.empty());
      Text += r.Name;
      for (const p21::TValue& v : r.Params) Write(v, Text, 1);
    }
    return true;
  }
  void OnComment(std::string_view text, long line) override {
    ++Comments;
    Text += "C" + std::to_string(line) + std::string(text);
  }
};

long Lines(std::string_view s) {
  long n = 1;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i] == '\n' || (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n'))) ++n;
  return n;
}

void CheckDrawing(const TDrawing& d, long lines) {
  FUZZ_CHECK(d.Stop.Broken == !d.Stop.Reason.empty());
  FUZZ_CHECK(IsValidUtf8(d.Stop.Reason));
  FUZZ_CHECK(d.Stop.Line >= 0 && d.Stop.Line <= lines);
  FUZZ_CHECK(d.Primitives.size() <= kMaxAp202Primitives);
  for (const TLayer& l : d.Layers) FUZZ_CHECK(IsValidUtf8(l.Name));
  for (const TColour& c : d.Colours) FUZZ_CHECK(IsValidUtf8(c.Name));
  for (const TFont& f : d.Fonts) FUZZ_CHECK(IsValidUtf8(f.Name));
  for (const auto& [k, v] : d.Attributes) FUZZ_CHECK(IsValidUtf8(k) && IsValidUtf8(v));
  for (const auto& [name, count] : d.Skipped) FUZZ_CHECK(IsValidUtf8(name) && count > 0);
  auto within = [](int index, std::size_t size) { return index >= -1 && index < static_cast<int>(size); };
  for (const TPrimitive& p : d.Primitives) {
    FUZZ_CHECK(within(p.Layer, d.Layers.size()));
    FUZZ_CHECK(within(p.Colour, d.Colours.size()));
    FUZZ_CHECK(within(p.LineType, d.LineTypes.size()));
    FUZZ_CHECK(within(p.Font, d.Fonts.size()));
    FUZZ_CHECK(IsValidUtf8(p.Text()));
    FUZZ_CHECK(p.Align >= 1 && p.Align <= 9);
    switch (p.Kind) {
      case TKind::Point:
      case TKind::Text:
      case TKind::Circle:
      case TKind::Arc:
      case TKind::Ellipse:
      case TKind::EllipseArc:
        FUZZ_CHECK(!p.Points.empty());
        break;
      case TKind::Line:
        FUZZ_CHECK(p.Points.size() == 2);
        break;
      default:
        break;
    }
  }
}

// The drawing holds no more than its budget.
void CheckBudget(const TDrawing& d, const TBudget& budget) {
  std::uint64_t points = 0, bytes = 0;
  for (const TPrimitive& p : d.Primitives) {
    points += PrimitivePoints(p);
    bytes += PrimitiveBytes(p);
  }
  FUZZ_CHECK(d.Primitives.size() <= budget.Primitives);
  FUZZ_CHECK(points <= budget.Points);
  FUZZ_CHECK(bytes <= budget.Bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const unsigned selector = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const long lines = Lines(text);

  // The reader in one chunk and in small ones hands out the same.
  TLog whole, pieces;
  const TReadStop a = p21::ParseText(text, whole);
  const TReadStop b = p21::ParseText(text, pieces, (selector & 7) + 1);
  FUZZ_CHECK(whole.Text == pieces.Text);
  FUZZ_CHECK(a.Broken == b.Broken && a.Line == b.Line && a.Reason == b.Reason);
  FUZZ_CHECK(a.Broken == !a.Reason.empty());
  FUZZ_CHECK(IsValidUtf8(a.Reason));
  FUZZ_CHECK(!a.Broken || (a.Line >= 1 && a.Line <= lines));
  FUZZ_CHECK(whole.Instances <= CountByte(text, '#'));
  FUZZ_CHECK(whole.Comments <= CountText(text, "/*"));
  FUZZ_CHECK(IsValidUtf8(p21::DecodeString(text)));

  // The entity resolver over the same text, twice alike, within a small
  // budget (figures placing figures multiply) that it never exceeds.
  TBudget budget;
  budget.Primitives = 100'000;
  budget.Points = 400'000;
  budget.Placements = 20'000;
  budget.Bytes = 32u << 20;
  const TDrawing d = ReadAp202Text(text, budget);
  CheckDrawing(d, lines);
  CheckBudget(d, budget);
  FUZZ_CHECK(d.Mode == "ap202");
  const TDrawing again = ReadAp202Text(text, budget);
  FUZZ_CHECK(again.Primitives.size() == d.Primitives.size() && again.Skipped == d.Skipped &&
             again.Stop.Reason == d.Stop.Reason);
  // The same file cut in half.
  if (!a.Broken) {
    const TDrawing cut = ReadAp202Text(text.substr(0, text.size() / 2), budget);
    CheckDrawing(cut, lines);
    CheckBudget(cut, budget);
  }

  return 0;
}
