#include <gtest/gtest.h>

#include <sys/time.h>

#include <filesystem>

#include "model/photo_viewer.h"
#include "model/tree_view.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// Sets a file's modification time, `seconds` after a fixed moment.
void SetAge(const std::string& path, long seconds) {
  struct timeval tv[2] = {{1700000000 + seconds, 0}, {1700000000 + seconds, 0}};
  ASSERT_EQ(::utimes(path.c_str(), tv), 0) << path;
}

class PhotoViewerLookup : public ::testing::Test {
 protected:
  PhotoViewerLookup() {
    media = dir.MakeDir("media") + "/";
    install = dir.MakeDir("install") + "/";
    program = dir.MakeDir("program") + "/";
    removable = dir.MakeDir("usb") + "/";
    SetDriveTypeOverride([this](const std::string& p) {
      return p.rfind(removable, 0) == 0 ? DriveType::Removable : DriveType::Fixed;
    });
  }
  ~PhotoViewerLookup() override { SetDriveTypeOverride(nullptr); }
  std::string Put(const std::string& folder, const std::string& name, long age) {
    std::string path = folder + name;
    EXPECT_TRUE(WriteWholeFile(path, "#!/bin/sh\n"));
    SetAge(path, age);
    return path;
  }

  test::ScratchDir dir;
  std::string media, install, program, removable;
};

TEST_F(PhotoViewerLookup, NewestCopyOnAFixedDriveWinsAndTiesKeepTheEarliestFolder) {
  Put(media, "QLNView.EXE", 10);
  std::string newer = Put(install, "QLNView.EXE", 20);
  Put(program, "QLNView.EXE", 5);
  EXPECT_EQ(FindPhotoViewerIn({media, install, program}), newer);

  SetAge(newer, 10);  // now as old as the media folder's copy
  EXPECT_EQ(FindPhotoViewerIn({media, install, program}), media + "QLNView.EXE");
  // An empty installation folder is skipped.
  EXPECT_EQ(FindPhotoViewerIn({"", program}), program + "QLNView.EXE");
}

TEST_F(PhotoViewerLookup, CopiesOffFixedDrivesAreIgnored) {
  Put(removable, "QLNView.EXE", 50);
  EXPECT_EQ(FindPhotoViewerIn({removable}), "");
  // The older copy on a fixed drive wins over the newer removable one.
  std::string fixed = Put(program, "QLNView.EXE", 5);
  EXPECT_EQ(FindPhotoViewerIn({removable, program}), fixed);

  SetDriveTypeOverride([](const std::string&) { return DriveType::Remote; });
  EXPECT_EQ(FindPhotoViewerIn({removable, program}), "");
}

TEST_F(PhotoViewerLookup, SecondNameOnlyWhenTheFirstIsNowhere) {
  std::string second = Put(program, "QLNXMLViewer.EXE", 30);
  EXPECT_EQ(FindPhotoViewerIn({media, install, program}), second);
  // The preferred name wins even when it is older.
  std::string first = Put(removable, "QLNView.EXE", 1);
  EXPECT_EQ(FindPhotoViewerIn({media, removable, program}), second);
  std::string firstFixed = Put(install, "qlnview.exe", 1);  // the name matches without regard to case
  EXPECT_EQ(FindPhotoViewerIn({media, install, program}), firstFixed);
  (void)first;
}

TEST_F(PhotoViewerLookup, ModelLooksInMediaInstallationAndProgramFolders) {
  TMdlTreeView model;
  const std::string savedProgram = ProgramDir();
  SetProgramDir(program);
  EXPECT_EQ(model.FindPhotoViewer(), "");
  std::string inProgram = Put(program, "QLNView.EXE", 1);
  EXPECT_EQ(model.FindPhotoViewer(), inProgram);
  // The installation folder is read without a trailing separator.
  std::string inInstall = Put(install, "QLNView.EXE", 9);
  model.Services.ViewerInstallFolder = [this] { return install.substr(0, install.size() - 1); };
  EXPECT_EQ(model.FindPhotoViewer(), inInstall);
  SetProgramDir(savedProgram);
}

TEST(PhotoMediaMessage, NamesTheMediaThatCarryThePhotoFile) {
  EXPECT_EQ(PhotoMediaMessage({}), "");
  EXPECT_EQ(PhotoMediaMessage({2}),
            "現在のメディアに 'PHOTO.XML' がありません。\r\r2枚目のメディアを挿入し更新を行ってください。");
  EXPECT_EQ(PhotoMediaMessage({2, 3, 5}),
            "現在のメディアに 'PHOTO.XML' がありません。\r\r2, 3, 5枚目のいずれかのメディアを挿入し更新を行ってください。");
}

TEST(PhotoViewerDirectory, TheMediumsPhotoFolderWhenItHasThePhotoFile) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  test::ScratchDir dir;
  test::CopyTree(test::SamplePath("multi"), dir.Path());
  TMdlTreeView model;
  std::filesystem::remove(dir / "MEDIA1/PHOTO/PHOTO.XML");
  model.Load(dir / "MEDIA1");
  EXPECT_EQ(model.PhotoViewerDirectory(), "") << "medium 1 has no PHOTO.XML";
  model.Load(dir / "MEDIA2");
  EXPECT_EQ(model.PhotoViewerDirectory(), ResolveCase(dir / "MEDIA2/PHOTO") + "/");
  SetDriveTypeOverride(nullptr);
}

}  // namespace
}  // namespace dlvr
