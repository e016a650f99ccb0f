// Path handling for deliveries written on Windows and read here.
//
// Paths use '/' internally. Names in management data may use '\'. Lookups of
// a file or folder inside a delivery fall back to matching each component
// without regard to ASCII case, since a CD may be mounted with other case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dlvr {

// Backslashes to slashes.
std::string ToSlashes(std::string_view path);

// Joins a folder and a relative path with exactly one '/' between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// Ensures a trailing '/'.
std::string WithTrailingSlash(std::string_view folder);

// The part after the last '/', '\' or ':'.
std::string ExtractFileName(std::string_view path);

// The part up to and including the last '/' or '\' (empty when none).
std::string ExtractFilePath(std::string_view path);

// The extension with its dot ("" when none), taken from the file name part.
std::string ExtractFileExt(std::string_view path);

// The file name without its extension.
std::string FileNameWithoutExt(std::string_view path);

// True when the path names an existing regular file (a folder is not a file).
bool FileExists(const std::string& path);

// True when the path names an existing folder.
bool DirExists(const std::string& path);

// Resolves a path whose components may differ in ASCII case from the names
// on disk. Each component that does not exist as written is looked up in its
// folder without regard to ASCII case; when that fails too, the rest of the
// path is kept as written. Backslashes are taken as separators.
std::string ResolveCase(std::string_view path);

// The canonical absolute form of an existing path, every symbolic link
// followed; "" when it cannot be resolved.
std::string CanonicalPath(const std::string& path);

// True when `path` exists and, with every symbolic link in it followed, lies
// outside the folder `root` (itself resolved without regard to case and with
// links followed). A delivery's file or folder that is such a link counts as
// missing. A path that does not exist leads nowhere: false.
bool LeadsOutside(const std::string& path, const std::string& root);

// ResolveCase with the folder listings it needs kept, for many lookups in
// the same folders (one build of a delivery's tree). Listings are taken
// once; call Clear when the folders may have changed.
class TCaseResolver {
 public:
  // FileIn finds only files that, links followed, lie inside `root` (the
  // medium's folder); with no root, inside the folder they are looked up in.
  explicit TCaseResolver(std::string root = std::string()) : root_(std::move(root)) {}
  std::string Resolve(std::string_view path);
  // The regular file `name` (a plain name from management data) in a folder
  // already resolved: one lstat when the name is spelled as on disk, the
  // folder's listing otherwise. Returns "" when there is no such file, or
  // when it lies outside the root (a link leading out, or a folder on the
  // way that does; each folder is checked once). After kListAfter names in
  // one folder, the folder's listing answers for the regular files it names
  // as they are spelled (one read of the folder instead of an lstat a file).
  std::string FileIn(const std::string& resolvedFolder, const std::string& name);
  static constexpr int kListAfter = 64;
  void Clear() {
    listings_.clear();
    lookups_.clear();
    folderInside_.clear();
    last_ = TLastFolder();
  }

 private:
  struct Listing {
    // Name as on disk -> its type from the folder entry (DT_REG, DT_LNK, ...).
    std::unordered_map<std::string, unsigned char> Types;
    // Upper-cased name -> the byte-wise smallest name of that spelling;
    // made from Types when a name is first looked up without regard to case.
    std::unordered_map<std::string, std::string> ByUpper;
    bool UpperMade = false;
  };
  Listing& ListingOf(const std::string& folder);
  const std::unordered_map<std::string, std::string>& ByUpperOf(Listing& listing);
  // The folder FileIn was last asked about, as given and as looked up, with
  // its count of lookups and its listing once taken (references into the
  // maps, which stay valid until Clear): a tree's names come a folder at a
  // time.
  struct TLastFolder {
    std::string Given;
    std::string Folder;
    int* Lookups = nullptr;
    const Listing* Names = nullptr;
  };
  TLastFolder last_;
  // `path` (a name in `folder`) when it is a regular file, or a link to one,
  // inside the root; "" otherwise. `present` tells whether anything of the
  // name is there at all.
  std::string Admit(const std::string& folder, const std::string& path, bool& present);
  bool FolderInside(const std::string& folder);
  const std::string& CanonicalRoot(const std::string& folder);
  std::unordered_map<std::string, Listing> listings_;
  std::unordered_map<std::string, int> lookups_;  // FileIn calls by folder
  std::string root_;
  std::string canonicalRoot_;
  bool rootResolved_ = false;
  std::unordered_map<std::string, bool> folderInside_;
};

// True when a name taken from management data is a plain file name: not
// empty, no path separator, not "." or "..".
bool IsPlainFileName(std::string_view name);

// The path of the file `name` inside `folder` (case-insensitively resolved),
// or nothing when the name would leave the folder, no regular file of that
// name exists there, or it is a link whose target lies outside `root` (the
// folder itself when empty).
std::optional<std::string> FileInFolder(std::string_view folder, std::string_view name, const std::string& root = "");

// Names of the entries of a folder (files only or folders only), sorted
// byte-wise; empty when the folder cannot be read.
std::vector<std::string> ListFiles(const std::string& folder);
std::vector<std::string> ListFolders(const std::string& folder);

// The canonical absolute form of an existing path; the path as given when it
// cannot be resolved.
std::string AbsolutePath(const std::string& path);

// A folder the system's packages own (/usr, /bin, /sbin, /lib, /opt, /snap
// and below): a program installed there keeps what it writes in the user's
// folders, even when it runs as root.
bool IsSystemFolder(const std::string& folder);

}  // namespace dlvr
