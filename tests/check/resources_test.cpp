#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check/resources.h"
#include "delivery/records.h"
#include "platform/fileio.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// The components the program looks its texts up by.
const char* const kComponents[] = {
    "ctnKojiTreeIni", "ctnMeetTreeIni", "ctnPlanTreeIni", "ctnOthrsTreeIni", "ctnDrawKind", "ctnDrawName", "ctnDrawing",
    "ctnMeet",        "ctnPlan",        "ctnPhoto",       "ctnOthrs",        "ctnIndex",    "ctnReport"};
const char* const kStylesheets[] = {"ctnDrawing", "ctnMeet",  "ctnPlan",  "ctnPhoto",
                                    "ctnOthrs",   "ctnIndex", "ctnReport"};

std::vector<std::string> LfLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// ---- a strict reading of the layout the field tables are written in ----

struct Key {
  std::string Name, Value;
};

struct Section {
  std::size_t Indent = 0;
  std::string Name;
  std::vector<Key> Keys;
  int EmptyLinesAfter = 0;

  const std::string* Find(const std::string& key) const {
    for (const Key& k : Keys)
      if (k.Name == key) return &k.Value;
    return nullptr;
  }
};

struct Layout {
  std::vector<Section> Sections;
  std::vector<std::string> Problems;
};

Layout ReadLayout(std::string_view text) {
  Layout out;
  auto problem = [&](std::size_t line, const std::string& what) {
    out.Problems.push_back("line " + std::to_string(line + 1) + ": " + what);
  };
  std::vector<std::string> lines = LfLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    std::size_t indent = l.find_first_not_of(' ');
    if (indent == std::string::npos) {
      if (!l.empty()) problem(i, "blanks on an empty line");
      if (out.Sections.empty())
        problem(i, "empty line before the first section");
      else
        ++out.Sections.back().EmptyLinesAfter;
      continue;
    }
    if (l.back() == ' ' || l.find('\t') != std::string::npos) problem(i, "stray blanks or tabs");
    std::string body = l.substr(indent);
    if (body.front() == '[' && body.back() == ']') {
      Section s;
      s.Indent = indent;
      s.Name = body.substr(1, body.size() - 2);
      out.Sections.push_back(s);
      continue;
    }
    if (out.Sections.empty()) {
      problem(i, "value before the first section");
      continue;
    }
    Section& s = out.Sections.back();
    if (s.EmptyLinesAfter > 0) problem(i, "value after an empty line in " + s.Name);
    if (indent != s.Indent) problem(i, "value not indented like its header " + s.Name);
    std::size_t eq = body.find('=');
    if (eq == std::string::npos || eq == 0) {
      problem(i, "not a key=value line");
      continue;
    }
    s.Keys.push_back({body.substr(0, eq), body.substr(eq + 1)});
  }
  return out;
}

// The fields of a table: the " [ITEM n]" sections after `parent`, checked
// for numbering, indentation and the one empty line after each.
std::vector<Section> FieldSections(const std::string& component, const Layout& layout, const std::string& parent) {
  std::vector<Section> fields;
  auto it =
      std::find_if(layout.Sections.begin(), layout.Sections.end(), [&](const Section& s) { return s.Name == parent; });
  EXPECT_NE(it, layout.Sections.end()) << component << ": no section " << parent;
  if (it == layout.Sections.end()) return fields;
  EXPECT_EQ(it->Indent, 0u) << component;
  for (++it; it != layout.Sections.end(); ++it) {
    std::string expected = "ITEM " + std::to_string(fields.size());
    EXPECT_EQ(it->Name, expected) << component << ": fields must be numbered from 0 without gaps";
    EXPECT_EQ(it->Indent, 1u) << component << " " << it->Name;
    EXPECT_EQ(it->EmptyLinesAfter, 1) << component << " " << it->Name << " must be followed by one empty line";
    fields.push_back(*it);
  }
  return fields;
}

std::vector<Section> ReadFieldTable(const std::string& component) {
  std::string_view text = EmbeddedText(component);
  Layout layout = ReadLayout(text);
  for (const std::string& p : layout.Problems) ADD_FAILURE() << component << " " << p;
  EXPECT_FALSE(layout.Sections.empty()) << component;
  if (layout.Sections.empty()) return {};

  const Section& setting = layout.Sections.front();
  EXPECT_EQ(setting.Name, "SETTING") << component;
  EXPECT_EQ(setting.Indent, 0u) << component;
  EXPECT_EQ(setting.EmptyLinesAfter, 1) << component;
  EXPECT_EQ(setting.Keys.size(), 2u) << component;
  if (setting.Keys.size() == 2) {
    EXPECT_EQ(setting.Keys[0].Name + "=" + setting.Keys[0].Value, "Ver=02") << component;
    EXPECT_EQ(setting.Keys[1].Name + "=" + setting.Keys[1].Value, "DTD=1.0") << component;
  }
  bool construction = component == "ctnKojiTreeIni";
  if (construction) {
    EXPECT_TRUE(layout.Sections.size() > 1 && layout.Sections[1].Name == "KOJINFO" && layout.Sections[1].Keys.empty())
        << component << ": the fields hang under an empty KOJINFO section";
    return FieldSections(component, layout, "KOJINFO");
  }
  return FieldSections(component, layout, "SETTING");
}

