// Comparing a large delivery with a corrected copy of it, against hashing
// both trees with sha256sum in the same run.
//
//   diff_bench [--runs N] [--file-kb K] [--keep]
//
// OLD is written into a temporary folder as tree_load_bench writes its
// delivery (about 34,500 files: 10,000 meetings of 3 original files each,
// 2,000 + 2,000 drawings, 500 attachments), every file but the management
// files holding pseudo-random bytes, 1 to 2K KB (K = 16 by default: about
// 0.55 GB a tree). NEW is the same delivery with 10 meetings inserted (their
// 30 original files added, the later meetings renumbered), 100 fields
// changed (請負者説明文 of 100 meetings) and 50 original files changed in
// one byte. Removed at the end unless --keep is given.
//
// Timed, alternately in the same run (one untimed run of each first), each
// as a process of its own:
//   compare  this program with --compare OLD NEW: both deliveries read as
//            dlvr diff reads them and compared (2 hashing threads); the
//            changes found must be exactly those planted
//   anchor   find OLD NEW -type f | xargs sha256sum
// Peak memory: the largest resident size of the compare processes.
//
// Targets: compare median at most 2 times the anchor's median; peak memory
// at most 300 MB. Exit status 0 when both are met, 3 when not, 1 on errors.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "bench_data.h"
#include "compare/delivery_diff.h"
#include "platform/drive.h"
#include "platform/tempfs.h"

extern char** environ;

namespace {

using namespace dlvr;
using namespace dlvr::bench;

constexpr double kTargetRatio = 2.0;
constexpr double kTargetMegabytes = 300.0;
constexpr int kMeetings = 10000, kOrgs = 3, kDrawings = 2000, kSpec = 500;
constexpr int kInserted = 10, kChangedFields = 100, kChangedFiles = 50;

// A file of pseudo-random bytes, the same for the same name on every run.
bool WriteContentFile(const std::string& folder, const std::string& rel, std::size_t maxBytes) {
  std::uint64_t seed = 1469598103934665603ULL;
  for (unsigned char c : rel) seed = (seed ^ c) * 1099511628211ULL;
  Rng rng(seed);
  std::string bytes(1 + rng.Below(maxBytes), '\0');
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    const std::uint32_t v = rng.Next();
    for (std::size_t k = 0; k < 4 && i + k < bytes.size(); ++k) bytes[i + k] = static_cast<char>(v >> (8 * k));
  }
  std::ofstream out(folder + rel, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteBenchDelivery(const std::string& folder, const std::vector<TMdlTreeNodeMeet>& meetings, std::size_t maxBytes) {
  for (const char* sub : {"MEET", "MEET/ORG", "DRAWINGS", "DRAWINGS/SPEC", "DRAWINGF"})
    if (::mkdir((folder + sub).c_str(), 0755) != 0) return false;
  if (!WriteDeliveryFile(folder + "INDEX_C.XML", IndexXml(MakeIndexRecord())) ||
      !WriteDeliveryFile(folder + "INDE_C02.DTD", IndexDtd()) ||
      !WriteDeliveryFile(folder + "MEET/MEET.XML", MeetXml(meetings)) ||
      !WriteDeliveryFile(folder + "MEET/MEET02.DTD", MeetDtd()))
    return false;
  for (const TMdlTreeNodeMeet& m : meetings)
    for (const TMdlTreeNodeOrg& org : m.Orgs)
      if (!WriteContentFile(folder, "MEET/ORG/" + org.OrgFile, maxBytes)) return false;
  Rng rng(20240402);
  for (auto [sub, xml, lead] : {std::tuple{"DRAWINGS/", "DRAWINGS.XML", 'D'}, std::tuple{"DRAWINGF/", "DRAWINGF.XML", 'C'}}) {
    std::vector<TMdlTreeNodeDraw> drawings;
    for (int n = 1; n <= kDrawings; ++n) drawings.push_back(MakeDrawing(rng, lead, n));
    if (!WriteDeliveryFile(folder + sub + xml, DrawXml(drawings)) ||
        !WriteDeliveryFile(folder + sub + "DRAW02.DTD", DrawDtd()))
      return false;
    for (const TMdlTreeNodeDraw& d : drawings)
      if (!WriteContentFile(folder, sub + d.DrawFile, maxBytes)) return false;
  }
  for (int n = 1; n <= kSpec; ++n)
    if (!WriteContentFile(folder, "DRAWINGS/SPEC/TOKKI" + std::to_string(n) + ".PDF", maxBytes)) return false;
  return true;
}

// The planted changes: what NEW's meetings differ in, and the files whose
// one byte is flipped afterwards.
std::vector<TMdlTreeNodeMeet> CorrectedMeetings(std::vector<TMdlTreeNodeMeet> meetings, std::vector<std::string>& flip) {
  for (int k = 0; k < kChangedFields; ++k)
    meetings[static_cast<std::size_t>(k * (kMeetings / kChangedFields) + 7)].ContractorNote += "（訂正）";
  for (int k = 0; k < kChangedFiles; ++k)
    flip.push_back("MEET/ORG/" + meetings[static_cast<std::size_t>(k * (kMeetings / kChangedFiles) + 3)].Orgs[1].OrgFile);
  Rng rng(777);
  for (int k = kInserted - 1; k >= 0; --k)
    meetings.insert(meetings.begin() + k * (kMeetings / kInserted) + 500,
                    MakeMeeting(rng, kMeetings + 100 + k, kOrgs, 1, 60));
  for (std::size_t j = 0; j < meetings.size(); ++j) meetings[j].SerialNo = std::to_string(j + 1);
  return meetings;
}

// The compare as the child process runs it: the count of each kind of
// change, "changed field 100" a line.
int RunCompare(const std::string& older, const std::string& newer) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  const std::vector<TChange> changes =
      CompareDeliveries(ReadComparedDelivery({older}), ReadComparedDelivery({newer}));
  std::map<std::string, int> counts;
  for (const TChange& c : changes) ++counts[std::string(TChange::KindName(c.Kind)) + " " + TChange::WhatName(c.What)];
  for (const auto& [what, n] : counts) std::printf("%s %d\n", what.c_str(), n);
  return 0;
}

struct ChildRun {
  double Seconds = 0;
  double Megabytes = 0;
  bool Ok = false;
};

// Runs argv as a process, its output to `outPath` (or discarded).
ChildRun Spawn(const std::vector<std::string>& args, const std::string& outPath) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.empty() ? "/dev/null" : outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ChildRun run;
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) == pid) {
      run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      run.Megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
  }
  run.Seconds = Seconds(Clock::now() - start);
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

