// The full delivery check on the large benchmark delivery (about 34,500
// files): the check's time, DTD validation included, against the floor of
// reading every management file's bytes and one stat() of every file.
//
//   extended_check_bench [FOLDER] [--runs N]
//
// Without FOLDER the delivery is written first by tree_load_bench (built
// beside this program) into a temporary folder, removed afterwards. The
// delivery is loaded once as the viewer loads it (a fixed disk, no prompts);
// each run then builds the check's input and runs the check.
//
// Targets: the check within 3 s and within 2.5 times the floor (medians).
// Exit 0 when both are met, 3 when not, 1 on errors.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "check/extended_check.h"
#include "check/viewer_model.h"
#include "platform/drive.h"
#include "platform/fileio.h"

namespace dlvr::bench {
namespace {

constexpr double kTargetSeconds = 3.0, kTargetFactor = 2.5;

// Every file's stat(), and the bytes of every management file and DTD.
double FloorOnce(const std::string& folder, std::size_t* files) {
  const auto t0 = Clock::now();
  std::size_t n = 0;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat st {};
    ::lstat(it->path().c_str(), &st);
    ++n;
    const std::string ext = it->path().extension().string();
    if (ext == ".XML" || ext == ".DTD") {
      std::string bytes;
      ReadWholeFile(it->path().string(), bytes);
    }
  }
  if (files) *files = n;
  return Seconds(Clock::now() - t0);
}

}  // namespace
}  // namespace dlvr::bench

int main(int argc, char** argv) {
  using namespace dlvr;
  using namespace dlvr::bench;
  std::string folder;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (!a.empty() && a[0] != '-' && folder.empty()) {
      folder = a;
    } else {
      std::fprintf(stderr, "usage: extended_check_bench [FOLDER] [--runs N]\n");
      return 1;
    }
  }
  bool written = false;
  if (folder.empty()) {
    // tree_load_bench writes the benchmark delivery and prints its folder last.
    const std::string self = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    const std::string command = self + "/tree_load_bench --write-only";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return 1;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get())) folder = line;
    while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
    if (folder.empty() || !std::filesystem::is_directory(folder)) {
      std::fprintf(stderr, "tree_load_bench did not write a delivery\n");
      return 1;
    }
    written = true;
  }
  if (folder.back() != '/') folder += '/';

  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  DeliveryStore store;
  TViewerModel model(store);
  model.View.Load(folder);

  std::size_t files = 0, findings = 0, errors = 0;
  FloorOnce(folder, &files);  // warm the cache
  RunExtendedCheck(ExtendedInputFor(model.View));
  std::vector<double> checks, floors;
  for (int r = 0; r < runs; ++r) {
    floors.push_back(FloorOnce(folder, nullptr));
    const auto t0 = Clock::now();
    const std::vector<TFinding> found = RunExtendedCheck(ExtendedInputFor(model.View));
    checks.push_back(Seconds(Clock::now() - t0));
    findings = found.size();
    errors = 0;
    for (const TFinding& f : found) errors += f.Severity == TSeverity::Error;
  }
  const Stats c = Summarise(checks), f = Summarise(floors);
  std::printf("%zu files; %zu findings (%zu errors)\n", files, findings, errors);
  std::printf("  check  best %.3f s  median %.3f s\n", c.best, c.median);
  std::printf("  floor  best %.3f s  median %.3f s  (every management file read, every file stat'ed)\n", f.best,
              f.median);
  std::printf("  ratio  %.1f x the floor\n", c.median / std::max(f.median, 1e-6));
  const bool met = c.median <= kTargetSeconds && c.median <= kTargetFactor * f.median;
  std::printf("  targets  check <= %.0f s and <= %.1f x the floor: %s\n", kTargetSeconds, kTargetFactor,
              met ? "met" : "MISSED");
  if (written) std::filesystem::remove_all(folder);
  return met ? 0 : 3;
}
