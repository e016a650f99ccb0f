#include <gtest/gtest.h>

#include "delivery/helpers.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(Drive, MountTableTypes) {
  EXPECT_EQ(ClassifyMount("iso9660", false), DriveType::CdRom);
  EXPECT_EQ(ClassifyMount("udf", true), DriveType::CdRom);
  EXPECT_EQ(ClassifyMount("nfs4", false), DriveType::Remote);
  EXPECT_EQ(ClassifyMount("cifs", false), DriveType::Remote);
  EXPECT_EQ(ClassifyMount("fuse.sshfs", false), DriveType::Remote);
  EXPECT_EQ(ClassifyMount("vfat", true), DriveType::Removable);
  EXPECT_EQ(ClassifyMount("ext4", false), DriveType::Fixed);
  EXPECT_EQ(ClassifyMount("tmpfs", false), DriveType::Fixed);
}

TEST(Drive, MountTableGivesTheLongestCoveringMountLastListedWins) {
  // An automounter on the CD's mount point, the CD mounted over it; the same
  // the other way round; optional fields before the separator, escaped
  // blanks, and a mount point that is only a prefix of the path's folder.
  const std::string table =
      "21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "garbage\n"
      "30 21 0:40 / /media/cdrom rw,relatime shared:20 - autofs systemd-1 rw,fd=44\n"
      "31 30 11:0 / /media/cdrom ro,relatime shared:21 - iso9660 /dev/sr0 ro\n"
      "40 21 11:1 / /media/cd2 ro,relatime - iso9660 /dev/sr1 ro\n"
      "41 40 0:41 / /media/cd2 rw,relatime shared:22 master:3 - autofs systemd-1 rw\n"
      "50 21 8:17 / /media/my\\040usb rw - vfat /dev/sdb1 rw\n"
      "60 21 0:50 / /net rw - nfs4 server:/ rw\n";
  struct Case {
    const char* path;
    const char* mountPoint;
    const char* fsType;
    const char* device;
  };
  const Case cases[] = {
      {"/media/cdrom/KKT", "/media/cdrom", "iso9660", "11:0"},
      {"/media/cdrom", "/media/cdrom", "iso9660", "11:0"},
      {"/media/cd2/KKT", "/media/cd2", "autofs", "0:41"},
      {"/media/cdromX/KKT", "/", "ext4", "8:1"},
      {"/media/my usb/KKT", "/media/my usb", "vfat", "8:17"},
      {"/net/share", "/net", "nfs4", "0:50"},
      {"/home/u", "/", "ext4", "8:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TMountEntry m = FindMount(table, c.path);
    EXPECT_EQ(m.MountPoint, c.mountPoint);
    EXPECT_EQ(m.FsType, c.fsType);
    EXPECT_EQ(m.Device, c.device);
  }
  TMountEntry none = FindMount("garbage\n", "/home");
  EXPECT_EQ(none.MountPoint + none.FsType + none.Device, "");
}

TEST(Drive, RealQueriesAnswerForExistingAndMissingPaths) {
  test::ScratchDir d;
  // The scratch folder is on some mounted file system; a missing path below
  // it is judged by the folder.
  DriveType t = GetDriveType(d.Path());
  EXPECT_EQ(GetDriveType(d / "not/there"), t);
  EXPECT_TRUE(QueryMediaReady(d.Path()));
  EXPECT_FALSE(QueryMediaReady(d / "not/there"));
  EXPECT_FALSE(QueryMediaReady(""));
}

TEST(Drive, OverridesDriveTheHelpers) {
  SetDriveTypeOverride([](const std::string& p) {
    if (p.rfind("/media/cd", 0) == 0) return DriveType::CdRom;
    if (p.rfind("/media/usb", 0) == 0) return DriveType::Removable;
    if (p.rfind("/net", 0) == 0) return DriveType::Remote;
    return DriveType::Fixed;
  });
  EXPECT_TRUE(IsRemovableDrive("/media/cd/KKT"));
  EXPECT_TRUE(IsRemovableDrive("/media/usb/KKT"));
  EXPECT_FALSE(IsRemovableDrive("/home/u/KKT"));
  EXPECT_TRUE(IsFixedDrive("/home/u/KKT"));
  EXPECT_FALSE(IsFixedDrive("/media/cd"));
  EXPECT_FALSE(IsFixedDrive("/net/share"));
  EXPECT_FALSE(IsRemovableDrive("/net/share"));
  SetDriveTypeOverride(nullptr);

  // An empty CD drive: not ready, and no dialog of any kind.
  test::ScriptedPrompts prompts;
  SetMediaReadyOverride([](const std::string&) { return false; });
  EXPECT_FALSE(IsMediaReady("/media/cd"));
  SetMediaReadyOverride(nullptr);
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST(Drive, NotReadyPromptAsksAbortOrRetry) {
  test::ScriptedPrompts prompts;
  prompts.Answers = {DialogAnswer::Retry, DialogAnswer::Abort};
  EXPECT_EQ(AskMediaNotReady(), DialogAnswer::Retry);
  EXPECT_EQ(AskRetry("別のメディア"), DialogAnswer::Abort);
  ASSERT_EQ(prompts.Shown.size(), 2u);
  const MessageRequest& r = prompts.Shown[0];
  EXPECT_EQ(r.Text, "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。");
  EXPECT_EQ(r.Icon, MsgIcon::Warning);
  EXPECT_EQ(r.Buttons, MsgButtons::AbortRetry);
  EXPECT_EQ(r.Default, DialogAnswer::Retry);
  EXPECT_EQ(prompts.Shown[1].Text, "別のメディア");
}

}  // namespace
}  // namespace dlvr
