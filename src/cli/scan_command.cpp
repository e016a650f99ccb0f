// dlvr scan: every delivery under a folder found and checked in processes
// apart from the scanner, so that a reader that crashes or never ends costs
// one row of the summary and not the scan.
//
// The checks run in workers: forks of the scanner (no new start of the
// program: its libraries are loaded already), --jobs of them, each checking
// one delivery at a time as `dlvr check MEDIUM... [--extended] --format
// csv|json` would and sending back the counts of its findings (and what it
// prints, when --out wants it), and replaced by a fresh one after 256
// deliveries. A worker leads a process group of its own and is
// killed when the scanner ends. A check past --timeout is ended by killing
// its worker's group (SIGKILL); a worker that ends on a signal in the middle
// of a check has that delivery reported as crashed, one that exits as
// failed; either way a fresh worker takes the next delivery. The workers keep
// the scanner's environment (the check of documents sets
// QT_QPA_PLATFORM=offscreen itself when it is unset).
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "check/extended_check.h"
#include "cli/arguments.h"
#include "cli/scan_media.h"
#include "cli/scan_worker.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "delivery/kkt_xml_read.h"
#include "delivery/sibling_media.h"
#include "delivery/store.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"
#include "platform/translate.h"

extern char** environ;

namespace dlvr {
namespace {

using namespace scan;

const char* const kScanUsage =
    "usage: dlvr scan ROOT [--jobs N] [--extended] [--format csv|json]\n"
    "                      [--out DIR] [--timeout S]\n"
    "\n"
    "Finds every delivery under ROOT (a folder holding INDEX_C.XML is a medium\n"
    "and is not searched further; media beside one another with the same\n"
    "management record but the medium number are one delivery; symbolic links\n"
    "are not followed; at most 32 folders deep) and checks each as\n"
    "`dlvr check MEDIUM... [--extended]` does, N deliveries at a time (default:\n"
    "the number of processors), in worker processes: a check that crashes or\n"
    "times out ends its worker, a fresh one goes on. Prints one row a\n"
    "delivery, sorted by folder:\n"
    "  folder, 工事番号, 工事名称, media, errors, warnings, seconds, result, detail\n"
    "  csv   RFC 4180 with a header row and CRLF line ends (the default)\n"
    "  json  an array of objects with those keys\n"
    "folder is the first medium's folder relative to ROOT; errors counts every\n"
    "finding of the data check, or with --extended the エラー findings, and\n"
    "warnings the 警告 findings (情報 is no problem); result is checked, failed\n"
    "(the check could not run, detail says why), crashed (ended by a signal)\n"
    "or timeout (killed after S seconds; default: 600, 0 for no limit).\n"
    "--out DIR also writes into DIR, which must lie outside ROOT, each\n"
    "delivery's findings as `dlvr check --format csv|json` prints them, in a\n"
    "file named after its folder (\"/\" as \"_\", other signs as %XX; ROOT\n"
    "itself after its own name), and\n"
    "the summary as _summary.csv or _summary.json.\n"
    "A progress count is shown on stderr when it is a terminal.\n"
    "Exit 0 when every delivery was checked and has no error, 1 otherwise, 2 on\n"
    "wrong arguments or when a file in DIR could not be written.\n";

// More output than any check prints; a child beyond it is stopped.
constexpr std::size_t kMaxChildOutput = std::size_t{512} << 20;

// A file name for a delivery's findings, one to one with its folder: letters,
// digits, '.', '-' and characters beyond ASCII kept, '/' written as '_',
// every other byte (a leading '.' too) as %XX. A name too long for the file
// system is cut and ends in a hash of the whole folder.
std::string FindingsName(const std::string& rel) {
  std::string name;
  const std::string valid = ValidUtf8(rel);
  for (std::size_t i = 0; i < rel.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rel[i]);
    if (c == '/') {
      name += '_';
    } else if ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '-' || (c == '.' && i > 0) ||
               (c >= 0x80 && valid == rel)) {
      name += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      name += hex;
    }
  }
  if (name.size() > 200) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : rel) h = (h ^ c) * 1099511628211ull;
    std::size_t cut = 180;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    char tail[24];
    std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(h));
    name = name.substr(0, cut) + tail;
  }
  return name;
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.rfind("dlvr: ", 0) == 0) line.erase(0, 6);
  return ValidUtf8(line);
}

struct TScanOptions {
  std::string Root;
  int Jobs = 1;
  bool Extended = false, Json = false;
  long Timeout = 600;  // seconds a delivery; 0 for none
  std::string OutDir;
};

