// The input of the full check for a delivery as the tree has loaded it:
// its media, records, the data check's rows, the drawing kind lists, the
// files the photo management files list and the photo rule set's findings.
#include <memory>

#include "check/data_check.h"
#include "check/extended_check.h"
#include "model/tree_view.h"
#include "photo/photo_check.h"
#include "photo/photo_records.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

TExtendedInput ExtendedInputFor(TMdlTreeView& view) {
  TExtendedInput input;
  input.Store = &view.Store();
  RunDataCheck(view, input.DataCheckRows);
  input.DrawKindLines = view.DrawKindLines;
  input.DrawNameLines = view.DrawNameLines;
  std::vector<TPhotoMedium> photoMedia;
  for (const auto& m : view.ReachableMedia()) {
    input.Media.push_back({m.MediaNo, m.Folder});
    photoMedia.push_back({m.MediaNo, m.Folder});
  }
  const auto photoStore = std::make_shared<TPhotoStore>();
  TPhotoStore& photos = *photoStore;
  photos.Load(photoMedia);
  for (const TPhotoMediumFolders& m : photos.Media()) {
    // Listed photos and reference drawings, relative to their medium.
    auto relative = [&](const std::string& folder, const std::string& name) {
      if (folder.empty() || name.empty() || folder.rfind(m.Folder, 0) != 0) return;
      input.PhotoFiles.push_back(folder.substr(m.Folder.size()) + name);
    };
    for (const TPhotoRecord& r : photos.Records()) {
      relative(m.PhotoFolder, r.FileName);
      for (const TPhotoReference& ref : r.References) relative(m.DrawingFolder, ref.FileName);
    }
  }
  // The photo rule set's findings, each on the medium holding its file. A
  // file not found is placed in the photo (or drawing) folder of its
  // record's medium.
  TPhotoCheckPeriod period;
  if (const auto& indexes = view.Store().IndexRecords; !indexes.empty())
    period = {indexes[0].StartDate, indexes[0].EndDate};
  if (!photos.Empty())
    input.PhotoFindings = [photoStore, period] {
      const TPhotoStore& photos = *photoStore;
      std::vector<TFinding> rows;
      for (const TPhotoFinding& f : CheckPhotos(photos, period)) {
        TFinding& row = rows.emplace_back();
        row.Severity = f.Warning ? TSeverity::Warning : TSeverity::Error;
        row.Rule = Arg(Tr("ExtendedCheck", "写真・%1"), {f.Field});
        row.Found = f.State;
        std::string path = f.Path;
        if (path.empty() && f.Record >= 0) {
          const TPhotoRecord& r = photos.Records()[static_cast<std::size_t>(f.Record)];
          const TPhotoFile& file = photos.Files()[static_cast<std::size_t>(r.FileIndex)];
          const bool drawing = f.FileName != r.FileName;
          const std::string& folder = drawing ? file.DrawingFolder : file.PhotoFolder;
          path = (folder.empty() ? file.MediumFolder + (drawing ? "PHOTO/DRA/" : "PHOTO/PIC/") : folder) + f.FileName;
          const long no = WholeNumber(r.MediaNo);
          row.Medium = std::to_string(no > 0 ? no : file.MediaNo);
        }
        const TPhotoMediumFolders* holder = nullptr;
        for (const TPhotoMediumFolders& m : photos.Media())
          if (path.rfind(m.Folder, 0) == 0 && (!holder || m.Folder.size() > holder->Folder.size())) holder = &m;
        if (holder && row.Medium.empty()) row.Medium = std::to_string(holder->MediaNo);
        row.Path = holder ? path.substr(holder->Folder.size()) : ExtractFileName(path);
      }
      return rows;
    };
  return input;
}

}  // namespace dlvr
