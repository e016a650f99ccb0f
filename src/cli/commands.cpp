#include "cli/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <optional>
#include <ostream>
#include <sstream>

#include "check/viewer_model.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/diff_command.h"
#include "cli/json.h"
#include "delivery/kkt_xml_read.h"
#include "platform/drive.h"
#include "platform/paths.h"
#include "platform/text.h"

#ifndef DLVR_VERSION
#define DLVR_VERSION "0.0.0"
#endif

namespace dlvr {
namespace {

const char* const kUsage =
    "usage: dlvr COMMAND [ARGS]\n"
    "\n"
    "Reads and checks a public-works electronic delivery folder without\n"
    "changing it.\n"
    "\n"
    "commands:\n"
    "  dump FOLDER     print the records read from the management files as JSON\n"
    "  tree FOLDER...  print the document tree built from one or more media\n"
    "  check FOLDER    run the data check and list its findings\n"
    "  report FOLDER -o FILE.pdf\n"
    "                  write the printed error report as a PDF file\n"
    "  html FILE -o OUT.html\n"
    "                  transform one XML file through its stylesheet, as the\n"
    "                  viewer's preview does, and write the HTML\n"
    "  photos FOLDER...\n"
    "                  list the photo records of PHOTO.XML, or check the photos\n"
    "  render DRAWING (-o OUT.png|svg|pdf | --dump)\n"
    "                  draw an SXF drawing (.P21, .SFC) or list its primitives\n"
    "  scan ROOT       check every delivery under ROOT, several at a time, and\n"
    "                  print one summary row per delivery\n"
    "  diff OLD NEW    list what changed between a delivery and its resubmission\n"
    "  search FOLDER... QUERY\n"
    "                  find words in every document, record and file name\n"
    "\n"
    "options:\n"
    "  --help          show this help (also: dlvr COMMAND --help)\n"
    "  --version       print the version\n";

const char* const kDumpUsage =
    "usage: dlvr dump FOLDER [FOLDER...]\n"
    "\n"
    "Reads FOLDER/INDEX_C.XML and the sub-management files DRAWINGS.XML,\n"
    "MEET.XML, PLAN.XML, DRAWINGF.XML and OTHRS.XML (each when its class folder\n"
    "exists; names matched without regard to case) and prints the records as one\n"
    "JSON object. Further FOLDERs are further media of the delivery: its records\n"
    "are the first medium's. Exit 0; exit 2 when a FOLDER is not a folder.\n";

const char* const kTreeUsage =
    "usage: dlvr tree FOLDER [FOLDER...] [--lang N] [--filemode N]\n"
    "                 [--sort meet=M] [--sort plan=M] [--sort othrs=M]\n"
    "\n"
    "Loads each FOLDER in turn as a folder on a fixed disk (a folder of the\n"
    "delivery already loaded is added as a further medium, any other folder\n"
    "replaces the delivery), applies the sort modes (0-8), the tree language\n"
    "(0-3) and the file-name display mode (0-3), and prints every tree item\n"
    "depth-first, one line each:\n"
    "  depth TAB caption TAB level TAB number TAB media TAB exists TAB image\n"
    "image is the image index 0-10, or \"sys\" for a resolved file icon. Every\n"
    "FOLDER stays reachable as the medium it holds: exists tells whether a file\n"
    "lies in the folder of its medium. Exit 2 when two FOLDERs hold the same\n"
    "medium of one delivery.\n";

template <class R>
Json RecordJson(const R& rec) {
  Json object = Json::object();
  for (const TFieldDef<R>& f : R::Fields()) {
    Json& value = object[f.Name];
    if (f.Text) {
      value = JsonString(rec.*f.Text);
    } else if (f.List) {
      value = JsonStrings(rec.*f.List);
    } else {
      value = Json::array();
      for (const TMdlTreeNodeOrg& o : rec.*f.Orgs) value.push_back(RecordJson(o));
    }
  }
  return object;
}

template <class R>
Json RecordsJson(const std::vector<R>& list) {
  Json array = Json::array();
  for (const R& r : list) array.push_back(RecordJson(r));
  return array;
}

// Reads a class's sub-management file when its class folder exists.
bool ReadClassFile(TKKTXMLRead& reader, const std::string& folder, const char* classFolder, const char* file) {
  std::string dir = ResolveCase(JoinPath(folder, classFolder));
  if (!DirExists(dir) || LeadsOutside(dir, folder)) return false;
  // A file that is a link leading out of the delivery counts as missing.
  const std::string path = JoinPath(dir, file);
  if (!LeadsOutside(ResolveCase(path), folder)) reader.ReadFile(path);
  return true;
}

void WriteDelivery(const std::string& folder, std::ostream& out);

int CmdDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("dump", kDumpUsage);
  std::vector<std::string> positional;
  cl.App().add_option("FOLDER", positional);
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (const auto bad = cl.CheckFolders(positional, err)) return *bad;
  // The records are the first medium's: a further medium of the delivery
  // is read for its documents, never for its management files.
  WriteDelivery(positional[0], out);
  return 0;
}

// The class and the sort mode of a --sort value meet=M, plan=M or othrs=M
// (M 0-8).
std::optional<std::pair<int, int>> SortOf(const std::string& value) {
  const std::pair<const char*, int> classes[] = {{"meet=", 2}, {"plan=", 3}, {"othrs=", 6}};
  for (auto [prefix, cls] : classes) {
    if (value.rfind(prefix, 0) != 0) continue;
    std::string mode = value.substr(std::string(prefix).size());
    if (WholeNumber(0, 8)(mode).empty()) return std::make_pair(cls, std::stoi(mode));
  }
  return std::nullopt;
}

void PrintItems(TMdlTreeView& view, TTreeItem* item, int depth, std::ostream& out) {
  int level = view.NodeLevel(item);
  out << depth << '\t' << EscapeCell(ValidUtf8(item->Caption())) << '\t' << (level == nlNone ? 0 : level) << '\t' << view.NodeNumber(item)
      << '\t' << view.NodeMedia(item) << '\t' << (view.NodeData(item) && !view.NodeData(item)->Exists ? 0 : 1) << '\t';
  if (item->ImageIndex() >= view.SysIconBase)
    out << "sys";
  else
    out << item->ImageIndex();
  out << '\n';
  for (int i = 0; i < item->Count(); ++i) PrintItems(view, item->Item(i), depth + 1, out);
}

int CmdTree(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("tree", kTreeUsage);
  std::vector<std::string> folders, sortArgs;
  int lang = -1, fileMode = -1;
  CLI::App& app = cl.App();
  app.add_option("FOLDER", folders);
  app.add_option("--lang", lang)->check(WholeNumber(0, 3));
  app.add_option("--filemode", fileMode)->check(WholeNumber(0, 3));
  app.add_option("--sort", sortArgs)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false)
      ->check(CLI::Validator(
          [](std::string& v) {
            return SortOf(v) ? std::string() : "takes meet=M, plan=M or othrs=M with M 0-8, not " + v;
          },
          "CLASS=M"));
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (const auto bad = cl.CheckFolders(folders, err)) return *bad;

  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  DeliveryStore store;
  TViewerModel model(store);
  TMdlTreeView& view = model.View;
  for (const std::string& f : folders) view.Load(f);
  for (const std::string& v : sortArgs) view.SortClass(SortOf(v)->first, SortOf(v)->second);
  if (lang >= 0) view.SetViewLang(lang);
  if (fileMode >= 0) view.SetFileNameMode(fileMode);
  for (int i = 0; i < view.Tree().TopCount(); ++i) PrintItems(view, view.Tree().TopItem(i), 0, out);
  SetDriveTypeOverride(nullptr);
  return 0;
}