std::string SecondsText(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", s);
  return buf;
}

const char* OutcomeName(TOutcome o) {
  switch (o) {
    case TOutcome::Checked: return "checked";
    case TOutcome::Failed: return "failed";
    case TOutcome::Crashed: return "crashed";
    case TOutcome::TimedOut: return "timeout";
  }
  return "";
}

std::string CsvCell(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char ch : s) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return out + "\"";
}

std::string Summary(const std::vector<TDelivery>& deliveries, const std::vector<TResult>& results, bool json) {
  Json rows = Json::array();
  std::string text = Tr("CliScan", "folder,工事番号,工事名称,media,errors,warnings,seconds,result,detail") + "\r\n";
  for (std::size_t i = 0; i < deliveries.size(); ++i) {
    const TDelivery& d = deliveries[i];
    const TResult& r = results[i];
    const std::string folder = ValidUtf8(d.Rel);
    if (json) {
      rows.push_back(Json{{"folder", JsonString(folder)},
                          {"工事番号", JsonString(d.KojiNo)},
                          {"工事名称", JsonString(d.KojiName)},
                          {"media", d.Folders.size()},
                          {"errors", r.Errors},
                          {"warnings", r.Warnings},
                          {"seconds", JsonNumberText(SecondsText(r.Seconds))},
                          {"result", OutcomeName(r.Outcome)},
                          {"detail", JsonString(r.Detail)}});
    } else {
      text += CsvCell(folder) + "," + CsvCell(d.KojiNo) + "," + CsvCell(d.KojiName) + "," +
              std::to_string(d.Folders.size()) + "," + std::to_string(r.Errors) + "," + std::to_string(r.Warnings) +
              "," + SecondsText(r.Seconds) + "," + OutcomeName(r.Outcome) + "," + CsvCell(r.Detail) + "\r\n";
    }
  }
  return json ? JsonText(rows, 1) : text;
}

bool WriteFile(const std::string& path, std::string_view text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
  f.close();
  return static_cast<bool>(f);
}

