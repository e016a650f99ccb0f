// Loading a large delivery from disk into the viewer's model, against the
// least any load has to do on the same files.
//
//   tree_load_bench [--meetings N] [--orgs N] [--drawings N] [--spec N]
//                   [--runs N] [--keep] [--write-only] [--loads-only]
//
// A delivery is first written into a temporary folder (removed at the end
// unless --keep or --write-only is given): INDEX_C.XML; MEET/MEET.XML with
// 10,000 meetings of 3 original files each and those 30,000 files in
// MEET/ORG/; DRAWINGS/DRAWINGS.XML and DRAWINGF/DRAWINGF.XML with 2,000
// drawings each and their files; 500 files in DRAWINGS/SPEC/. Management
// files are Shift-JIS (CP932) with CR LF, one element a line, lower-case
// roots with DTD_version, their DTDs beside them. Other files are empty.
//
// Timed, alternately in the same run (one untimed warm-up of each first):
//
//   load   TViewerModel::View.Load(folder) on a fresh model and store, the
//          drive forced to a fixed disk: tree build, work copies with
//          their stylesheet lines, field tables
//   floor  reading every management file's bytes and one stat() of every
//          file of the delivery
//
// The phases of a load (reading the management files alone, BuildTree,
// the field tables, the work copies) are timed after that, for finding
// where the time goes.
//
// With --loads-only nothing but the loads runs (one warm-up, then N), so
// that a profiler sees the load alone.
//
// Targets: load under 1 s and no more than 2 times the floor (medians).
// Exit status 0 when both are met, 3 when not, 1 on errors (the delivery
// could not be written, or a load did not give the expected tree).

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "check/data_check.h"
#include "check/viewer_model.h"
#include "delivery/kkt_xml_read.h"
#include "delivery/prompts.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"

namespace {

using namespace dlvr;
using namespace dlvr::bench;

constexpr double kTargetSeconds = 1.0;
constexpr double kTargetRatio = 2.0;

struct Options {
  int Meetings = 10000;
  int Orgs = 3;
  int Drawings = 2000;
  int Spec = 500;
};

struct Delivery {
  std::string Folder;                 // with a trailing '/'
  std::vector<std::string> Manage;    // management files (and their DTDs)
  std::vector<std::string> Files;     // every file of the delivery
  std::size_t ManageBytes = 0;
  std::size_t MeetBytes = 0;
};

// Counts the messages the model shows; a fixed-disk load should show none.
class CountingPrompts : public TPromptService {
 public:
  DialogAnswer Show(const MessageRequest& request) override {
    if (Shown++ == 0) First = request.Text;
    return DialogAnswer::None;
  }
  int Shown = 0;
  std::string First;
};

bool WriteManage(Delivery& d, const std::string& rel, const std::string& text) {
  const std::string path = d.Folder + rel;
  if (!WriteDeliveryFile(path, text)) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    d.ManageBytes += static_cast<std::size_t>(st.st_size);
    if (rel == "MEET/MEET.XML") d.MeetBytes = static_cast<std::size_t>(st.st_size);
  }
  d.Manage.push_back(path);
  d.Files.push_back(path);
  return true;
}

bool Touch(Delivery& d, const std::string& rel) {
  d.Files.push_back(d.Folder + rel);
  return TouchFile(d.Files.back());
}