// The canonical absolute form of a path that need not exist: the longest
// part that exists resolved by the system, symbolic links at the end
// followed by hand (also one that leads nowhere), the rest appended with `.`
// and `..` taken by name. "" when nothing of it can be resolved.
std::string CanonicalTarget(std::string path) {
  if (path.empty()) return std::string();
  std::vector<std::string> below;  // names under the resolved part, the last name first
  char resolved[PATH_MAX];
  int links = 0;
  while (true) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (::realpath(path.c_str(), resolved)) break;
    if (path == "." || path == "/") return std::string();
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      char target[PATH_MAX];
      ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
      if (n <= 0 || ++links > 40) return std::string();
      std::string to(target, static_cast<std::size_t>(n));
      path = to[0] == '/' ? to : path.substr(0, path.rfind('/') + 1) + to;
      continue;
    }
    std::size_t slash = path.rfind('/');
    below.push_back(slash == std::string::npos ? path : path.substr(slash + 1));
    path = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  }
  std::string out = resolved;
  for (auto it = below.rbegin(); it != below.rend(); ++it) {
    if (it->empty() || *it == ".") continue;
    if (*it == "..")
      out = out.size() > 1 ? out.substr(0, std::max<std::size_t>(1, out.rfind('/'))) : out;
    else
      out = JoinPath(out, *it);
  }
  return out;
}

}  // namespace

