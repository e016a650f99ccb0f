// Which reader reads a drawing file: the mode sniffed from its header or
// the start of its data, then the reader of that mode.
#include "sxf/read_drawing.h"

#include <exception>
#include <new>
#include <string_view>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/ap202.h"
#include "sxf/part21.h"
#include "sxf/sfc.h"

namespace dlvr::sxf {

namespace {

// Reads a file's header (and, when the header does not tell, the start of
// its data) to tell the mode.
class TSniffer : public p21::THandler {
 public:
  std::string Mode;
  bool Header = false;

  bool OnSection(std::string_view keyword, long) override {
    if (keyword == "HEADER") Header = true;
    if (keyword != "DATA") return true;
    return Mode.empty() && Header;  // the header told, or this is no drawing
  }
  bool OnHeader(p21::TRecord&& r, long) override {
    if (r.Name == "FILE_DESCRIPTION" && !r.Params.empty()) {
      std::string text;
      for (const p21::TValue& v : r.Params[0].Items) text += AsciiLower(v.Text) + ' ';
      if (text.find("feature_mode") != std::string::npos) Mode = "feature";
      else if (text.find("ap202_mode") != std::string::npos) Mode = "ap202";
    } else if (r.Name == "FILE_SCHEMA" && Mode.empty() && !r.Params.empty()) {
      for (const p21::TValue& v : r.Params[0].Items)
        if (AsciiUpper(v.Text).starts_with("ASSOCIATIVE_DRAUGHTING")) schemaDraughting_ = true;
    }
    return true;
  }
  // Without a word in the header, the first thing of the data tells: a
  // feature comment, or an instance of the drafting schema.
  bool OnInstance(p21::TInstance&&) override {
    if (schemaDraughting_) Mode = "ap202";
    return false;
  }
  void OnComment(std::string_view text, long) override {
    if (Header && Mode.empty() && text.starts_with("SXF")) Mode = "feature";
  }

 private:
  bool schemaDraughting_ = false;
};

}  // namespace

std::string SniffMode(const std::string& path) {
  TSniffer sniffer;
  try {
    p21::ParseFile(path, sniffer);
  } catch (const std::exception&) {
    return {};
  }
  return sniffer.Mode;
}

TDrawing ReadDrawing(const std::string& path, const TBudget& budget) {
  TDrawing d;
  try {
    const std::string mode = SniffMode(path);
    if (mode == "ap202") return ReadAp202(path, 8u << 20, budget);
    if (mode == "feature") return ReadSfc(path, budget);
    d.Stop.Broken = true;
    d.Stop.Reason = Tr("SxfReader", "SXF の図面ではありません");
  } catch (const std::bad_alloc&) {
    StopForMemory(d, [] { return Tr("SxfReader", "メモリが足りないため図面を読み込めません"); });
  }
  return d;
}

}  // namespace dlvr::sxf