bool IsInsertSlot(const Section& s) { return s.Keys.size() == 1 && s.Keys[0].Name == "Insert"; }

// Parses `count "v1" "v2" ...`; false when the text is not of that form.
bool ParseStandardValues(const std::string& text, int& count, std::vector<std::string>& values) {
  std::size_t pos = text.find(' ');
  if (pos == std::string::npos || pos == 0) return false;
  std::string number = text.substr(0, pos);
  if (number.find_first_not_of("0123456789") != std::string::npos) return false;
  count = std::stoi(number);
  values.clear();
  while (pos < text.size()) {
    if (text[pos] != ' ' || pos + 1 >= text.size() || text[pos + 1] != '"') return false;
    std::size_t close = text.find('"', pos + 2);
    if (close == std::string::npos) return false;
    values.push_back(text.substr(pos + 2, close - pos - 2));
    pos = close + 1;
  }
  return true;
}

// ---- embedded texts ----

TEST(EmbeddedTexts, EveryComponentIsFoundByItsExactName) {
  const auto& names = EmbeddedNames();
  std::set<std::string_view> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size()) << "a name is embedded twice";
  for (const char* c : kComponents) {
    EXPECT_TRUE(unique.count(c)) << c;
    EXPECT_FALSE(EmbeddedText(c).empty()) << c;
  }
  EXPECT_EQ(names.size(), std::size(kComponents));

  EXPECT_TRUE(EmbeddedText("").empty());
  EXPECT_TRUE(EmbeddedText("ctnNone").empty());
  EXPECT_TRUE(EmbeddedText("ctnmeet").empty()) << "names compare exactly";
  EXPECT_TRUE(EmbeddedText("ctnMeetTree").empty()) << "a prefix of a name is no name";
  EXPECT_NE(EmbeddedText("ctnMeet"), EmbeddedText("ctnMeetTreeIni"));
}

TEST(EmbeddedTexts, AreTheResourceFilesAsTheyStandInTheSourceTree) {
  namespace fs = std::filesystem;
  std::set<std::string> seen;
  for (const auto& entry : fs::directory_iterator(std::string(DLVR_SOURCE_DIR) + "/resources")) {
    std::string file = entry.path().filename().string();
    if (!entry.is_regular_file() || file.front() == '.') continue;
    std::string name = file.substr(0, file.find('.'));
    seen.insert(name);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(entry.path().string(), bytes)) << file;
    EXPECT_EQ(EmbeddedText(name), bytes) << file << " is not embedded, or embedded out of date";
  }
  for (std::string_view n : EmbeddedNames()) EXPECT_TRUE(seen.count(std::string(n))) << n << " has no file";
}

TEST(EmbeddedTexts, AreUtf8WithLfLineEnds) {
  for (std::string_view name : EmbeddedNames()) {
    std::string_view text = EmbeddedText(name);
    EXPECT_EQ(text.find('\r'), std::string_view::npos) << name << " has CR line ends";
    EXPECT_FALSE(StartsWith(text, "\xEF\xBB\xBF")) << name << " starts with a byte order mark";
    EXPECT_TRUE(!text.empty() && text.back() == '\n') << name << " does not end with a line break";
    for (std::size_t pos = 0; pos < text.size();) {
      std::size_t at = pos;
      if (NextCodePoint(text, pos) == kReplacementChar) {
        ADD_FAILURE() << name << ": invalid UTF-8 at byte " << at;
        break;
      }
    }
    // The generated array keeps a zero after the text for C interfaces.
    EXPECT_EQ(text.data()[text.size()], '\0') << name;
  }
}

// ---- field tables ----

