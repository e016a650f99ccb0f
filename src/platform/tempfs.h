// Temporary names and folders, created the way mkstemp/mkdtemp do: the
// name is unique and the file or folder exists when the call returns.
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

// Removes a folder and everything in it. Returns false when something could
// not be removed.
bool RemoveTree(const std::string& path);

}  // namespace dlvr
