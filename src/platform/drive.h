// Drive types and media readiness.
//
// The type of the drive holding a path is read from the mount table:
// iso9660 and udf are CD-ROM, network file systems are remote, a block
// device marked removable is removable, anything else is fixed. Tests (and
// the headless tool) may replace both queries.
#pragma once

#include <functional>
#include <string>

namespace dlvr {

enum class DriveType { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

// The type of the drive (mounted file system) that holds `path`. A path that
// does not exist is judged by its nearest existing parent folder.
DriveType GetDriveType(const std::string& path);

// True when the free space of the file system holding `path` can be queried.
bool QueryMediaReady(const std::string& path);

// Replace the queries (nullptr restores the real ones).
void SetDriveTypeOverride(std::function<DriveType(const std::string&)> fn);
void SetMediaReadyOverride(std::function<bool(const std::string&)> fn);
// Replaces the drive type query on the calling thread only, before any
// process-wide replacement (nullptr: the process-wide answer again). A
// worker that reads folders as fixed disks sets it for itself and leaves
// every other thread's answers alone.
void SetThreadDriveTypeOverride(std::function<DriveType(const std::string&)> fn);

// The mount-table classification, exposed for tests: file system type and
// the device's removable flag to a drive type.
DriveType ClassifyMount(const std::string& fsType, bool removableDevice);

// The mount holding an absolute, existing path, as a mount table in the
// form of /proc/self/mountinfo lists it: the longest mount point that covers
// the path; of several mounts on one point the last listed, which is mounted
// over the others. All empty when no line covers the path.
struct TMountEntry {
  std::string MountPoint;
  std::string FsType;
  std::string Device;  // "major:minor"
};
TMountEntry FindMount(const std::string& mountInfo, const std::string& path);

}  // namespace dlvr
