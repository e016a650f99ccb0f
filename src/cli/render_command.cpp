// dlvr render: an SXF drawing written as PNG, SVG or PDF, or its primitives
// listed as JSON lines.
#include <QString>

#include <cstdio>
#include <memory>
#include <new>
#include <ostream>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "components/drawing_render.h"
#include "platform/paths.h"
#include "sxf/read_drawing.h"

namespace dlvr {
namespace {

const char* const kRenderUsage =
    "usage: dlvr render DRAWING (-o OUTPUT | --dump) [--layer NAME]... [--dpi N]\n"
    "\n"
    "Reads an SXF drawing file (.P21 or .SFC, told by content) and writes it as\n"
    "PNG, SVG or PDF (by OUTPUT's extension) at the sheet's paper size (PDF and\n"
    "SVG in millimetres, PNG at --dpi, default 150, 10-1200): every visible\n"
    "layer, or only the layers named with --layer. Prints one line:\n"
    "  sheet=<name> size=<w>x<h>mm layers=<n> features=<n> skipped=<n>\n"
    "and lists the features read but not drawn, by kind, on stderr.\n"
    "A PNG is painted and written in bands of rows: its image takes at most\n"
    "160 MB of memory at any --dpi (up to 65535 pixels a side: A0 at 1200 dpi).\n"
    "With --dump instead of -o, prints the primitives one JSON object a line in\n"
    "file order, figures expanded where they are placed: kind, layer, colour,\n"
    "visible, bbox (sheet millimetres) and, for texts, text.\n"
    "OUTPUT never lies inside the delivery the drawing belongs to (the nearest\n"
    "folder above it holding INDEX_C.XML).\n"
    "A drawing without a sheet of its own (a file cut short) is drawn at the box\n"
    "of what was read, reduced to A0 when larger.\n"
    "A drawing whose figures expand past the reader's bounds (primitives, points,\n"
    "placements, memory) is drawn as far as it was read.\n"
    "Exit 0; 1 when the file is not an SXF drawing, is broken or was read only in\n"
    "part (line and reason on stderr; what was read is still written); 2 on usage\n"
    "errors.\n";

// A size in millimetres as written in the summary: whole when it is whole.
std::string Millimetres(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

// The delivery a drawing lies in: the nearest folder above it that holds
// INDEX_C.XML ("" when there is none).
std::string DeliveryOf(const std::string& drawing) {
  std::string folder = AbsolutePath(drawing);
  for (int up = 0; up < 16; ++up) {
    const std::size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos || slash == 0) break;
    folder.resize(slash);
    if (FileExists(ResolveCase(JoinPath(folder, "INDEX_C.XML")))) return folder;
  }
  return std::string();
}

std::string Fixed3(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.3f", std::abs(v) < 5e-4 ? 0.0 : v);
  return buf;
}

void Dump(const sxf::TDrawing& d, const std::vector<bool>& wanted, std::ostream& out) {
  for (const sxf::TPrimitive& p : d.Primitives) {
    const bool onLayer = p.Layer >= 0 && std::size_t(p.Layer) < d.Layers.size();
    if (onLayer && !wanted[std::size_t(p.Layer)]) continue;
    const QRectF b = PrimitiveBounds(p);
    Json line = {
        {"kind", DrawingKindName(p.Kind)},
        {"layer", JsonString(onLayer ? d.Layers[std::size_t(p.Layer)].Name : std::string())},
        {"colour", DrawingColour(d, p).name(QColor::HexRgb).toStdString()},
        {"visible", !onLayer || d.Layers[std::size_t(p.Layer)].Visible},
        {"bbox", {JsonNumberText(Fixed3(b.left())), JsonNumberText(Fixed3(b.top())), JsonNumberText(Fixed3(b.right())),
                  JsonNumberText(Fixed3(b.bottom()))}},
    };
    if (p.Kind == sxf::TKind::Text) line["text"] = JsonString(p.Text());
    out << JsonText(line, -1) << "\n";
  }
}

}  // namespace

int CmdRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("render", kRenderUsage);
  std::vector<std::string> positional, layers;
  std::string output;
  bool dump = false;
  int dpi = 150;
  CLI::App& app = cl.App();
  app.add_option("DRAWING", positional);
  app.add_option("-o,--output", output);
  app.add_flag("--dump", dump);
  app.add_option("--layer", layers)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->allow_extra_args(false);
  app.add_option("--dpi", dpi)->check(WholeNumber(10, 1200));
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (positional.empty()) return cl.Fail(err, "missing DRAWING");
  if (positional.size() > 1) return cl.Fail(err, "unexpected argument " + positional[1]);
  if (dump == !output.empty())
    return cl.Fail(err, dump ? "-o and --dump exclude each other" : "missing -o OUTPUT or --dump");
  const std::string ext = ExtractFileExt(output);
  std::string lower;
  for (char c : ext) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (!dump && lower != ".png" && lower != ".svg" && lower != ".pdf")
    return cl.Fail(err, "OUTPUT must end in .png, .svg or .pdf: " + output);
  const std::string& file = positional[0];
  // The drawing is never written over, nor anything into its delivery.
  if (!dump && PathLiesInside(output, file)) return cl.Fail(err, output + " is the drawing itself");
  if (const std::string delivery = DeliveryOf(file); !dump && !delivery.empty() && PathLiesInside(output, delivery))
    return cl.Fail(err, output + " lies inside the delivery folder " + delivery);

