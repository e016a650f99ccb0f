// SXF drawings written by the tests: a feature-comment (SFC) file of given
// features, an AP202 mode file of given instances, and drawings whose
// figures multiply (each figure placing the one below it many times), in
// both modes. ASCII only, so the bytes are those of a Shift-JIS file.
#pragma once

#include <string>
#include <vector>

namespace dlvr::test {

// An SFC file: the header, each feature as a comment numbered #1, #2, ...
// and, with `end`, the end of the file. Lines end with `eol`.
inline std::string SfcFile(const std::vector<std::string>& features, bool end = true, const std::string& eol = "\n") {
  std::string text = "ISO-10303-21;" + eol + "HEADER;" + eol +
                     "FILE_DESCRIPTION(('SCADEC level2 feature_mode'),'2;1');" + eol +
                     "FILE_NAME('a.sfc','2024-01-01T00:00:00',('x'),('x'),'x','x','');" + eol +
                     "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));" + eol + "ENDSEC;" + eol + "DATA;" + eol;
  for (std::size_t i = 0; i < features.size(); ++i)
    text += "/*SXF" + eol + "#" + std::to_string(i + 1) + " = " + features[i] + eol + "SXF*/" + eol;
  if (end) text += "ENDSEC;" + eol + "END-ISO-10303-21;" + eol;
  return text;
}

// An AP202 mode file of the instances `data` (one a line, ending in `eol`):
// the header takes seven lines, so the first instance stands on line 8.
inline std::string Ap202File(const std::vector<std::string>& data, bool end = true, const std::string& eol = "\n") {
  std::string text = "ISO-10303-21;" + eol + "HEADER;" + eol + "FILE_DESCRIPTION(('SCADEC level2 AP202_mode'),'2;1');" +
                     eol + "FILE_NAME('t.p21','2026-12-08T10:00:00',(''),(''),'','','');" + eol +
                     "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));" + eol + "ENDSEC;" + eol + "DATA;" + eol;
  for (const std::string& line : data) text += line + eol;
  if (end) text += "ENDSEC;" + eol + "END-ISO-10303-21;" + eol;
  return text;
}

// Figures that multiply, as an SFC file: figure F0 is one polyline of
// `points` points (no primitive at all when `points` is 0), F1 ... F`levels`
// each place the figure below them `fan` times, and the sheet (A1) places
// the top one once: fan^levels polylines from `levels` * `fan` + 1
// placements written.
inline std::string MultiplyingSfc(int levels, int fan, int points) {
  std::vector<std::string> features;
  if (points > 0) {
    std::string xs, ys;
    for (int i = 0; i < points; ++i) {
      xs += (i ? "," : "") + std::to_string(i);
      ys += (i ? "," : "") + std::to_string(i % 7);
    }
    features.push_back("polyline_feature('1','1','1','1','" + std::to_string(points) + "','(" + xs + ")','(" + ys +
                       ")')");
  }
  features.push_back(R"(sfig_org_feature(\'F0\','3'))");
  for (int level = 1; level <= levels; ++level) {
    for (int i = 0; i < fan; ++i)
      features.push_back(R"(sfig_locate_feature('1',\'F)" + std::to_string(level - 1) + R"(\','0','0','0','1','1'))");
    features.push_back(R"(sfig_org_feature(\'F)" + std::to_string(level) + R"(\','3'))");
  }
  features.push_back(R"(sfig_locate_feature('1',\'F)" + std::to_string(levels) + R"(\','0','0','0','1','1'))");
  features.push_back(R"(drawing_sheet_feature(\'A1\','1','1','841','594'))");
  return SfcFile(features);
}

// The same figures as an AP202 mode file: symbol representations placed by
// mapped items through symbol representation maps, the top one placed on
// the sheet by an annotation symbol occurrence.
inline std::string MultiplyingAp202(int levels, int fan, int points) {
  std::vector<std::string> data = {"#1=CARTESIAN_POINT('',(0.,0.));", "#2=DIRECTION('',(1.,0.));",
                                   "#3=AXIS2_PLACEMENT_2D('',#1,#2);", "#5=REPRESENTATION_CONTEXT('','2D');"};
  long n = 100;
  auto ref = [](long id) { return "#" + std::to_string(id); };
  std::string items;
  if (points > 0) {
    std::string refs;
    for (int i = 0; i < points; ++i) {
      data.push_back(ref(n) + "=CARTESIAN_POINT('',(" + std::to_string(i) + ".," + std::to_string(i % 7) + ".));");
      refs += (i ? "," : "") + ref(n++);
    }
    data.push_back(ref(n) + "=POLYLINE('',(" + refs + "));");
    data.push_back(ref(n + 1) + "=ANNOTATION_CURVE_OCCURRENCE('',(),#" + std::to_string(n) + ");");
    items = ref(n + 1);
    n += 2;
  }
  data.push_back(ref(n) + "=SYMBOL_REPRESENTATION('F0',(" + items + "),#5);");
  data.push_back(ref(n + 1) + "=SYMBOL_REPRESENTATION_MAP(#3," + ref(n) + ");");
  long map = n + 1;
  n += 2;
  for (int level = 1; level <= levels; ++level) {
    std::string placed;
    for (int i = 0; i < fan; ++i) {
      data.push_back(ref(n) + "=MAPPED_ITEM(''," + ref(map) + ",#3);");
      placed += (i ? "," : "") + ref(n++);
    }
    data.push_back(ref(n) + "=SYMBOL_REPRESENTATION('F" + std::to_string(level) + "',(" + placed + "),#5);");
    data.push_back(ref(n + 1) + "=SYMBOL_REPRESENTATION_MAP(#3," + ref(n) + ");");
    map = n + 1;
    n += 2;
  }
  data.push_back(ref(n) + "=MAPPED_ITEM(''," + ref(map) + ",#3);");
  data.push_back(ref(n + 1) + "=ANNOTATION_SYMBOL_OCCURRENCE('',()," + ref(n) + ");");
  return Ap202File(data);
}

}  // namespace dlvr::test
