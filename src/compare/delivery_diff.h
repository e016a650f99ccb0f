// The comparison of a resubmitted delivery with the delivery it corrects, as
// an inspector reads them: the construction information of INDEX_C.XML field
// by field, the records of the sub-management files and of PHOTO.XML matched
// by identity (not by position) and compared field by field, and every other
// file of the media by path and content. The management files themselves are
// compared as records and fields only, never as files; their DTDs and
// stylesheets are files like any other.
//
// Nothing here writes into either delivery, and no symbolic link is followed
// out of a medium. Readers never throw: a file that cannot be read is named
// in the result's problems and compares unequal to every other file.
//
// Record identity:
// - drawings (発注図面, 完成図面): 図面ファイル名, without regard to ASCII case;
// - meetings, plans and other documents: first the names of their original
//   files (オリジナルファイル名 of every original, in record order, without
//   regard to ASCII case; a record without one has no such identity); the
//   records left unmatched then by name and date: 打合せ簿名称 + 発行日付 for
//   meetings, 施工計画書名称 for plans, 資料名 for other documents (plans and
//   other documents carry no date);
// - photos: 写真ファイル名 without regard to ASCII case, else シリアル番号.
// Records of one identity are paired in order (the second of a name in OLD
// with the second in NEW). Position is not identity: a record inserted in the
// middle is one added record, a record moved within its list is no change.
// Nor is a シリアル番号 that is the record's running number on both sides (its
// place in its list, counted from 1): the renumbering an insertion brings.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "delivery/records.h"
#include "photo/photo_records.h"

namespace dlvr {

class TMdlTreeView;

enum class TChangeKind : std::uint8_t { Added, Removed, Changed, Moved };
enum class TChangeWhat : std::uint8_t { File, Record, Field };

// One change. Where is the printed place: a file's path (relative to its
// medium folder, '/' separators, NEW's spelling where NEW has the file; a
// file on a further medium whose path the first medium holds too is written
// "N:path" with N its medium number), or the class caption and the record
// caption, for a field also its name, joined by " / ". The structured parts
// say the same for a viewer.
struct TChange {
  TChangeKind Kind = TChangeKind::Changed;
  TChangeWhat What = TChangeWhat::File;
  std::string Where;
  // Field changes: the old and new value (empty for an added or removed
  // list item's other side). Moved files: the old and the new path.
  std::string Old, New;

  // The class (0 for INDEX_C.XML and for files; 1 発注図面, 2 打合せ簿,
  // 3 施工計画書, 4 完成図面, 5 写真, 6 その他), the record's place in OLD's
  // and NEW's list of that class (-1 where it has none), and the field's
  // name as printed ("工種[2]", "オリジナルファイル情報[1] / 打合せ簿オリジナルファイル名").
  int Class = 0;
  int OldRecord = -1, NewRecord = -1;
  // A removed record: the place in NEW's list of the record it followed in
  // OLD (-1 when it followed none that NEW has), where a viewer shows it.
  int AfterRecord = -1;
  std::string Field;
  // Files: the path in OLD and in NEW as printed ("" where absent), and
  // the file's full path on disk on each side.
  std::string OldPath, NewPath;
  std::string OldFile, NewFile;

  static const char* KindName(TChangeKind kind);  // "added", "removed", "changed", "moved"
  static const char* WhatName(TChangeWhat what);  // "file", "record", "field"
};

// A medium of a compared delivery: its number and folder (ending in '/').
struct TComparedMedium {
  int MediaNo = 0;
  std::string Folder;
};

// What of a delivery is compared: the construction information, the records
// and the media whose files are compared. Made by ReadComparedDelivery or
// ComparedDeliveryOf; plain data that can be kept while the viewer goes on.
struct TComparedDelivery {
  TMdlTreeNodeIndex Index;
  std::vector<TMdlTreeNodeDraw> OrderDrawings, FinalDrawings;
  std::vector<TMdlTreeNodeMeet> Meetings;
  std::vector<TMdlTreeNodePlan> Plans;
  std::vector<TMdlTreeNodeOthrs> Others;
  std::vector<TPhotoRecord> Photos;
  std::vector<TComparedMedium> Media;  // in load order
};

// What a read of an earlier delivery may be told and asked.
struct TReadComparedOptions {
  // Told what the read is at (a class caption and the medium number, or
  // "" while the photos are read), on the reading thread.
  std::function<void(const std::string& what, int media)> OnProgress;
  // Set (from any thread) to stop: the read returns what it has so far at
  // the next folder or step. Null: never stopped.
  const std::atomic<bool>* Cancel = nullptr;
  // Whether the photo management files are read.
  bool Photos = true;
};

// Loads `folders` as the viewer's model loads folders on a disk (the first
// the delivery, the others its further media) into a store of its own, and
// reads the photo management file of each medium. Every folder is read as a
// fixed disk, so that no medium is asked for, and any question of the load
// is answered by nobody: both on the calling thread alone, whatever the
// process-wide drive rules and prompts are, so that the read may run on a
// worker thread. Writes nothing. *loadedMedia (when given) is the number of
// distinct media the folders gave: fewer than folders when a folder held no
// further medium of the delivery.
TComparedDelivery ReadComparedDelivery(const std::vector<std::string>& folders, std::size_t* loadedMedia = nullptr,
                                       const TReadComparedOptions& options = {});

// The delivery a viewer's model holds: its store's records and its
// reachable media (the photo records read from them unless `photos` is
// false; ReadComparedPhotos reads them later, on any thread).
TComparedDelivery ComparedDeliveryOf(TMdlTreeView& view, bool photos = true);
void ReadComparedPhotos(TComparedDelivery& delivery);

struct TCompareOptions {
  // Threads that hash files (at least 1).
  int HashThreads = 2;
  // Told of a file that could not be read (its full path and why).
  std::function<void(const std::string& path, const std::string& why)> OnProblem;
  // Set (from any thread) to stop: the comparison then returns no changes
  // soon after. Null: never stopped.
  const std::atomic<bool>* Cancel = nullptr;
};

// Every change from `older` to `newer`, in the printed order: INDEX_C.XML's
// fields (all but メディア番号, which names the medium read last); then the classes in tree order (発注図面, 打合せ簿, 施工計画書,
// 完成図面, 写真, その他), records in NEW's order, a removed record after the
// record it followed in OLD (before all when it followed none), a matched
// record's changed fields in field order; then the files by printed path
// (byte order). Empty when the deliveries are the same. Reads files and
// nothing global: it may run on a worker thread (OnProblem is called on the
// thread that called it), while ComparedDeliveryOf belongs to the thread
// that owns the model.
std::vector<TChange> CompareDeliveries(const TComparedDelivery& older, const TComparedDelivery& newer,
                                       const TCompareOptions& options = {});

}  // namespace dlvr