  if (!FileExists(file)) {
    err << "dlvr: render: cannot read " << file << "\n";
    return 1;
  }
  if (sxf::SniffMode(file).empty()) {
    err << "dlvr: render: " << file << " is not an SXF drawing\n";
    return 1;
  }
  auto drawing = std::make_shared<sxf::TDrawing>(sxf::ReadDrawing(file));
  std::vector<bool> wanted(drawing->Layers.size(), layers.empty());
  for (const std::string& name : layers) {
    bool found = false;
    for (std::size_t i = 0; i < drawing->Layers.size(); ++i)
      if (drawing->Layers[i].Name == name) wanted[i] = found = true;
    if (!found) return cl.Fail(err, "no layer " + name + " in " + file);
  }
  if (layers.empty())
    for (std::size_t i = 0; i < wanted.size(); ++i) wanted[i] = drawing->Layers[i].Visible;

  long skipped = 0;
  for (const auto& [kind, n] : drawing->Skipped) {
    skipped += n;
    err << "dlvr: render: skipped " << kind << ": " << n << "\n";
  }
  const int code = drawing->Stop.Broken ? 1 : 0;
  if (drawing->Stop.Broken)
    err << "dlvr: render: " << file << ":" << drawing->Stop.Line << ": " << drawing->Stop.Reason << "\n";

  if (dump) {
    // Every layer is listed, each with its flag, unless some are named.
    if (layers.empty()) wanted.assign(wanted.size(), true);
    Dump(*drawing, wanted, out);
    return code;
  }
  const auto gui = EnsureGuiApplication();
  std::unique_ptr<TDrawingScene> scene;
  QString why;
  try {
    scene = std::make_unique<TDrawingScene>(drawing);
    for (std::size_t i = 0; i < wanted.size(); ++i) scene->SetLayerShown(int(i), wanted[i]);
    if (!WriteDrawingFile(*scene, QString::fromStdString(output), dpi, &why))
      return cl.Fail(err, "cannot write " + output + ": " + why.toStdString());
  } catch (const std::bad_alloc&) {
    err << "dlvr: render: not enough memory to draw " << file << "\n";
    return 1;
  }
  const QSizeF paper = DrawingPaperSize(*scene);
  out << "sheet=" << (drawing->SheetName.empty() ? std::string("free") : drawing->SheetName)
      << " size=" << Millimetres(paper.width()) << "x" << Millimetres(paper.height()) << "mm"
      << " layers=" << drawing->Layers.size() << " features=" << drawing->Primitives.size()
      << " skipped=" << skipped << "\n";
  return code;
}

}  // namespace dlvr
