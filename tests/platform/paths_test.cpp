#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;

TEST(Paths, NamePartsTakeBothSeparators) {
  EXPECT_EQ(ToSlashes("MEET\\ORG\\A.PDF"), "MEET/ORG/A.PDF");
  EXPECT_EQ(ExtractFileName("MEET\\ORG\\A.PDF"), "A.PDF");
  EXPECT_EQ(ExtractFileName("C:A.PDF"), "A.PDF");
  EXPECT_EQ(ExtractFileName("/x/y.txt"), "y.txt");
  EXPECT_EQ(ExtractFilePath("/x/y.txt"), "/x/");
  EXPECT_EQ(ExtractFileExt("/x.d/y"), "");
  EXPECT_EQ(ExtractFileExt("a.b.PDF"), ".PDF");
  EXPECT_EQ(FileNameWithoutExt("DRAWINGS\\SPEC\\仕様書.pdf"), "仕様書");
  EXPECT_EQ(JoinPath("/a/", "\\b\\c"), "/a/b/c");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
}

TEST(Paths, ResolvesEachComponentWithoutRegardToCase) {
  test::ScratchDir d;
  d.WriteBytes("meet/org/0001_01.pdf", "x");
  d.WriteBytes("Index_C.xml", "x");
  EXPECT_EQ(ResolveCase(d / "MEET/ORG/0001_01.PDF"), d / "meet/org/0001_01.pdf");
  EXPECT_EQ(ResolveCase(d / "MEET\\Org\\0001_01.PDF"), d / "meet/org/0001_01.pdf");
  EXPECT_EQ(ResolveCase(d / "INDEX_C.XML"), d / "Index_C.xml");
  // A missing component keeps the rest as written.
  EXPECT_EQ(ResolveCase(d / "MEET/NONE/X.PDF"), d / "meet/NONE/X.PDF");
  // The exact name wins when it exists.
  d.WriteBytes("INDEX_C.XML", "y");
  EXPECT_EQ(ResolveCase(d / "INDEX_C.XML"), d / "INDEX_C.XML");
}

TEST(Paths, NamesDifferingOnlyInCaseResolveToTheByteWiseSmallest) {
  // Several spellings of one name in a folder (possible on Linux): whatever
  // order the folder lists them in, a lookup in another spelling takes the
  // byte-wise smallest, in the path resolver and in FileIn alike.
  test::ScratchDir d;
  for (const char* folder : {"meet", "MEET", "Meet"})
    for (const char* name : {"x.pdf", "X.pdf", "X.PDF", "x.PDF"})
      d.WriteBytes(std::string(folder) + "/" + name, "x");
  EXPECT_EQ(ResolveCase(d / "mEET/X.Pdf"), d / "MEET/X.PDF");
  TCaseResolver resolver;
  EXPECT_EQ(resolver.Resolve(d / "mEET/x.pDF"), d / "MEET/X.PDF");
  EXPECT_EQ(resolver.FileIn(d / "meet", "X.pdF"), d / "meet/X.PDF");
  // A spelling that exists is taken as written.
  EXPECT_EQ(resolver.FileIn(d / "meet", "x.pdf"), d / "meet/x.pdf");
  EXPECT_EQ(ResolveCase(d / "Meet/x.PDF"), d / "Meet/x.PDF");
}

TEST(Paths, FileNamesFromManagementDataNeverLeaveTheirFolder) {
  test::ScratchDir d;
  d.WriteBytes("secret.txt", "x");
  d.WriteBytes("MEET/ORG/A.PDF", "x");
  d.MakeDir("MEET/ORG/SUB");
  std::string org = d / "MEET/ORG";
  EXPECT_TRUE(FileInFolder(org, "a.pdf").has_value());
  EXPECT_FALSE(FileInFolder(org, "..\\..\\secret.txt").has_value());
  EXPECT_FALSE(FileInFolder(org, "../../secret.txt").has_value());
  EXPECT_FALSE(FileInFolder(org, "..").has_value());
  EXPECT_FALSE(FileInFolder(org, "").has_value());
  // A name that resolves to a folder is not a file.
  EXPECT_FALSE(FileInFolder(org, "SUB").has_value());
  EXPECT_FALSE(FileInFolder(org, "MISSING.PDF").has_value());
}