bool WriteDelivery(Delivery& d, const Options& o) {
  for (const char* sub : {"MEET", "MEET/ORG", "DRAWINGS", "DRAWINGS/SPEC", "DRAWINGF"})
    if (::mkdir((d.Folder + sub).c_str(), 0755) != 0) return false;
  Rng rng(20240401);

  if (!WriteManage(d, "INDEX_C.XML", IndexXml(MakeIndexRecord())) || !WriteManage(d, "INDE_C02.DTD", IndexDtd()))
    return false;

  std::vector<TMdlTreeNodeMeet> meetings;
  meetings.reserve(static_cast<std::size_t>(o.Meetings));
  for (int i = 1; i <= o.Meetings; ++i) meetings.push_back(MakeMeeting(rng, i, o.Orgs, 1, 60));
  if (!WriteManage(d, "MEET/MEET.XML", MeetXml(meetings)) || !WriteManage(d, "MEET/MEET02.DTD", MeetDtd()))
    return false;
  for (const TMdlTreeNodeMeet& m : meetings)
    for (const TMdlTreeNodeOrg& org : m.Orgs)
      if (!Touch(d, "MEET/ORG/" + org.OrgFile)) return false;

  struct DrawClass {
    const char* Folder;
    const char* Xml;
    char Lead;
  };
  for (const DrawClass& c : {DrawClass{"DRAWINGS", "DRAWINGS.XML", 'D'}, DrawClass{"DRAWINGF", "DRAWINGF.XML", 'C'}}) {
    std::vector<TMdlTreeNodeDraw> drawings;
    for (int n = 1; n <= o.Drawings; ++n) drawings.push_back(MakeDrawing(rng, c.Lead, n));
    const std::string folder = std::string(c.Folder) + "/";
    if (!WriteManage(d, folder + c.Xml, DrawXml(drawings)) || !WriteManage(d, folder + "DRAW02.DTD", DrawDtd()))
      return false;
    for (const TMdlTreeNodeDraw& dr : drawings)
      if (!Touch(d, folder + dr.DrawFile)) return false;
  }

  static const char* const kSpecExt[] = {"PDF", "PDF", "DOCX", "XLSX", "TXT", "HTM"};
  for (int n = 1; n <= o.Spec; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "TOKKI%03d.%s", n % 1000, kSpecExt[n % 6]);
    if (!Touch(d, std::string("DRAWINGS/SPEC/") + name)) return false;
  }
  return true;
}

// What a load of the generated delivery must give.
std::string CheckLoad(TViewerModel& model, DeliveryStore& store, const Options& o, const CountingPrompts& prompts) {
  char buf[256];
  if (store.Meetings.size() != static_cast<std::size_t>(o.Meetings) ||
      store.OrderDrawings.size() != static_cast<std::size_t>(o.Drawings) ||
      store.FinalDrawings.size() != static_cast<std::size_t>(o.Drawings)) {
    std::snprintf(buf, sizeof buf, "records: %zu meetings, %zu + %zu drawings", store.Meetings.size(),
                  store.OrderDrawings.size(), store.FinalDrawings.size());
    return buf;
  }
  TMdlTreeView& v = model.View;
  std::size_t files = 0, present = 0, records = 0;
  v.Tree().ForEach([&](TTreeItem* item) {
    int level = v.NodeLevel(item);
    if (level == nlRecord) ++records;
    if (level != nlFile) return;
    ++files;
    if (v.NodeMedia(item) == 1 && v.NodeData(item)->Exists) ++present;
  });
  const std::size_t wantFiles = static_cast<std::size_t>(o.Meetings) * o.Orgs + 2u * o.Drawings + o.Spec;
  if (records != static_cast<std::size_t>(o.Meetings) || files != wantFiles || present != wantFiles) {
    std::snprintf(buf, sizeof buf, "tree: %zu records, %zu file items, %zu found on the medium; expected %d, %zu",
                  records, files, present, o.Meetings, wantFiles);
    return buf;
  }
  // The meeting table holds no record until its pane shows one.
  if (TTreeIniItem* datas = model.Tables.Meet.ItemByPath("Datas"); datas && datas->Count() != 0)
    return "meeting table: " + std::to_string(datas->Count()) + " records before any was shown";
  std::string copy;
  if (!ReadWholeFile(v.WorkFolder1() + "MEET.XML", copy) || copy.find("xml-stylesheet") == std::string::npos)
    return "no work copy of MEET.XML with its stylesheet line";
  if (!FileExists(v.WorkFolder2() + "DRAWINGF.XML") || !FileExists(v.WorkFolder1() + "DRAWING.XSL"))
    return "work copies of the drawings missing";
  if (prompts.Shown > 0) return std::to_string(prompts.Shown) + " message(s) shown, first: " + prompts.First;
  return std::string();
}

