// Peak resident memory of the headless tool on a delivery with one very
// large management file, against 2 × that file + 150 MB.
//
//   memory_bench [--mb N] [--meet FILE] [--folder DIR] [--dlvr PATH] [--keep] [--write-only]
//   memory_bench --viewer-load DIR
//
// Writes a delivery into a temporary folder: INDEX_C.XML and its DTD, and
// MEET/MEET.XML of about N MB (default 50; 350 gives some 10^6 records)
// with MEET02.DTD beside it. The meeting records are small (no original
// file, no descriptions: some 430 bytes each) and their 提出先 names a person, so every
// record also earns a finding. The file is written a thousand records at a
// time (Shift-JIS, CR LF) and is the same on every run. With --meet FILE
// that file is copied in as MEET/MEET.XML instead (the file meet_read_bench
// writes, for example); with --folder DIR the delivery a run with
// --write-only wrote is used as it is.
//
// Then `dlvr check`, `dlvr check --extended` and `dlvr dump` each run as a
// child process, their output thrown away, and the peak resident size of
// each (wait4) is printed against the target. So does the viewer's load
// when the bench is built with the viewer's window: this program started
// again with --viewer-load DIR opens the real main window on DIR offscreen
// (settings in a scratch folder), as dlvrview opens a folder given to it,
// lets it settle and quits. Exit status 0 when every run stays within the
// target, 3 when one does not, 1 on errors.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#ifdef DLVR_BENCH_VIEWER
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "components/drawing_canvas.h"
#include "components/message_service.h"
#include "components/pdf_facts.h"
#endif

#include "bench_data.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"

extern char** environ;

namespace {

using namespace dlvr;
using namespace dlvr::bench;
namespace fs = std::filesystem;

// UTF-8 text with LF as delivery bytes: CP932 with CR LF.
std::string DeliveryBytes(std::string_view utf8) {
  std::string crlf;
  crlf.reserve(utf8.size() + utf8.size() / 16);
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return Utf8ToCp932(crlf);
}

// Writes MEET.XML of at least `bytes` bytes; false on a write error.
bool WriteMeetFile(const std::string& path, std::uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  // The records go where MeetXml puts them: where the text of no records
  // and that of one record part.
  Rng rng(20260101);
  const std::string none = MeetXml({});
  const std::string one = MeetXml({MakeMeeting(rng, 1, 0, 0, 0)});
  std::size_t at = 0;
  while (at < none.size() && none[at] == one[at]) ++at;
  while (at > 0 && none[at - 1] != '\n') --at;
  const std::size_t tail = none.size() - at;
  bool ok = true;
  auto put = [&](std::string_view utf8) {
    const std::string b = DeliveryBytes(utf8);
    ok = ok && std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return b.size();
  };
  std::uint64_t written = put(std::string_view(none).substr(0, at));
  int serial = 0;
  while (ok && written < bytes) {
    std::vector<TMdlTreeNodeMeet> chunk;
    for (int i = 0; i < 1000; ++i) chunk.push_back(MakeMeeting(rng, ++serial, 0, 0, 0));
    const std::string text = MeetXml(chunk);
    written += put(std::string_view(text).substr(at, text.size() - none.size()));
  }
  put(std::string_view(none).substr(none.size() - tail));
  ok = std::fclose(f) == 0 && ok;
  std::printf("MEET.XML: %d records, %.1f MB\n", serial, static_cast<double>(written) / 1e6);
  return ok;
}

struct TRun {
  int Status = -1;
  double Seconds = 0;
  long PeakKb = 0;
};

// Runs `args` with its output to /dev/null; its peak resident size.
TRun RunChild(const std::vector<std::string>& args) {
  TRun r;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int e = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (e != 0) return r;
  int status = 0;
  rusage use{};
  if (::wait4(pid, &status, 0, &use) != pid) return r;
  r.Seconds = Seconds(Clock::now() - start);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.PeakKb = use.ru_maxrss;
  return r;
}

#ifdef DLVR_BENCH_VIEWER
// The viewer opening `folder`: its main window, offscreen, loads it the way
// dlvrview loads a folder given to it, then settles for a second.
int ViewerLoad(int argc, char** argv, const QString& folder) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settings, data;
  qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  TMessageBoxScope messages;
  {
    TfrmMain window(folder);
    window.resize(1024, 700);
    window.show();
    window.FirstLoad();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef DLVR_BENCH_VIEWER
  // The PDF-facts worker and the viewer's load are this program started again.
  if (const int worker = RunPdfFactsWorkerIfAsked(argc, argv); worker >= 0) return worker;
  if (argc == 3 && std::string(argv[1]) == "--viewer-load")
    return ViewerLoad(argc, argv, QString::fromLocal8Bit(argv[2]));
#endif
  double mb = 50;
  std::string meet, given, dlvrPath = ProgramDir() + "../src/cli/dlvr";
  bool keep = false, writeOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--mb" && more)
      mb = std::atof(argv[++i]);
    else if (a == "--meet" && more)
      meet = argv[++i];
    else if (a == "--folder" && more)
      given = argv[++i];
    else if (a == "--dlvr" && more)
      dlvrPath = argv[++i];
    else if (a == "--keep")
      keep = true;
    else if (a == "--write-only")
      writeOnly = keep = true;
    else {
      std::fprintf(stderr, "usage: memory_bench [--mb N] [--meet FILE] [--folder DIR] [--dlvr PATH] [--keep]\n"
                   "                    [--write-only]\n");
      return 1;
    }
  }
  if (!writeOnly && ::access(dlvrPath.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "memory_bench: no dlvr at %s (--dlvr PATH)\n", dlvrPath.c_str());
    return 1;
  }

