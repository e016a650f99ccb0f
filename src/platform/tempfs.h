// Temporary names and folders, created the way mkstemp/mkdtemp do: the
// name is unique and the file or folder exists when the call returns.
//
// Everything the program writes for previews and work copies goes into one
// private work folder of the process under the user's temporary folder,
// never loose in the shared temporary folder. The folder holds an owner
// lock for the life of the process; the kernel lets go of it when the
// process ends in any way, so that the next start can tell a folder left by
// a crash from one in use and remove it.
#pragma once

#include <string>

namespace dlvr {

// The user's temporary folder ($TMPDIR, else /tmp), with a trailing '/'.
std::string TempFolder();

// Creates a new folder `prefix` + unique suffix under `parent` (the
// temporary folder when empty). Returns its path with a trailing '/', or ""
// on failure.
std::string MakeTempDir(const std::string& prefix, const std::string& parent = "");

// Creates a new empty file `prefix` + unique suffix + `ext` under `parent`
// (the temporary folder when empty). Returns its path, or "" on failure.
std::string MakeTempFile(const std::string& prefix, const std::string& ext = "", const std::string& parent = "");

// Removes a folder and everything in it. Symbolic links are removed, never
// followed: neither a link inside the folder nor `path` itself being a link
// (with or without a trailing '/') touches what the link points to. A path
// that does not exist is removed already. Returns false when something
// could not be removed.
bool RemoveTree(const std::string& path);

// The name prefix of the private work folders in the temporary folder.
inline constexpr const char* kWorkFolderPrefix = "dlvr-work-";
// The owner lock inside a private work folder.
inline constexpr const char* kWorkFolderLock = "owner.lock";

// The process's private work folder (mode 0700, `kWorkFolderPrefix` + a
// unique suffix in the temporary folder), with a trailing '/'; created on
// the first call (thread-safe) and again when it has disappeared; "" when
// it cannot be created. A child made by fork() gets a folder of its own.
// The folder is removed when the process exits normally.
std::string PrivateWorkFolder();

// Removes the private work folder (if this process made one) and lets go of
// its lock. A later PrivateWorkFolder() makes a new one.
void RemovePrivateWorkFolder();

// Removes the private work folders under `parent` (the temporary folder
// when empty) whose owner is gone: real folders (never a link) of the
// current user named with `kWorkFolderPrefix` whose owner lock can be
// taken, and those without a lock file when older than a minute. Anything
// else is left alone. Returns the number of folders removed.
int RemoveStaleWorkFolders(const std::string& parent = "");

// On SIGINT, SIGTERM and SIGHUP: removes the private work folder, then ends
// the process by the same signal (so the caller sees the signal's usual
// status). The signal handler only writes to a pipe; a thread of its own
// does the removal. No signal is blocked, so threads and started programs
// are unaffected; a signal ignored when this is called (nohup) stays
// ignored. Calling again does nothing.
void RemoveWorkFolderOnSignals();

}  // namespace dlvr
