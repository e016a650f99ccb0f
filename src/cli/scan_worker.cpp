#include "cli/scan_worker.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>
#include <vector>

#include "check/extended_check.h"
#include "cli/check_command.h"
#include "cli/gui_app.h"
#include "cli/json.h"
#include "platform/tempfs.h"
#include "platform/translate.h"

namespace dlvr::scan {
namespace {

// Occurrences of `needle` in `text`.
long Count(const std::string& text, const std::string& needle) {
  long n = 0;
  for (std::size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + needle.size())) ++n;
  return n;
}

// The first field of every record of an RFC 4180 text after its header.
std::vector<std::string> CsvFirstFields(const std::string& text) {
  std::vector<std::string> firsts;
  std::string field;
  bool quoted = false, first = true, header = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        if (first) field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else if (first) {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      if (first && !header) firsts.push_back(field);
      first = false;
    } else if (c == '\n') {
      if (first && !header) firsts.push_back(field);
      field.clear();
      first = true;
      header = false;
    } else if (c != '\r' && first) {
      field += c;
    }
  }
  return firsts;
}

}  // namespace

// Errors and warnings in what `dlvr check --format csv|json` printed; the
// severities as the check names them, in the language it printed in.
void CountFindings(const std::string& text, bool json, bool extended, TResult& r) {
  const std::string error = SeverityName(TSeverity::Error), warning = SeverityName(TSeverity::Warning);
  if (json) {
    // Keys and values are quoted, and a quote inside a value is escaped,
    // so a key with its value is found only where it is one.
    auto severity = [](const std::string& name) { return "\"重要度\": " + JsonText(JsonString(name), -1); };
    r.Errors = extended ? Count(text, severity(error)) : Count(text, "\"管理項目名\": ");
    r.Warnings = extended ? Count(text, severity(warning)) : 0;
    return;
  }
  const std::vector<std::string> firsts = CsvFirstFields(text);
  if (!extended) {
    r.Errors = static_cast<long>(firsts.size());
    return;
  }
  r.Errors = std::count(firsts.begin(), firsts.end(), error);
  r.Warnings = std::count(firsts.begin(), firsts.end(), warning);
}

void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