  const std::string folder = given.empty() ? MakeTempDir("dlvr-memory-bench-") : given;
  if (folder.empty()) return 1;
  const std::string meetPath = folder + "/MEET/MEET.XML";
  std::error_code ec;
  if (!given.empty()) keep = true;
  fs::create_directories(folder + "/MEET", ec);
  bool ok = !given.empty() || (!ec && WriteDeliveryFile(folder + "/INDEX_C.XML", IndexXml(MakeIndexRecord())) &&
            WriteDeliveryFile(folder + "/INDE_C02.DTD", IndexDtd()) &&
            WriteDeliveryFile(folder + "/MEET/MEET02.DTD", MeetDtd()));
  if (!given.empty())
    ;
  else if (ok && !meet.empty())
    ok = fs::copy_file(meet, meetPath, ec) && !ec;
  else if (ok)
    ok = WriteMeetFile(meetPath, static_cast<std::uint64_t>(mb * 1e6));
  if (!ok) {
    std::fprintf(stderr, "memory_bench: could not write the delivery in %s\n", folder.c_str());
    return 1;
  }
  if (writeOnly) {
    std::printf("%s\n", folder.c_str());
    return 0;
  }

  const double fileMb = static_cast<double>(fs::file_size(meetPath, ec)) / (1024.0 * 1024.0);
  const double target = 2 * fileMb + 150;
  std::printf("largest management file %.1f MiB: target peak <= %.0f MiB\n", fileMb, target);
  // Each run: its name and the command.
  std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
      {"check", {dlvrPath, "check", folder}},
      {"check --extended", {dlvrPath, "check", folder, "--extended"}},
      {"dump", {dlvrPath, "dump", folder}}};
#ifdef DLVR_BENCH_VIEWER
  runs.push_back({"viewer load", {ProgramDir() + "memory_bench", "--viewer-load", folder}});
#endif
  int result = 0;
  for (const auto& [name, args] : runs) {
    const TRun r = RunChild(args);
    const double peak = static_cast<double>(r.PeakKb) / 1024.0;
    if (r.Status < 0 || r.Status > 1) {
      std::printf("%-24s failed (exit status %d)\n", name.c_str(), r.Status);
      result = 1;
      continue;
    }
    const bool met = peak <= target;
    std::printf("%-24s %7.2f s   peak %7.1f MiB   %5.2f x file   %s\n", name.c_str(), r.Seconds, peak,
                peak / fileMb, met ? "ok" : "OVER TARGET");
    if (!met && result == 0) result = 3;
  }
  if (!keep) fs::remove_all(folder, ec);
  return result;
}
