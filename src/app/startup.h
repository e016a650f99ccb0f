// The program's start: the lock that stands for a running instance, and the
// copy-and-relaunch when the program is started from a removable medium.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace dlvr {

// The lock file named after the instance ("Tavrin_Quillan_DLVRView") in the
// user's runtime folder (in the temporary folder, with the user's id in the
// name, when there is no runtime folder).
QString InstanceLockPath();

// The lock that stands for running instances. Every instance holds a shared
// lock on the lock file for its whole life, so the file stays locked while
// any instance runs, whichever of them started first and whichever ended
// since. The file is made when missing and never removed: a later instance
// must lock the same file the running ones hold. A lock ends with its
// process, a crash included, and is never passed on to programs the
// instance starts. Only a regular file is locked (a link is not followed).
class TInstanceLock {
 public:
  explicit TInstanceLock(const QString& lockPath);
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  // Whether this instance holds its share; false when the file could not be
  // made or opened, or another holder kept it locked exclusively for a
  // second. The program runs on either way.
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Whether an instance runs: a process holds the lock on `lockPath`. Asks
// without waiting and creates nothing; a missing file, or one left by
// instances that ended or crashed, is not running. Never blocks on a FIFO.
bool InstanceRunning(const QString& lockPath);

// Started from a removable or CD drive: unless an instance holds the lock,
// copy the program (and a photo viewer program beside it) into
// <temp>/_TAVRINTEMP/ and start the copy, with the program's folder as its
// argument when the program was given a folder. Returns whether a copy was
// started. `start` starts a program (QProcess::startDetached by default).
bool CopyToTempAndRelaunch(const QString& programPath, const QStringList& args, const QString& lockPath,
                           const QString& tempDir,
                           const std::function<bool(const QString&, const QStringList&)>& start = nullptr);

// The process launch helper: joins the arguments, each quoted unless it
// already starts with a quote; optionally waits for the process to end while
// the window keeps handling events. Returns whether the start succeeded. A
// program that is not waited for runs on its own (it outlives this one);
// `pid` then receives its process id.
bool RunProgram(const QStringList& command, bool wait, bool disableWindows, qint64* pid = nullptr);

// Whether the process `pid` (started by RunProgram) is still running.
bool ProcessRunning(qint64 pid);

}  // namespace dlvr