TEST(FieldTables, HaveTheirFieldsAndFreeSlotsWhereThePanesExpectThem) {
  struct Case {
    const char* Component;
    std::size_t Fields;
    int InsertSlot;  // -1: none
  } cases[] = {
      {"ctnKojiTreeIni", 33, -1}, {"ctnMeetTreeIni", 14, 10}, {"ctnPlanTreeIni", 6, 2}, {"ctnOthrsTreeIni", 8, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Component);
    std::vector<Section> fields = ReadFieldTable(c.Component);
    EXPECT_EQ(fields.size(), c.Fields);
    for (std::size_t n = 0; n < fields.size(); ++n) {
      bool slot = static_cast<int>(n) == c.InsertSlot;
      EXPECT_EQ(IsInsertSlot(fields[n]), slot) << fields[n].Name;
      if (slot) {
        EXPECT_EQ(fields[n].Keys[0].Value, "True");
        EXPECT_EQ(fields[n].Find("Tag"), nullptr);
      } else {
        EXPECT_NE(fields[n].Find("Tag"), nullptr) << fields[n].Name << " produces no row";
      }
    }
  }
}

TEST(FieldTables, KeysStandInOrderAndHoldValuesOfTheirKind) {
  const std::vector<std::string> order = {"Tag",   "Info",     "Mask",    "MaxLength",
                                          "Needs", "Categoly", "DataTag", "DefCbxItems"};
  const std::set<std::string> masks = {"半角数字", "半角英数字", "全角文字"};
  const std::set<std::string> needs = {"◎", "○", "△"};
  const std::set<std::string> categories = {"工事件名等", "場所情報", "施設情報", "発注者情報", "請負者情報", "予備"};
  for (const char* component : {"ctnKojiTreeIni", "ctnMeetTreeIni", "ctnPlanTreeIni", "ctnOthrsTreeIni"}) {
    SCOPED_TRACE(component);
    bool construction = std::string(component) == "ctnKojiTreeIni";
    std::set<std::string> tags;
    for (const Section& f : ReadFieldTable(component)) {
      if (IsInsertSlot(f)) continue;
      SCOPED_TRACE(f.Name);
      std::size_t last = 0;
      for (std::size_t i = 0; i < f.Keys.size(); ++i) {
        auto at = std::find(order.begin(), order.end(), f.Keys[i].Name);
        ASSERT_NE(at, order.end()) << "unknown key " << f.Keys[i].Name;
        std::size_t rank = static_cast<std::size_t>(at - order.begin()) + 1;
        EXPECT_GT(rank, last) << f.Keys[i].Name << " out of order or repeated";
        last = rank;
        EXPECT_FALSE(f.Keys[i].Value.empty()) << f.Keys[i].Name << " is empty";
      }
      const std::string* tag = f.Find("Tag");
      ASSERT_NE(tag, nullptr);
      EXPECT_TRUE(tags.insert(*tag).second) << *tag << " appears twice";
      ASSERT_NE(f.Find("Mask"), nullptr);
      EXPECT_TRUE(masks.count(*f.Find("Mask"))) << *f.Find("Mask");
      ASSERT_NE(f.Find("Needs"), nullptr);
      EXPECT_TRUE(needs.count(*f.Find("Needs"))) << *f.Find("Needs");
      ASSERT_NE(f.Find("MaxLength"), nullptr);
      const std::string& max = *f.Find("MaxLength");
      EXPECT_TRUE(max.find_first_not_of("0123456789") == std::string::npos && max != "0" && max.front() != '0')
          << "MaxLength " << max;
      if (construction) {
        EXPECT_EQ(f.Find("Info"), nullptr) << "the construction table carries no explanations";
        ASSERT_NE(f.Find("Categoly"), nullptr);
        EXPECT_TRUE(categories.count(*f.Find("Categoly"))) << *f.Find("Categoly");
        EXPECT_EQ(f.Find("DefCbxItems"), nullptr);
        if (const std::string* code = f.Find("DataTag")) {
          EXPECT_EQ(code->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+"), std::string::npos) << *code;
        }
      } else {
        EXPECT_NE(f.Find("Info"), nullptr);
        EXPECT_EQ(f.Find("Categoly"), nullptr);
        EXPECT_EQ(f.Find("DataTag"), nullptr);
      }
    }
  }
}

TEST(FieldTables, StandardValueListsCountTheirValues) {
  int lists = 0;
  for (const char* component : {"ctnMeetTreeIni", "ctnPlanTreeIni", "ctnOthrsTreeIni"}) {
    for (const Section& f : ReadFieldTable(component)) {
      const std::string* items = f.Find("DefCbxItems");
      if (!items) continue;
      ++lists;
      SCOPED_TRACE(std::string(component) + " " + f.Name);
      int count = -1;
      std::vector<std::string> values;
      ASSERT_TRUE(ParseStandardValues(*items, count, values)) << *items;
      EXPECT_EQ(count, static_cast<int>(values.size())) << *items;
      std::set<std::string> unique(values.begin(), values.end());
      EXPECT_EQ(unique.size(), values.size()) << "repeated value in " << *items;
      for (const std::string& v : values) {
        EXPECT_FALSE(v.empty());
        // A standard value must fit the field it is offered for.
        EXPECT_LE(CodePointCount(v), static_cast<std::size_t>(std::stoi(*f.Find("MaxLength")))) << v;
      }
    }
  }
  EXPECT_EQ(lists, 3) << "meeting kind, management class and other-document kind";
}

// The panes number a record's fields as the reader lists them; the free slot
// is where the reader keeps the record's original files.
template <class R>
void ExpectTagsFollowTheReader(const char* component) {
  SCOPED_TRACE(component);
  std::vector<Section> fields = ReadFieldTable(component);
  const auto& reader = R::Fields();
  ASSERT_EQ(fields.size(), reader.size());
  for (std::size_t n = 0; n < fields.size(); ++n) {
    if (IsInsertSlot(fields[n])) {
      EXPECT_NE(reader[n].Orgs, nullptr) << "slot " << n << " is free but the reader keeps " << reader[n].Element
                                         << " there";
      continue;
    }
    EXPECT_EQ(*fields[n].Find("Tag"), reader[n].Element) << fields[n].Name;
  }
}

TEST(FieldTables, RecordTagsAreTheElementNamesTheReaderUses) {
  ExpectTagsFollowTheReader<TMdlTreeNodeMeet>("ctnMeetTreeIni");
  ExpectTagsFollowTheReader<TMdlTreeNodePlan>("ctnPlanTreeIni");
  ExpectTagsFollowTheReader<TMdlTreeNodeOthrs>("ctnOthrsTreeIni");
}

TEST(FieldTables, ConstructionTagsAreManagementFileElementsInFileOrder) {
  const auto& reader = TMdlTreeNodeIndex::Fields();
  std::size_t next = 0;
  for (const Section& f : ReadFieldTable("ctnKojiTreeIni")) {
    std::string tag = *f.Find("Tag");
    // The address is labelled with the place of the work; the element is 住所.
    std::string element = tag == "住所（施工場所）" ? "住所" : tag;
    auto at = std::find_if(reader.begin() + static_cast<long>(next), reader.end(),
                           [&](const auto& d) { return element == d.Element; });
    ASSERT_NE(at, reader.end()) << tag << " is no element of the management file, or out of order";
    next = static_cast<std::size_t>(at - reader.begin()) + 1;
    std::string group = at->Group;
    EXPECT_EQ(*f.Find("Categoly"), group.empty() ? element : group) << tag;
  }
}

// ---- drawing kinds ----

TEST(DrawingKinds, NameLinesAlignWithKindLinesInFourGroups) {
  std::vector<std::string> kinds = LfLines(EmbeddedText("ctnDrawKind"));
  std::vector<std::string> names = LfLines(EmbeddedText("ctnDrawName"));
  ASSERT_EQ(kinds.size(), 59u);
  ASSERT_EQ(names.size(), 59u);
  std::vector<std::size_t> groupStarts;
  std::set<std::string> inGroup;
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i) + " " + names[i]);
    ASSERT_EQ(kinds[i].size(), 2u);
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(kinds[i][0])) &&
                std::isupper(static_cast<unsigned char>(kinds[i][1])));
    EXPECT_EQ(names[i].substr(0, 3), kinds[i] + "-");
    EXPECT_GT(names[i].size(), 3u);
    EXPECT_EQ(names[i].find(' '), std::string::npos);
    // Every group starts with the location map, and only there.
    if (kinds[i] == "LC") {
      groupStarts.push_back(i);
      inGroup.clear();
    }
    EXPECT_TRUE(inGroup.insert(kinds[i]).second) << "code repeated within a group";
  }
  EXPECT_EQ(groupStarts, (std::vector<std::size_t>{0, 8, 34, 45}));
  // A code-only lookup takes the first line of the code.
  EXPECT_EQ(std::find(kinds.begin(), kinds.end(), "GP") - kinds.begin(), 29);
  EXPECT_EQ(names[29], "GP-橋脚構造一般図");
}

// ---- stylesheets ----

TEST(StylesheetTexts, DeclareShiftJisAndSurviveTheConversionToIt) {
  for (const char* name : kStylesheets) {
    SCOPED_TRACE(name);
    std::string text(EmbeddedText(name));
    EXPECT_TRUE(StartsWith(text, "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\n"));
    // Written out as Shift-JIS: a character without a CP932 code would turn into '?'.
    EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(text)), text);
    EXPECT_NE(text.find("xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""), std::string::npos);
  }
}

}  // namespace
}  // namespace dlvr
