#include "cli/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ostream>

#include "check/viewer_model.h"
#include "cli/check_command.h"
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
    "image is the image index 0-10, or \"sys\" for a resolved file icon.\n";

template <class R>
void WriteFields(JsonWriter& w, const R& rec);

void WriteOrgs(JsonWriter& w, const std::vector<TMdlTreeNodeOrg>& orgs) {
  w.BeginArray();
  for (const TMdlTreeNodeOrg& o : orgs) WriteFields(w, o);
  w.EndArray();
}

template <class R>
void WriteFields(JsonWriter& w, const R& rec) {
  w.BeginObject();
  for (const TFieldDef<R>& f : R::Fields()) {
    w.Key(f.Name);
    if (f.Text)
      w.String(rec.*f.Text);
    else if (f.List)
      w.StringArray(rec.*f.List);
    else
      WriteOrgs(w, rec.*f.Orgs);
  }
  w.EndObject();
}

template <class R>
void WriteList(JsonWriter& w, const char* key, const std::vector<R>& list) {
  w.Key(key);
  w.BeginArray();
  for (const R& r : list) WriteFields(w, r);
  w.EndArray();
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

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

int Fail(std::ostream& err, const std::string& message) {
  err << "dlvr: " << message << "\n";
  return 2;
}

int CmdDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (IsHelp(args[i])) {
      out << kDumpUsage;
      return 0;
    }
    if (args[i].size() > 1 && args[i][0] == '-') return Fail(err, "dump: unknown option " + args[i]);
    positional.push_back(args[i]);
  }
  if (positional.empty()) return Fail(err, "dump: missing FOLDER");
  for (const std::string& folder : positional)
    if (!DirExists(folder)) return Fail(err, "dump: not a folder: " + folder);
  // The records are the first medium's: a further medium of the delivery
  // is read for its documents, never for its management files.
  out << DumpDelivery(positional[0]);
  return 0;
}

// A whole decimal number within [lo, hi].
bool ParseNumber(const std::string& s, int lo, int hi, int& out) {
  if (s.empty() || s.size() > 3) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  out = v;
  return true;
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
  std::vector<std::string> folders;
  int lang = -1, fileMode = -1;
  std::vector<std::pair<int, int>> sorts;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      out << kTreeUsage;
      return 0;
    }
    if (a == "--lang" || a == "--filemode" || a == "--sort") {
      if (i + 1 >= args.size()) return Fail(err, "tree: " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--lang") {
        if (!ParseNumber(v, 0, 3, lang)) return Fail(err, "tree: --lang takes 0-3, not " + v);
      } else if (a == "--filemode") {
        if (!ParseNumber(v, 0, 3, fileMode)) return Fail(err, "tree: --filemode takes 0-3, not " + v);
      } else {
        std::size_t eq = v.find('=');
        std::string cls = eq == std::string::npos ? v : v.substr(0, eq);
        int mode = 0;
        int c = cls == "meet" ? 2 : cls == "plan" ? 3 : cls == "othrs" ? 6 : 0;
        if (c == 0 || eq == std::string::npos || !ParseNumber(v.substr(eq + 1), 0, 8, mode))
          return Fail(err, "tree: --sort takes meet=M, plan=M or othrs=M with M 0-8, not " + v);
        sorts.emplace_back(c, mode);
      }
      continue;
    }
    if (a.size() > 1 && a[0] == '-') return Fail(err, "tree: unknown option " + a);
    folders.push_back(a);
  }
  if (folders.empty()) return Fail(err, "tree: missing FOLDER");
  for (const std::string& f : folders)
    if (!DirExists(f)) return Fail(err, "tree: not a folder: " + f);

  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  DeliveryStore store;
  TViewerModel model(store);
  TMdlTreeView& view = model.View;
  for (const std::string& f : folders) view.Load(f);
  for (auto [cls, mode] : sorts) view.SortClass(cls, mode);
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

std::string DumpDelivery(const std::string& folder) {
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

  JsonWriter w;
  w.BeginObject();
  WriteList(w, "IndexRecords", store.IndexRecords);
  WriteList(w, "OrderDrawings", store.OrderDrawings);
  WriteList(w, "FinalDrawings", store.FinalDrawings);
  WriteList(w, "Meetings", store.Meetings);
  WriteList(w, "Plans", store.Plans);
  WriteList(w, "Others", store.Others);
  w.Key("DrawFileDuplicate");
  w.BeginObject();
  w.Key("1");
  w.Bool(dup1);
  w.Key("4");
  w.Bool(dup4);
  w.EndObject();
  w.EndObject();
  return w.Text();
}

int CmdRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CmdScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  const std::string& cmd = args[0];
  if (IsHelp(cmd)) {
    out << kUsage;
    return 0;
  }
  if (cmd == "--version") {
    out << "dlvr " << DLVR_VERSION << "\n";
    return 0;
  }
  if (cmd == "dump") return CmdDump(args, out, err);
  if (cmd == "tree") return CmdTree(args, out, err);
  if (cmd == "check") return CmdCheck(args, out, err);
  if (cmd == "report") return CmdReport(args, out, err);
  if (cmd == "html") return CmdHtml(args, out, err);
  if (cmd == "photos") return CmdPhotos(args, out, err);
  if (cmd == "render") return CmdRender(args, out, err);
  if (cmd == "scan") return CmdScan(args, out, err);
  if (!cmd.empty() && cmd[0] == '-') return Fail(err, "unknown option " + cmd);
  return Fail(err, "unknown command " + cmd);
}

}  // namespace dlvr
