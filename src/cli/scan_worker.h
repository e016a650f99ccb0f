// The workers of dlvr scan: forks of the scanner that check one delivery
// at a time as `dlvr check` would and answer with the counts of its
// findings (and what it printed, when wanted); started, watched and ended
// by the scanner.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace dlvr::scan {

enum class TOutcome { Checked, Failed, Crashed, TimedOut };

struct TResult {
  TOutcome Outcome = TOutcome::Failed;
  long Errors = 0, Warnings = 0;
  double Seconds = 0;
  std::string Detail;
};

// What a worker's checks are asked for: --extended, --format json, and
// whether the findings are wanted (--out) or only their counts.
struct TWorkerMode {
  bool Extended = false, Json = false, Text = false;
};

struct TWorker {
  pid_t Pid = -1;
  int In = -1, Out = -1, Err = -1, PidFd = -1;
  std::string OutText, ErrText;
  long Job = -1;  // the delivery being checked, -1 when idle
  std::chrono::steady_clock::time_point Start;
  int Checked = 0;
  bool Exited = false;
  int Status = 0;
};

// The most deliveries one worker checks before it is replaced by a fresh
// one, so that nothing one check leaves behind grows without end. A fresh
// worker costs some 20 ms here (the fork, the faults of its first pages,
// its work folder): 64 a worker cost 6-9 % of an archive's scan.
constexpr int kChecksPerWorker = 256;

// Errors and warnings in what `dlvr check --format csv|json` printed.
void CountFindings(const std::string& text, bool json, bool extended, TResult& r);
// Writes all of `text` to `fd` (stops at an error).
void WriteAll(int fd, const std::string& text);
void CloseFd(int& fd);
// Starts a worker; false (with the reason) when it could not be started. It
// leads a process group of its own (killed as one) and is killed when the
// scanner ends, Ctrl-C or not.
bool SpawnWorker(const TWorkerMode& mode, TWorker& w, std::string& why);
// Notes that the worker has ended and reaps it, after killing what is left
// of its group.
bool CheckExited(TWorker& w);
// Ends a worker at once (a check past its time): its group killed, reaped.
void KillWorker(TWorker& w);

}  // namespace dlvr::scan