bool PathLiesInside(const std::string& path, const std::string& folder) {
  struct stat root {};
  if (::stat(folder.c_str(), &root) != 0) return false;
  std::string p = CanonicalTarget(path);
  while (!p.empty()) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0 && st.st_dev == root.st_dev && st.st_ino == root.st_ino) return true;
    if (p == "/") break;
    p = p.substr(0, std::max<std::size_t>(1, p.rfind('/')));
  }
  return false;
}

namespace {

// `value` as JsonText writes it standing `depth` levels in (one blank a
// level): its lines after the first indented that much, no final break.
std::string Nested(const Json& value, int depth) {
  std::string text = JsonText(value, 1);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  const std::string indent(static_cast<std::size_t>(depth), ' ');
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

// A member holding the records of one list, written a record at a time:
// the whole list never stands as JSON in memory.
template <class R>
void WriteRecords(std::ostream& out, const char* name, const std::vector<R>& list) {
  out << " \"" << name << "\": ";
  if (list.empty()) {
    out << Nested(Json::array(), 1);
  } else {
    out << "[\n";
    for (std::size_t i = 0; i < list.size(); ++i)
      out << "  " << Nested(RecordJson(list[i]), 2) << (i + 1 < list.size() ? ",\n" : "\n");
    out << " ]";
  }
  out << ",\n";
}

// The records of the first medium as JSON, the same text as JsonText(…, 1)
// of the whole.
void WriteDelivery(const std::string& folder, std::ostream& out) {
  DeliveryStore store;
  TKKTXMLRead reader(store);
  reader.ClearRecords(-1);
  if (const std::string index = JoinPath(folder, "INDEX_C.XML"); !LeadsOutside(ResolveCase(index), folder))
    reader.ReadFile(index);
  bool dup1 = false, dup4 = false;
  if (ReadClassFile(reader, folder, "DRAWINGS", "DRAWINGS.XML")) dup1 = store.DrawFileDuplicate;
  ReadClassFile(reader, folder, "MEET", "MEET.XML");
  ReadClassFile(reader, folder, "PLAN", "PLAN.XML");
  if (ReadClassFile(reader, folder, "DRAWINGF", "DRAWINGF.XML")) dup4 = store.DrawFileDuplicate;
  ReadClassFile(reader, folder, "OTHRS", "OTHRS.XML");

  out << "{\n";
  WriteRecords(out, "IndexRecords", store.IndexRecords);
  WriteRecords(out, "OrderDrawings", store.OrderDrawings);
  WriteRecords(out, "FinalDrawings", store.FinalDrawings);
  WriteRecords(out, "Meetings", store.Meetings);
  WriteRecords(out, "Plans", store.Plans);
  WriteRecords(out, "Others", store.Others);
  out << " \"DrawFileDuplicate\": " << Nested(Json{{"1", dup1}, {"4", dup4}}, 1) << "\n}\n";
}

}  // namespace

std::string DumpDelivery(const std::string& folder) {
  std::ostringstream out;
  WriteDelivery(folder, out);
  return out.str();
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  using TCommand = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  static const std::pair<const char*, TCommand> commands[] = {
      {"dump", CmdDump},     {"tree", CmdTree},     {"check", CmdCheck},   {"report", CmdReport},
      {"html", CmdHtml},     {"photos", CmdPhotos}, {"render", CmdRender}, {"scan", CmdScan},
      {"diff", CmdDiff},     {"search", CmdSearch},
  };
  TArguments cl("", kUsage);
  bool version = false;
  cl.App().add_flag("--version", version);
  // Everything from the command on is the command's.
  cl.App().prefix_command();
  std::vector<std::string> all{"dlvr"};
  all.insert(all.end(), args.begin(), args.end());
  if (const auto done = cl.Parse(all, out, err)) return *done;
  if (version) {
    out << "dlvr " << DLVR_VERSION << "\n";
    return 0;
  }
  std::vector<std::string> rest = cl.App().remaining();
  if (!rest.empty() && rest.front() == "--") rest.erase(rest.begin());
  if (rest.empty()) {
    err << kUsage;
    return 2;
  }
  const std::string& cmd = rest.front();
  for (auto [name, run] : commands)
    if (cmd == name) return run(rest, out, err);
  return cl.Fail(err, (cmd.size() > 1 && cmd[0] == '-' ? "unknown option " : "unknown command ") + cmd);
}

}  // namespace dlvr