double FloorOnce(const Delivery& d, bool* ok) {
  auto a = Clock::now();
  std::size_t bytes = 0;
  std::string data;
  for (const std::string& f : d.Manage) {
    if (!ReadWholeFile(f, data)) *ok = false;
    bytes += data.size();
  }
  std::size_t found = 0;
  struct stat st {};
  for (const std::string& f : d.Files)
    if (::stat(f.c_str(), &st) == 0) ++found;
  auto b = Clock::now();
  if (bytes != d.ManageBytes || found != d.Files.size()) *ok = false;
  return Seconds(b - a);
}

void PrintRow(const char* what, const Stats& s) { std::printf("%-34s %9.3f s %9.3f s\n", what, s.best, s.median); }

int Usage() {
  std::fprintf(stderr,
               "usage: tree_load_bench [--meetings N] [--orgs N] [--drawings N] [--spec N] [--runs N] [--keep] "
               "[--write-only] [--loads-only]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int runs = 5;
  bool keep = false, writeOnly = false, loadsOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](int& v) {
      if (i + 1 >= argc) return false;
      v = std::atoi(argv[++i]);
      return true;
    };
    if (a == "--keep") {
      keep = true;
    } else if (a == "--write-only") {
      writeOnly = keep = true;
    } else if (a == "--loads-only") {
      loadsOnly = true;
    } else if (!((a == "--meetings" && next(o.Meetings)) || (a == "--orgs" && next(o.Orgs)) ||
                 (a == "--drawings" && next(o.Drawings)) || (a == "--spec" && next(o.Spec)) ||
                 (a == "--runs" && next(runs)))) {
      return Usage();
    }
  }
  if (runs < 1 || o.Meetings < 1 || o.Orgs < 1 || o.Drawings < 1 || o.Drawings > 9990 || o.Spec < 0 || o.Spec > 999)
    return Usage();

  Delivery d;
  d.Folder = MakeTempDir("dlvr-bench-tree-");
  if (d.Folder.empty()) {
    std::fprintf(stderr, "cannot create a temporary folder\n");
    return 1;
  }
  std::printf("writing a delivery to %s ...\n", d.Folder.c_str());
  std::fflush(stdout);
  auto w0 = Clock::now();
  if (!WriteDelivery(d, o)) {
    std::fprintf(stderr, "cannot write the delivery\n");
    RemoveTree(d.Folder);
    return 1;
  }
  std::printf("%zu files (%d meetings with %d originals each, %d + %d drawings, %d attachments), "
              "management files %.1f MB (MEET.XML %.1f MB), written in %.1f s\n",
              d.Files.size(), o.Meetings, o.Orgs, o.Drawings, o.Drawings, o.Spec, d.ManageBytes / 1e6,
              d.MeetBytes / 1e6, Seconds(Clock::now() - w0));
  if (writeOnly) {
    std::printf("%s\n", d.Folder.c_str());
    return 0;
  }

  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  SetMediaReadyOverride([](const std::string&) { return true; });
  CountingPrompts prompts;
  SetPromptService(&prompts);

  int exitCode = 0;
  std::vector<double> checks;
  std::size_t checkErrors = 0;
  // One load: its time, and its teardown (work folders removed) timed apart.
  // The data check runs on every loaded delivery and is timed apart too.
  auto loadOnce = [&](bool check, double* teardown) {
    prompts.Shown = 0;
    auto store = std::make_unique<DeliveryStore>();
    auto model = std::make_unique<TViewerModel>(*store);
    auto a = Clock::now();
    model->View.Load(d.Folder);
    auto b = Clock::now();
    auto ca = Clock::now();
    RunDataCheck(model->View);
    checks.push_back(Seconds(Clock::now() - ca));
    checkErrors = model->View.ErrorList.size();
    if (check) {
      std::string fault = CheckLoad(*model, *store, o, prompts);
      if (!fault.empty()) {
        std::fprintf(stderr, "the load did not give the expected result: %s\n", fault.c_str());
        exitCode = 1;
      }
    }
    model.reset();
    store.reset();
    if (teardown) *teardown = Seconds(Clock::now() - b);
    return Seconds(b - a);
  };

  bool floorOk = true;
  loadOnce(true, nullptr);
  if (!loadsOnly) FloorOnce(d, &floorOk);
  std::vector<double> loads, floors, teardowns;
  for (int i = 0; i < runs && exitCode == 0; ++i) {
    double t = 0;
    loads.push_back(loadOnce(i == 0, &t));
    teardowns.push_back(t);
    if (!loadsOnly) floors.push_back(FloorOnce(d, &floorOk));
  }
  if (loadsOnly) {
    SetPromptService(nullptr);
    if (exitCode == 0) {
      std::printf("\n%d timed loads (after one warm-up load)\n", runs);
      PrintRow("load (View.Load, fixed disk)", Summarise(loads));
    }
    if (!keep) RemoveTree(d.Folder);
    return exitCode;
  }
  if (!floorOk) {
    std::fprintf(stderr, "the floor did not read or find every file\n");
    exitCode = 1;
  }

  // The phases of a load, each on its own.
  std::vector<double> readOnly, build, fill, copies;
  for (int i = 0; i < runs && exitCode == 0; ++i) {
    {
      DeliveryStore store;
      TKKTXMLRead reader(store);
      auto a = Clock::now();
      for (const std::string& f : d.Manage) reader.ReadFile(f);
      readOnly.push_back(Seconds(Clock::now() - a));
    }
    DeliveryStore store;
    TViewerModel model(store);
    auto fillTables = model.View.Services.FillFieldTables;
    model.View.Services.FillFieldTables = nullptr;
    TMdlTreeView& v = model.View;
    v.SetMediaFolder(d.Folder);
    v.MakeWorkFolders();
    v.ClearTree();
    auto a = Clock::now();
    v.BuildTree(d.Folder, true);
    auto b = Clock::now();
    fillTables(store);
    auto c = Clock::now();
    v.PrepareWorkCopies();
    auto e = Clock::now();
    build.push_back(Seconds(b - a));
    fill.push_back(Seconds(c - b));
    copies.push_back(Seconds(e - c));
  }

  SetPromptService(nullptr);
  SetDriveTypeOverride(nullptr);
  SetMediaReadyOverride(nullptr);

  if (exitCode == 0) {
    Stats l = Summarise(loads), f = Summarise(floors);
    std::printf("\n%d timed runs each (after one warm-up run), load and floor alternately\n\n", runs);
    std::printf("%-34s %11s %11s\n", "", "best", "median");
    PrintRow("load (View.Load, fixed disk)", l);
    PrintRow("floor (read + stat every file)", f);
    PrintRow("teardown (model, work folders)", Summarise(teardowns));
    std::printf("\nratio load/floor: best %.2f, median %.2f\n", l.best / f.best, l.median / f.median);
    std::printf("\nphases of a load:\n");
    PrintRow("  management files read alone", Summarise(readOnly));
    PrintRow("  BuildTree (without tables)", Summarise(build));
    PrintRow("  field tables Fill", Summarise(fill));
    PrintRow("  PrepareWorkCopies", Summarise(copies));
    Stats dc = Summarise(checks);
    std::printf("\ndata check of the loaded delivery (%zu errors):\n", checkErrors);
    PrintRow("  RunDataCheck", dc);
    std::printf("target (data check median under 0.1 s): %s\n", dc.median < 0.1 ? "met" : "NOT met");
    bool fast = l.median < kTargetSeconds;
    bool close = l.median <= kTargetRatio * f.median;
    std::printf("\ntarget (load median under %.1f s): %s\n", kTargetSeconds, fast ? "met" : "NOT met");
    std::printf("target (load median within %.0fx of the floor): %s\n", kTargetRatio, close ? "met" : "NOT met");
    if (!fast || !close) exitCode = 3;
  }

  if (keep)
    std::printf("kept %s\n", d.Folder.c_str());
  else
    RemoveTree(d.Folder);
  return exitCode;
}