namespace {

// Page faults are dear on a virtual machine (10 µs and more each), and a
// large delivery's check touches some 130 MB: 32,000 pages of 4 KB. The
// worker's heap is given a large top at once, untouched, and that is marked
// for the kernel's 2 MB pages (transparent huge pages, which the kernel
// grants to memory so marked unless they are turned off), so that such a
// check takes some 1,300 faults. The memory of one check is kept for the
// next rather than given back and faulted in anew. Where the kernel grants
// no huge pages this is the heap it was.
void PrepareWorkerHeap() {
  constexpr std::size_t kTopPad = std::size_t{256} << 20;
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest: blocks below it from the heap
  ::mallopt(M_TRIM_THRESHOLD, 2 * kTopPad);
  ::mallopt(M_TOP_PAD, kTopPad);
  // A block the heap's top cannot give grows it by the block and the pad;
  // later growth is by the usual pad (a large one could fail where the
  // system allows little memory beyond what is used).
  void* block = std::malloc(std::size_t{16} << 20);
  ::mallopt(M_TOP_PAD, 128 << 10);  // glibc's own
  if (!block) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t from = reinterpret_cast<std::uintptr_t>(block) & ~(page - 1);
  std::free(block);
  const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  // Only the heap (a block from a mapping of its own lies elsewhere).
  if (end != static_cast<std::uintptr_t>(-1) && from < end && end - from <= 4 * kTopPad)
    ::madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
}

// A worker: a fork of the scanner that reads jobs on fd 0, each the
// arguments of `dlvr check` ended by NUL and the job by an empty argument,
// and answers each on fd 1 with "CODE ERRORS WARNINGS OUTBYTES ERRBYTES\n",
// what the check printed on stdout (when the findings are wanted) and on
// stderr. The findings are counted where they are made, so that a large
// delivery's are not copied through the scanner for their counts. Ends at the end of its input. The
// other thread of the scanner (the one that waits for signals) holds no
// lock and the allocator is safe across fork, so the checks run as they
// would in a process started anew, without loading its libraries again.
//
// DLVR_SCAN_TEST_HANG / DLVR_SCAN_TEST_CRASH (for the tests): a job whose
// first folder contains that text never ends / ends on SIGSEGV.
[[noreturn]] void WorkerMain(const TWorkerMode& mode) {
  // One application object for every check of documents.
  const auto app = mode.Extended ? EnsureGuiApplication() : nullptr;
  PrepareWorkerHeap();
  const char* hang = std::getenv("DLVR_SCAN_TEST_HANG");
  const char* crash = std::getenv("DLVR_SCAN_TEST_CRASH");
  std::string input;
  std::vector<std::string> args;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = input.find('\0', pos);
    if (end == std::string::npos) {
      input.erase(0, pos);
      pos = 0;
      char chunk[4096];
      const ssize_t n = ::read(0, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      input.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    std::string arg = input.substr(pos, end - pos);
    pos = end + 1;
    if (!arg.empty()) {
      args.push_back(std::move(arg));
      continue;
    }
    const std::string first = args.size() > 1 ? args[1] : std::string();
    if (hang && *hang && first.find(hang) != std::string::npos)
      while (true) ::pause();
    if (crash && *crash && first.find(crash) != std::string::npos) {
      ::signal(SIGSEGV, SIG_DFL);  // not a sanitizer's handler: the crash as a reader's would end
      ::raise(SIGSEGV);
    }
    std::ostringstream out, err;
    const int code = CmdCheck(args, out, err);
    const std::string o = out.str(), e = err.str();
    TResult counts;
    if (code == 0 || code == 1) CountFindings(o, mode.Json, mode.Extended, counts);
    const std::string_view text = mode.Text ? std::string_view(o) : std::string_view();
    std::string answer = std::to_string(code) + " " + std::to_string(counts.Errors) + " " +
                         std::to_string(counts.Warnings) + " " + std::to_string(text.size()) + " " +
                         std::to_string(e.size()) + "\n";
    answer.append(text);
    answer += e;
    WriteAll(1, answer);
    args.clear();
  }
  RemovePrivateWorkFolder();
  ::_exit(0);
}

}  // namespace

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Starts a worker; false (with the reason) when it could not be started. It
// leads a process group of its own (killed as one) and is killed when the
// scanner ends, Ctrl-C or not.
bool SpawnWorker(const TWorkerMode& mode, TWorker& w, std::string& why) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, errp[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(errp, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    for (int* fd : {&in[0], &in[1], &out[0], &out[1], &errp[0], &errp[1]}) CloseFd(*fd);
    return false;
  }
  const pid_t parent = ::getpid();
  w.Pid = ::fork();
  if (w.Pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::signal(sig, SIG_DFL);
    if (::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(errp[1], 2) < 0) ::_exit(127);
    // Nothing of the scanner's other workers: their input must end when
    // the scanner closes it.
    ::close_range(3, ~0U, 0);
    WorkerMain(mode);
  }
  const int forkError = errno;
  ::close(in[0]);
  ::close(out[1]);
  ::close(errp[1]);
  if (w.Pid < 0) {
    why = std::strerror(forkError);
    ::close(in[1]);
    ::close(out[0]);
    ::close(errp[0]);
    return false;
  }
  ::setpgid(w.Pid, w.Pid);  // also here, so that a kill of the group never misses it
  w.In = in[1];
  w.Out = out[0];
  ::fcntl(w.Out, F_SETPIPE_SZ, 1 << 20);  // a large delivery's findings in few turns
  w.Err = errp[0];
  // Readable when the worker has ended; without it the end is polled for.
  w.PidFd = static_cast<int>(::syscall(SYS_pidfd_open, w.Pid, 0));
  return true;
}

// Notes that the worker has ended and reaps it, after killing what is left
// of its group.
bool CheckExited(TWorker& w) {
  if (w.Exited) return true;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(w.Pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != w.Pid)
    return false;
  ::kill(-w.Pid, SIGKILL);
  ::waitpid(w.Pid, &w.Status, 0);
  w.Exited = true;
  CloseFd(w.PidFd);
  return true;
}

// Ends a worker at once (a check past its time): its group killed, reaped.
void KillWorker(TWorker& w) {
  if (!w.Exited) {
    ::kill(-w.Pid, SIGKILL);
    ::waitpid(w.Pid, &w.Status, 0);
    w.Exited = true;
  }
  for (int* fd : {&w.In, &w.Out, &w.Err, &w.PidFd}) CloseFd(*fd);
}

}  // namespace dlvr::scan