TEST(Paths, FolderListingsSeparateFilesAndFolders) {
  test::ScratchDir d;
  d.WriteBytes("b.txt", "x");
  d.WriteBytes("a.txt", "x");
  d.MakeDir("SPEC");
  EXPECT_EQ(ListFiles(d.Path()), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(ListFolders(d.Path()), (std::vector<std::string>{"SPEC"}));
  EXPECT_TRUE(ListFiles(d / "none").empty());
}

TEST(TempFs, NamesAreUniqueAndCreated) {
  std::string a = MakeTempDir("dlvr_x_");
  std::string b = MakeTempDir("dlvr_x_");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(DirExists(a));
  std::string f = MakeTempFile("prev", ".PDF", a);
  EXPECT_TRUE(FileExists(f));
  EXPECT_EQ(ExtractFileExt(f), ".PDF");
  EXPECT_EQ(ExtractFilePath(f), a);
  EXPECT_TRUE(RemoveTree(a));
  EXPECT_TRUE(RemoveTree(b));
  EXPECT_FALSE(DirExists(a));
  EXPECT_EQ(MakeTempDir("x", "/nonexistent/folder"), "");
}

// Links named in a delivery: a link whose target stays inside the root
// (the medium's folder) is a file like any; one leading out, a dangling one
// and one to a folder are missing.
TEST(Paths, LinksLeadingOutOfTheRootAreMissing) {
  test::ScratchDir d, outside;
  const std::string root = d / "kkt";
  outside.WriteBytes("secret.pdf", "x");
  outside.WriteBytes("MEET/ORG/B.PDF", "x");
  d.WriteBytes("kkt/MEET/ORG/PLAIN.PDF", "x");
  d.WriteBytes("kkt/DRAWINGS/D.P21", "x");
  d.WriteBytes("beside.pdf", "x");  // next to the medium, not in it
  d.WriteBytes("kkt2/MEET/X.PDF", "x");  // beside it, its name starting with the medium's
  const std::string org = d / "kkt/MEET/ORG";
  fs::create_symlink(outside / "secret.pdf", org + "/OUT.PDF");
  fs::create_symlink("../../../beside.pdf", org + "/UP.PDF");
  fs::create_symlink("../../../kkt2/MEET/X.PDF", org + "/PREFIX.PDF");
  fs::create_symlink("../../DRAWINGS/D.P21", org + "/IN.PDF");
  fs::create_symlink("PLAIN.PDF", org + "/SAME.PDF");
  fs::create_symlink("NONE.PDF", org + "/DANGLING.PDF");
  fs::create_symlink(outside.Path(), org + "/DIR.PDF");
  // A folder of the medium that is a link leading out.
  fs::create_directory_symlink(outside / "MEET", d / "kkt/PLAN");

  struct Case {
    std::string Folder, Name;
    bool InRoot;    // found with the medium as root
    bool InFolder;  // found with the folder itself as root
  } cases[] = {
      {org, "PLAIN.PDF", true, true},   {org, "plain.pdf", true, true},
      {org, "OUT.PDF", false, false},   {org, "out.pdf", false, false},
      {org, "UP.PDF", false, false},    {org, "IN.PDF", true, false},
      {org, "PREFIX.PDF", false, false},
      {org, "in.pdf", true, false},     {org, "SAME.PDF", true, true},
      {org, "DANGLING.PDF", false, false}, {org, "DIR.PDF", false, false},
      {d / "kkt/PLAN/ORG", "B.PDF", false, true},
  };
  TCaseResolver byRoot(root);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Folder + " " + c.Name);
    TCaseResolver byFolder;
    const std::string folder = ResolveCase(c.Folder);
    EXPECT_EQ(!byRoot.FileIn(folder, c.Name).empty(), c.InRoot);
    EXPECT_EQ(!byFolder.FileIn(folder, c.Name).empty(), c.InFolder);
    EXPECT_EQ(FileInFolder(c.Folder, c.Name, root).has_value(), c.InRoot);
    EXPECT_EQ(FileInFolder(c.Folder, c.Name).has_value(), c.InFolder);
    const std::string path = ResolveCase(JoinPath(c.Folder, c.Name));
    if (FileExists(path)) {
      EXPECT_EQ(LeadsOutside(path, root), !c.InRoot);
    }
  }
  // A resolver that has looked up many names in a folder answers from the
  // folder's listing: the same answers and the same paths as a fresh one.
  TCaseResolver warm(root);
  const std::string folders[] = {ResolveCase(org), ResolveCase(d / "kkt/PLAN/ORG"), ResolveCase(d / "kkt/DRAWINGS")};
  for (const std::string& folder : folders)
    for (int i = 0; i <= TCaseResolver::kListAfter; ++i) EXPECT_EQ(warm.FileIn(folder, "NOT-THERE.PDF"), "");
  // Every name in turn in each of the folders: a listing answers for its own
  // folder only.
  for (const Case& c : cases)
    for (const std::string& folder : {ResolveCase(c.Folder), folders[0], folders[1], folders[2]})
      EXPECT_EQ(warm.FileIn(folder, c.Name), TCaseResolver(root).FileIn(folder, c.Name)) << folder << " " << c.Name;
  // The root itself reached through a link (a drive's mount link) changes nothing.
  fs::create_directory_symlink(root, d / "drive");
  EXPECT_TRUE(FileInFolder(d / "drive/MEET/ORG", "IN.PDF", d / "drive").has_value());
  EXPECT_FALSE(FileInFolder(d / "drive/MEET/ORG", "OUT.PDF", d / "drive").has_value());
  EXPECT_FALSE(LeadsOutside(d / "none", root));  // leads nowhere
  // The root written with a trailing slash, and a folder beside it whose
  // name merely starts with the root's.
  EXPECT_FALSE(LeadsOutside(org + "/PLAIN.PDF", root + "/"));
  EXPECT_TRUE(LeadsOutside(d / "beside.pdf", root + "//"));
  EXPECT_TRUE(LeadsOutside(d / "kkt2/MEET/X.PDF", root));
}

