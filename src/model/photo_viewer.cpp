#include "model/photo_viewer.h"

#include <sys/stat.h>

#include "model/tree_view.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

namespace {

// Modification time in whole seconds; -1 when the file cannot be read.
long long ModifiedSeconds(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_mtime);
}

std::string Trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

std::string NewestFixedCopy(const std::vector<std::string>& folders, const std::string& fileName) {
  std::string result;
  long long resultTime = -1;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    auto file = FileInFolder(folder, fileName);
    if (!file || GetDriveType(*file) != DriveType::Fixed) continue;
    const long long t = ModifiedSeconds(*file);
    if (Trimmed(result).empty() || t > resultTime) {
      result = *file;
      resultTime = t;
    }
  }
  return result;
}

std::string FindPhotoViewerIn(const std::vector<std::string>& folders) {
  for (const char* name : kPhotoViewerFiles) {
    std::string found = NewestFixedCopy(folders, name);
    if (FileExists(found)) return found;
  }
  return std::string();
}

std::string PhotoMediaMessage(const std::vector<int>& photoMedia) {
  if (photoMedia.empty()) return std::string();
  std::string media = std::to_string(photoMedia[0]);
  for (std::size_t i = 1; i < photoMedia.size(); ++i) media += ", " + std::to_string(photoMedia[i]);
  if (photoMedia.size() == 1)
    return Arg(Tr("PhotoViewer", "現在のメディアに 'PHOTO.XML' がありません。\r\r%1枚目のメディアを挿入し更新を行ってください。"),
               {media});
  return Arg(Tr("PhotoViewer",
                "現在のメディアに 'PHOTO.XML' がありません。\r\r%1枚目のいずれかのメディアを挿入し更新を行ってください。"),
             {media});
}

std::string TMdlTreeView::FindPhotoViewer() const {
  std::string ins = Services.ViewerInstallFolder ? Services.ViewerInstallFolder() : std::string();
  if (!ins.empty()) ins = WithTrailingSlash(ToSlashes(ins));
  return FindPhotoViewerIn({mediaFolder_, ins, ProgramDir()});
}

std::string TMdlTreeView::PhotoFilePath() const {
  if (mediaFolder_.empty()) return std::string();
  const std::string photo =
      ResolveCase(mediaFolder_ + DocClassTable[5].Folder + "/" + DocClassTable[5].Xml);
  return FileExists(photo) ? photo : std::string();
}

std::string TMdlTreeView::PhotoViewerDirectory() const {
  if (PhotoFilePath().empty()) return std::string();
  std::string directory;
  // An item of the photo class that stands for the photo management file.
  if (TTreeItem* photoClass = FindClassNode(5)) {
    for (int i = 0; i < photoClass->Count(); ++i) {
      const TTreeItem* c = photoClass->Item(i);
      std::string path = GetFileItem(c, 1);
      if (AsciiUpper(ExtractFileName(path)) != "PHOTO.XML") continue;
      if (!FileExists(path)) {
        const int n = NodeNumber(c);
        if (n >= 0 && static_cast<std::size_t>(n) < Attachments.size())
          path = Attachments[static_cast<std::size_t>(n)].Slots[2];
      }
      if (FileExists(path)) {
        directory = ExtractFilePath(path);
        break;
      }
    }
  }
  // The photo folder of the medium itself wins.
  const std::string standard = ResolveCase(mediaFolder_ + "Photo/Photo.XML");
  if (FileExists(standard)) directory = ExtractFilePath(standard);
  return directory;
}

}  // namespace dlvr
