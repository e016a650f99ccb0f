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