int Usage() {
  std::fprintf(stderr, "usage: diff_bench [--runs N] [--file-kb K] [--keep]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--compare") return RunCompare(argv[2], argv[3]);
  int runs = 3, fileKb = 16;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--keep") {
      keep = true;
    } else if ((a == "--runs" || a == "--file-kb") && i + 1 < argc) {
      (a == "--runs" ? runs : fileKb) = std::atoi(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (runs < 1 || fileKb < 1) return Usage();

  const std::string root = MakeTempDir("dlvr-bench-diff-");
  if (root.empty()) {
    std::fprintf(stderr, "cannot create a temporary folder\n");
    return 1;
  }
  const std::string older = root + "OLD/", newer = root + "NEW/";
  std::printf("writing two deliveries to %s ...\n", root.c_str());
  std::fflush(stdout);
  const auto w0 = Clock::now();
  Rng rng(20240401);
  std::vector<TMdlTreeNodeMeet> meetings;
  for (int i = 1; i <= kMeetings; ++i) meetings.push_back(MakeMeeting(rng, i, kOrgs, 1, 60));
  std::vector<std::string> flip;
  const std::size_t maxBytes = static_cast<std::size_t>(fileKb) * 2048;
  bool written = ::mkdir(older.c_str(), 0755) == 0 && ::mkdir(newer.c_str(), 0755) == 0 &&
                 WriteBenchDelivery(older, meetings, maxBytes) &&
                 WriteBenchDelivery(newer, CorrectedMeetings(meetings, flip), maxBytes);
  for (const std::string& rel : flip) {
    std::fstream f(newer + rel, std::ios::in | std::ios::out | std::ios::binary);
    char c = 0;
    written = written && f.get(c) && f.seekp(0) && f.put(static_cast<char>(c ^ 1));
  }
  if (!written) {
    std::fprintf(stderr, "cannot write the deliveries\n");
    if (!keep) RemoveTree(root);
    return 1;
  }
  std::printf("written in %.1f s\n", Seconds(Clock::now() - w0));

  const std::string self = "/proc/self/exe";
  char exe[4096];
  const ssize_t n = ::readlink(self.c_str(), exe, sizeof exe - 1);
  const std::string program = n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string(argv[0]);
  const std::vector<std::string> compare = {program, "--compare", older, newer};
  const std::vector<std::string> anchor = {"/bin/sh", "-c",
                                           "find '" + older + "' '" + newer + "' -type f -print0 | xargs -0 sha256sum"};
  const std::string found = root + "found.txt";
  const std::string expected = "added file " + std::to_string(kInserted * kOrgs) + "\nadded record " +
                               std::to_string(kInserted) + "\nchanged field " + std::to_string(kChangedFields) +
                               "\nchanged file " + std::to_string(kChangedFiles) + "\n";

  std::vector<double> compareTimes, anchorTimes;
  double peak = 0;
  bool ok = true;
  for (int r = 0; r <= runs && ok; ++r) {
    const ChildRun c = Spawn(compare, found);
    const ChildRun a = Spawn(anchor, std::string());
    std::ifstream in(found);
    const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!c.Ok || !a.Ok || got != expected) {
      std::fprintf(stderr, "compare %s, anchor %s; changes found:\n%s", c.Ok ? "ran" : "failed",
                   a.Ok ? "ran" : "failed", got.c_str());
      ok = false;
    }
    peak = std::max(peak, c.Megabytes);
    if (r == 0) continue;  // the warm-up
    compareTimes.push_back(c.Seconds);
    anchorTimes.push_back(a.Seconds);
  }
  if (!keep) RemoveTree(root);
  if (!ok) return 1;

  const Stats cs = Summarise(compareTimes), as = Summarise(anchorTimes);
  const double ratio = cs.median / as.median;
  std::printf("%-28s %9s %9s\n", "", "best", "median");
  std::printf("%-28s %7.3f s %7.3f s\n", "compare (dlvr diff's core)", cs.best, cs.median);
  std::printf("%-28s %7.3f s %7.3f s\n", "anchor (sha256sum of both)", as.best, as.median);
  std::printf("ratio %.2f (target <= %.1f), peak memory %.0f MB (target <= %.0f MB)\n", ratio, kTargetRatio, peak,
              kTargetMegabytes);
  return ratio <= kTargetRatio && peak <= kTargetMegabytes ? 0 : 3;
}