// Runs the checks, o.Jobs workers at a time; a delivery's findings go to
// o.OutDir as its check ends. False when a findings file could not be
// written.
bool RunChecks(const TScanOptions& o, const std::vector<TDelivery>& deliveries, std::vector<TResult>& results,
               std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  const bool progress = ::isatty(STDERR_FILENO) == 1;
  const std::string ext = o.Json ? ".json" : ".csv";
  const std::string format = o.Json ? "json" : "csv";
  bool written = true;
  std::size_t next = 0, done = 0;
  // The largest deliveries first, so that no large one is left to run alone
  // at the end.
  std::vector<std::size_t> order(deliveries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return deliveries[a].Weight > deliveries[b].Weight; });
  std::vector<TWorker> workers;

  auto report = [&] {
    ++done;
    if (progress)
      err << "\r" << Arg(Tr("CliScan", "%1 / %2 件"), {std::to_string(done), std::to_string(deliveries.size())})
          << std::flush;
  };
  // A check that ran to its end with exit code `code`.
  auto finished = [&](TWorker& w, int code, long errors, long warnings, std::string_view out,
                      std::string_view errText) {
    TResult& r = results[static_cast<std::size_t>(w.Job)];
    r.Seconds = std::chrono::duration<double>(Clock::now() - w.Start).count();
    if (code == 0 || code == 1) {
      r.Outcome = TOutcome::Checked;
      r.Errors = errors;
      r.Warnings = warnings;
      if (!o.OutDir.empty()) {
        // ROOT itself as the delivery: named after its own folder, not "."
        // (a hidden file).
        const std::string& rel = deliveries[static_cast<std::size_t>(w.Job)].Rel;
        const std::string own = rel == "." ? ExtractFileName(o.Root) : rel;
        const std::string file = JoinPath(o.OutDir, FindingsName(own.empty() ? rel : own) + ext);
        if (!WriteFile(file, out)) {
          err << "dlvr: scan: cannot write " << file << "\n";
          written = false;
        }
      }
    } else {
      r.Outcome = TOutcome::Failed;
      r.Detail = FirstLine(std::string(errText));
      if (r.Detail.empty()) r.Detail = Arg(Tr("CliScan", "終了コード %1"), {std::to_string(code)});
    }
    report();
    w.Job = -1;
    ++w.Checked;
  };
  // The worker ended, or was ended, in the middle of a check.
  auto broken = [&](TWorker& w, TOutcome outcome, const std::string& detail) {
    TResult& r = results[static_cast<std::size_t>(w.Job)];
    r.Seconds = std::chrono::duration<double>(Clock::now() - w.Start).count();
    r.Outcome = outcome;
    r.Detail = detail;
    report();
    w.Job = -1;
  };
  // The answers complete in what a worker wrote.
  auto takeAnswers = [&](TWorker& w) {
    while (w.Job >= 0) {
      const std::size_t nl = w.OutText.find('\n');
      if (nl == std::string::npos) return;
      int code = 0;
      long errors = 0, warnings = 0;
      unsigned long long outBytes = 0, errBytes = 0;
      if (std::sscanf(w.OutText.substr(0, nl).c_str(), "%d %ld %ld %llu %llu", &code, &errors, &warnings, &outBytes,
                      &errBytes) != 5)
        return;
      if (w.OutText.size() < nl + 1 + outBytes + errBytes) return;
      const std::string_view answer(w.OutText);
      finished(w, code, errors, warnings, answer.substr(nl + 1, outBytes), answer.substr(nl + 1 + outBytes, errBytes));
      w.OutText.erase(0, nl + 1 + outBytes + errBytes);
    }
  };

  while (done < deliveries.size()) {
    // Workers for the jobs not yet given out, each given one when idle; an
    // idle worker with nothing more to do, or with its share done, is told
    // to end by the end of its input.
    std::size_t busy = 0;
    for (const TWorker& w : workers) busy += w.Job >= 0;
    while (workers.size() < static_cast<std::size_t>(o.Jobs) && workers.size() - busy < deliveries.size() - next) {
      TWorker w;
      std::string why;
      if (!SpawnWorker({o.Extended, o.Json, !o.OutDir.empty()}, w, why)) {
        if (!workers.empty()) break;  // the ones there go on
        err << "dlvr: scan: " << Arg(Tr("CliScan", "チェックのプロセスを起動できません: %1"), {why}) << "\n";
        return false;
      }
      workers.push_back(std::move(w));
    }
    const Clock::time_point now = Clock::now();
    for (TWorker& w : workers) {
      if (w.Job >= 0 || w.In < 0 || w.Exited) continue;
      if (next == deliveries.size() || w.Checked >= kChecksPerWorker) {
        CloseFd(w.In);
        continue;
      }
      w.Job = static_cast<long>(order[next++]);
      w.Start = now;
      w.ErrText.clear();
      std::string job = "check";
      job += '\0';
      for (const std::string& f : deliveries[static_cast<std::size_t>(w.Job)].Folders) job += f + '\0';
      if (o.Extended) job += std::string("--extended") + '\0';
      job += "--format";
      job += '\0';
      job += format + '\0';
      job += '\0';
      WriteAll(w.In, job);  // a worker that died meanwhile is found below
    }

    // Wait for answers, an end or the nearest deadline.
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, int*>> owners;
    int wait = -1;
    for (std::size_t i = 0; i < workers.size(); ++i) {
      TWorker& w = workers[i];
      for (int* fd : {&w.Out, &w.Err, &w.PidFd})
        if (*fd >= 0) {
          fds.push_back({*fd, POLLIN, 0});
          owners.emplace_back(i, fd);
        }
      if (w.PidFd < 0 && !w.Exited) wait = wait < 0 ? 20 : std::min(wait, 20);
      if (o.Timeout > 0 && w.Job >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              w.Start + std::chrono::seconds(o.Timeout) - now).count() + 1;
        const int ms = static_cast<int>(std::clamp<long long>(left, 0, 1000));
        wait = wait < 0 ? ms : std::min(wait, ms);
      }
    }
    if (::poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) {
      err << "dlvr: scan: poll: " << std::strerror(errno) << "\n";
      for (TWorker& w : workers) KillWorker(w);
      return false;
    }
    for (std::size_t k = 0; k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      TWorker& w = workers[owners[k].first];
      int* fd = owners[k].second;
      if (fd == &w.PidFd) {
        CheckExited(w);
        continue;
      }
      char buf[65536];
      const ssize_t n = ::read(*fd, buf, sizeof buf);
      if (n > 0) {
        (fd == &w.Out ? w.OutText : w.ErrText).append(buf, static_cast<std::size_t>(n));
        if (fd == &w.Out) takeAnswers(w);
      } else if (n == 0 || errno != EINTR) {
        CloseFd(*fd);
      }
    }
    const Clock::time_point after = Clock::now();
    for (std::size_t i = workers.size(); i-- > 0;) {
      TWorker& w = workers[i];
      if (w.PidFd < 0) CheckExited(w);
      if (w.Job >= 0 && w.OutText.size() + w.ErrText.size() > kMaxChildOutput) {
        KillWorker(w);
        broken(w, TOutcome::Failed, Tr("CliScan", "出力が大きすぎます"));
      } else if (w.Job >= 0 && o.Timeout > 0 && after - w.Start >= std::chrono::seconds(o.Timeout)) {
        KillWorker(w);
        broken(w, TOutcome::TimedOut, Arg(Tr("CliScan", "%1 秒で打ち切りました"), {std::to_string(o.Timeout)}));
      } else if (!w.Exited || w.Out >= 0) {
        continue;  // still at work, or its last answer still to be read
      } else if (w.Job >= 0 && WIFSIGNALED(w.Status)) {
        const int sig = WTERMSIG(w.Status);
        const char* name = sigabbrev_np(sig);
        broken(w, TOutcome::Crashed,
               Arg(Tr("CliScan", "シグナル %1 (%2) で終了しました"), {std::to_string(sig), name ? name : "?"}));
      } else if (w.Job >= 0) {
        const std::string first = FirstLine(w.ErrText);
        const std::string code = std::to_string(WIFEXITED(w.Status) ? WEXITSTATUS(w.Status) : -1);
        broken(w, TOutcome::Failed, first.empty() ? Arg(Tr("CliScan", "終了コード %1"), {code}) : first);
      }
      KillWorker(w);
      workers.erase(workers.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  for (TWorker& w : workers) {  // idle ones, told to end
    CloseFd(w.In);
    KillWorker(w);
  }
  if (progress && !deliveries.empty()) err << "\n";
  return written;
}

}  // namespace

int CmdScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("scan", kScanUsage);
  TScanOptions o;
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  o.Jobs = static_cast<int>(std::clamp(cores, 1L, 256L));
  std::vector<std::string> positional;
  std::string format = "csv";
  CLI::App& app = cl.App();
  app.add_option("ROOT", positional);
  app.add_option("--jobs", o.Jobs)->check(WholeNumber(1, 256));
  app.add_option("--timeout", o.Timeout)->check(WholeNumber(0, 604800));
  app.add_option("--format", format)->check(OneOf({"csv", "json"}));
  const CLI::Option* outOption = app.add_option("--out", o.OutDir);
  app.add_flag("--extended", o.Extended);
  if (const auto done = cl.Parse(args, out, err)) return *done;
  o.Json = format == "json";
  if (outOption->count() > 0 && o.OutDir.empty()) return cl.Fail(err, "--out needs a folder");
  if (positional.empty()) return cl.Fail(err, "missing ROOT");
  if (positional.size() > 1) return cl.Fail(err, "one ROOT only, not also " + positional[1]);
  if (!DirExists(positional[0])) return cl.Fail(err, "not a folder: " + positional[0]);
  o.Root = AbsolutePath(positional[0]);
  if (!o.OutDir.empty()) {
    // Nothing is ever written into a delivery: DIR outside ROOT, judged
    // with links and .. resolved.
    if (PathLiesInside(o.OutDir, o.Root)) return cl.Fail(err, o.OutDir + " lies inside " + positional[0]);
    if (!DirExists(o.OutDir) && ::mkdir(o.OutDir.c_str(), 0777) != 0)
      return cl.Fail(err, "cannot create " + o.OutDir + ": " + std::strerror(errno));
  }

  std::vector<TMedium> media;
  FindMedia(o.Root, ".", 0, media, err, o.Jobs);
  ReadMedia(media, o.Jobs);
  const std::vector<TDelivery> deliveries = GroupMedia(media);
  if (deliveries.empty())
    err << "dlvr: scan: "
        << Arg(Tr("CliScan", "納品データ（INDEX_C.XML のあるフォルダ）が見つかりません: %1"), {positional[0]}) << "\n";
  std::vector<TResult> results(deliveries.size());
  // A worker that died leaves a pipe without reader: a failed write, not the
  // end of the scan.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  bool written = RunChecks(o, deliveries, results, err);
  ::sigaction(SIGPIPE, &old, nullptr);

  const std::string summary = Summary(deliveries, results, o.Json);
  out << summary;
  if (!o.OutDir.empty()) {
    const std::string file = JoinPath(o.OutDir, o.Json ? "_summary.json" : "_summary.csv");
    if (!WriteFile(file, summary)) {
      err << "dlvr: scan: cannot write " << file << "\n";
      written = false;
    }
  }
  if (!written) return 2;
  const bool clean = std::all_of(results.begin(), results.end(),
                                 [](const TResult& r) { return r.Outcome == TOutcome::Checked && r.Errors == 0; });
  return clean ? 0 : 1;
}

}  // namespace dlvr