// The canonical form agrees with realpath() on every kind of path: links in
// chains and to folders, "..", relative paths, what cannot be resolved, and
// files that must not be opened for reading (a fifo, no permission).
TEST(Paths, CanonicalPathAgreesWithRealpath) {
  test::ScratchDir d;
  d.WriteBytes("a/b/file.txt", "x");
  d.WriteBytes("a/閲覧 (deleted)", "x");  // how /proc names a removed file
  ::chmod(d.WriteBytes("a/locked", "x").c_str(), 0);
  ASSERT_EQ(::mkfifo((d / "a/fifo").c_str(), 0600), 0);
  fs::create_symlink("b/file.txt", d / "a/link");
  fs::create_symlink("link", d / "a/chain");
  fs::create_directory_symlink(d / "a/b", d / "dirlink");
  fs::create_symlink("none", d / "a/dangling");
  fs::create_symlink("loop2", d / "a/loop1");
  fs::create_symlink("loop1", d / "a/loop2");
  const fs::path cwd = fs::current_path();
  fs::current_path(d / "a");
  for (const std::string& path :
       {d / "a/b/file.txt", d / "a/b/", d / "a/./b/../b/file.txt", d / "a/chain", d / "dirlink/../b/file.txt",
        d / "dirlink/file.txt", d / "a/閲覧 (deleted)", d / "a/locked", d / "a/fifo", d / "a/dangling",
        d / "a/loop1", d / "a/b/file.txt/", d / "a/none/file.txt", std::string("b/file.txt"),
        std::string("chain"), std::string("."), std::string("/"), std::string("")}) {
    char buf[PATH_MAX];
    const char* real = path.empty() ? nullptr : ::realpath(path.c_str(), buf);
    EXPECT_EQ(CanonicalPath(path), real ? std::string(real) : std::string()) << path;
  }
  fs::current_path(cwd);
}

// --- temporary files and the private work folder -------------------------

// Points $TMPDIR at a folder for the life of the object.
class TTmpDirScope {
 public:
  explicit TTmpDirScope(const std::string& dir) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old, had_ = true;
    ::setenv("TMPDIR", dir.c_str(), 1);
  }
  ~TTmpDirScope() {
    if (had_) ::setenv("TMPDIR", old_.c_str(), 1);
    else ::unsetenv("TMPDIR");
  }

 private:
  std::string old_;
  bool had_ = false;
};

// True when another open file can take the lock file's lock now.
bool LockFree(const std::string& lockFile) {
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

// The descriptor of this process open on `path`, -1 when none.
int OpenFdOf(const std::string& path) {
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (fs::read_symlink(e.path(), ec).string() == path) return std::stoi(e.path().filename().string());
  }
  return -1;
}

