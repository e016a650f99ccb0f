// The program's start: the lock that stands for a running instance, and the
// copy-and-relaunch when the program is started from a removable medium.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace dlvr {

// The lock file named after the instance ("Tavrin_Quillan_DLVRView") in the
// user's runtime folder.
QString InstanceLockPath();

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