TEST(TempFs, RemoveTreeRemovesLinksNeverWhatTheyPointTo) {
  struct Case {
    const char* What;
    // Makes the tree under `scratch`, with links to `target`; returns the path to remove.
    std::function<std::string(const test::ScratchDir&, const std::string&)> Make;
  } cases[] = {
      {"link to a folder inside the tree",
       [](const test::ScratchDir& s, const std::string& target) {
         s.WriteBytes("work/sub/copy.pdf", "x");
         fs::create_directory_symlink(target, s / "work/sub/out");
         return s / "work/";
       }},
      {"link to a file inside the tree",
       [](const test::ScratchDir& s, const std::string& target) {
         fs::create_directories(s / "work");
         fs::create_symlink(target + "/keep.txt", s / "work/out.txt");
         return s / "work";
       }},
      {"the tree itself a link, with a trailing slash",
       [](const test::ScratchDir& s, const std::string& target) {
         fs::create_directory_symlink(target, s / "work");
         return s / "work/";
       }},
      {"the tree itself a link",
       [](const test::ScratchDir& s, const std::string& target) {
         fs::create_directory_symlink(target, s / "work");
         return s / "work";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    test::ScratchDir scratch, outside;
    outside.WriteBytes("keep.txt", "keep");
    outside.WriteBytes("deep/keep2.txt", "keep");
    const std::string path = c.Make(scratch, outside.Path());
    EXPECT_TRUE(RemoveTree(path));
    EXPECT_FALSE(fs::exists(fs::symlink_status(scratch / "work")));
    EXPECT_TRUE(FileExists(outside / "keep.txt"));
    EXPECT_TRUE(FileExists(outside / "deep/keep2.txt"));
  }
  EXPECT_TRUE(RemoveTree("/nonexistent/dlvr/folder"));
  EXPECT_FALSE(RemoveTree(""));
}

TEST(WorkFolder, MadeOncePrivateAndLockedForTheProcess) {
  test::ScratchDir tmp;
  TTmpDirScope scope(tmp.Path());
  // The first use from several threads at once makes one folder.
  std::string seen[4];
  {
    std::vector<std::thread> threads;
    for (std::string& s : seen) threads.emplace_back([&s] { s = PrivateWorkFolder(); });
    for (std::thread& t : threads) t.join();
  }
  const std::string folder = seen[0];
  for (const std::string& s : seen) EXPECT_EQ(s, folder);
  ASSERT_EQ(ExtractFilePath(folder.substr(0, folder.size() - 1)), tmp.Path());
  EXPECT_EQ(ExtractFileName(folder.substr(0, folder.size() - 1)).rfind(kWorkFolderPrefix, 0), 0u);
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  // The owner lock is held, and not handed to programs the process starts.
  const std::string lock = folder + kWorkFolderLock;
  EXPECT_FALSE(LockFree(lock));
  const int fd = OpenFdOf(lock);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  EXPECT_EQ(PrivateWorkFolder(), folder);
  // Removed from under the process (a cleaner of the temporary folder): made anew.
  ASSERT_TRUE(RemoveTree(folder));
  const std::string again = PrivateWorkFolder();
  EXPECT_TRUE(DirExists(again));
  EXPECT_FALSE(LockFree(again + kWorkFolderLock));
  RemovePrivateWorkFolder();
  EXPECT_FALSE(fs::exists(fs::symlink_status(again)));
  RemovePrivateWorkFolder();  // twice is harmless
}

TEST(WorkFolder, OnlyFoldersOfEndedOwnersAreRemoved) {
  test::ScratchDir tmp, outside;
  outside.WriteBytes("keep.txt", "keep");
  TTmpDirScope scope(tmp.Path());
  const std::string mine = PrivateWorkFolder();
  ASSERT_FALSE(mine.empty());
  std::vector<int> held;  // lock files held by a live owner
  auto folderWithLock = [&](const std::string& name, bool locked) {
    tmp.WriteBytes(name + "/" + kWorkFolderLock, "");
    tmp.WriteBytes(name + "/DLVRab12/MEET.XML", "x");
    if (locked) {
      int fd = ::open((tmp / name + "/" + kWorkFolderLock).c_str(), O_RDWR | O_CLOEXEC);
      ::flock(fd, LOCK_EX | LOCK_NB);
      held.push_back(fd);
    }
  };
  auto age = [&](const std::string& name) {
    struct timespec times[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
    ::utimensat(AT_FDCWD, (tmp / name).c_str(), times, AT_SYMLINK_NOFOLLOW);
  };
  struct Case {
    std::string Name;
    std::function<void()> Make;
    bool Removed;
  } cases[] = {
      {"dlvr-work-gone", [&] { folderWithLock("dlvr-work-gone", false); }, true},
      {"dlvr-work-live", [&] { folderWithLock("dlvr-work-live", true); }, false},
      {"dlvr-work-young", [&] { tmp.WriteBytes("dlvr-work-young/DLVRx/a", ""); }, false},
      {"dlvr-work-old", [&] { tmp.WriteBytes("dlvr-work-old/DLVRx/a", ""); age("dlvr-work-old"); }, true},
      {"dlvr-work-linkout",
       [&] {
         folderWithLock("dlvr-work-linkout", false);
         fs::create_directory_symlink(outside.Path(), tmp / "dlvr-work-linkout/DLVRab12/out");
       },
       true},
      {"dlvr-work-link",
       [&] {
         folderWithLock("target", false);
         fs::create_directory_symlink(tmp / "target", tmp / "dlvr-work-link");
       },
       false},
      {"dlvr-work-file", [&] { tmp.WriteBytes("dlvr-work-file", "x"); }, false},
      {"other-gone", [&] { folderWithLock("other-gone", false); }, false},
      {"dlvr-work-lockislink",
       [&] {
         tmp.WriteBytes("free.lock", "");
         fs::create_directories(tmp / "dlvr-work-lockislink");
         fs::create_symlink(tmp / "free.lock", tmp / "dlvr-work-lockislink/" + kWorkFolderLock);
       },
       false},
  };
  int expected = 0;
  for (const Case& c : cases) {
    c.Make();
    expected += c.Removed;
  }
  if (::geteuid() == 0) {  // another user's folder: only root can make one
    folderWithLock("dlvr-work-foreign", false);
    ASSERT_EQ(::lchown((tmp / "dlvr-work-foreign").c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(RemoveStaleWorkFolders(), expected);
  for (const Case& c : cases)
    EXPECT_EQ(fs::exists(fs::symlink_status(tmp / c.Name)), !c.Removed) << c.Name;
  EXPECT_TRUE(DirExists(mine));
  EXPECT_TRUE(FileExists(tmp / "target/DLVRab12/MEET.XML"));
  EXPECT_TRUE(FileExists(outside / "keep.txt"));
  if (::geteuid() == 0) {
    EXPECT_TRUE(DirExists(tmp / "dlvr-work-foreign"));
  }
  for (int fd : held) ::close(fd);
  // Their owner gone, the live one goes too; the process's own folder stays.
  EXPECT_EQ(RemoveStaleWorkFolders(tmp.Path()), 1);
  EXPECT_TRUE(DirExists(mine));
  RemovePrivateWorkFolder();
}

// The process ends by the signal after its folder is gone; a crash leaves the
// folder to the next start. Each case runs in a forked child (this test
// program itself never installs the signal handling).
TEST(WorkFolder, EndSignalsRemoveTheFolderAndEndTheProcessByThem) {
  GTEST_FLAG_SET(death_test_style, "fast");
  test::ScratchDir tmp;
  TTmpDirScope scope(tmp.Path());
  const std::string out = tmp / "folder.txt";
  // The child's part: `ignored` is ignored beforehand (as nohup does); then
  // `first` is sent, then `second`; 0 for no signal: a normal exit.
  auto child = [&](int ignored, int first, int second, bool crash) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, sig == ignored ? SIG_IGN : SIG_DFL);
    RemoveWorkFolderOnSignals();
    WriteWholeFile(out, PrivateWorkFolder());
    if (crash) std::abort();
    if (first == 0) std::exit(0);
    ::kill(::getpid(), first);
    if (second) ::kill(::getpid(), second);
    for (;;) ::pause();
  };
  struct Case {
    const char* What;
    int Ignored, First, Second;
    bool Crash;
    bool Left;  // the folder is still there afterwards
  } cases[] = {
      {"SIGTERM", 0, SIGTERM, 0, false, false},
      {"SIGINT", 0, SIGINT, 0, false, false},
      {"SIGHUP", 0, SIGHUP, 0, false, false},
      {"ignored SIGHUP stays ignored", SIGHUP, SIGHUP, SIGTERM, false, false},
      {"normal exit", 0, 0, 0, false, false},
      {"crash", 0, 0, 0, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    std::remove(out.c_str());
    const int ending = c.Crash ? SIGABRT : c.Second ? c.Second : c.First;
    if (ending)
      EXPECT_EXIT(child(c.Ignored, c.First, c.Second, c.Crash), ::testing::KilledBySignal(ending), "");
    else
      EXPECT_EXIT(child(c.Ignored, c.First, c.Second, c.Crash), ::testing::ExitedWithCode(0), "");
    std::string folder;
    ASSERT_TRUE(ReadWholeFile(out, folder));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(DirExists(folder), c.Left);
    // A crashed owner's lock is free: the next start removes its folder.
    if (c.Left) {
      EXPECT_EQ(RemoveStaleWorkFolders(), 1);
      EXPECT_FALSE(DirExists(folder));
    }
  }
}

TEST(FileIo, LineBreaksOfEveryKind) {
  auto lines = SplitLines("a\r\nb\rc\nd");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "d");
  EXPECT_EQ(SplitLines("a\r\n").size(), 1u);
  EXPECT_EQ(SplitLines("\n\n").size(), 2u);
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("x\r\r\ny").size(), 3u);
}

}  // namespace
}  // namespace dlvr
