// The full-text search of the delivery loaded in the main window.
//
//   TFullTextIndex      the index of the delivery's texts, built on a worker
//                       thread after each load (its readers at a lower
//                       priority, PDFs read by the PDF-facts worker
//                       processes); the next load cancels it, and its
//                       thread waits for the one before to end, so the GUI
//                       thread never waits for either. Questions asked
//                       before it is complete answer from the files read so
//                       far. It lives in the program's private work folder
//                       (never in the delivery), one file per delivery
//                       (kept while the same delivery is loaded again, so
//                       that unchanged files are not read twice; removed
//                       when another delivery is loaded and at exit), and
//                       holds at most search::kMaxIndexTextBytes of text
//                       (1 GB), search::kMaxFileTextBytes of one file.
//   TfrmFullTextSearch  "全文検索": a search box, the hits grouped by file
//                       (the page, line or field and the hit in its
//                       context, marked), how far the index has come, and
//                       the files that could not be searched with the
//                       reason. Enter or a double click on a hit selects
//                       the file's item in the tree and shows the place in
//                       the preview, marked (a PDF page with the text found
//                       outlined, a text's line highlighted).
//
// GUI thread only, but for the worker TFullTextIndex starts itself.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>

class QStatusBar;

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "search/index.h"

namespace dlvr {

class TFindHost;
class TMdlTreeView;

class TFullTextIndex : public QObject {
  Q_OBJECT
 public:
  explicit TFullTextIndex(QObject* parent = nullptr);
  // Cancels the indexing and waits for its thread.
  ~TFullTextIndex() override;

  // Starts indexing the delivery loaded in `view` (its files are listed
  // now, on the calling thread); the indexing of the one before is
  // cancelled and its hits are gone at once. Nothing when no delivery is
  // loaded.
  void Start(TMdlTreeView& view);
  // Stops the indexing soon (what was read stays searchable).
  void Cancel();

  // The hits of `query` in what is indexed now (none until the files'
  // list is in), at most `limit`.
  std::vector<search::TSearchHit> Find(const search::TQuery& query, std::size_t limit) const;
  // How far the index has come (all zero until the files' list is in).
  search::TAccount Account() const;
  // True from Start until the index is complete or cancelled.
  bool Running() const;
  // The index's file ("" for none, or when it is kept in memory).
  QString IndexFile() const;
  // Called on the worker once the files' names and fields are in, before
  // their contents are read (tests hold the index there).
  static inline std::function<void()> BeforeContents;

 signals:
  // A new delivery's index was started (the hits before are gone).
  void Started();
  // The index has come further (at most a few times a second); also once
  // when it has ended.
  void Progressed();

 private:
  struct TJob;
  void Deliver(const std::shared_ptr<TJob>& job);
  std::shared_ptr<TJob> job_;
};

// The status bar's "全文索引 N / M" while the index is built: a permanent
// label of `bar` (lblFullTextIndex), hidden while no index is under way.
QLabel* AddFullTextIndexLabel(QStatusBar* bar, TFullTextIndex* index);

class TfrmFullTextSearch : public QDialog {
  Q_OBJECT
 public:
  TfrmFullTextSearch(TFindHost& main, TFullTextIndex& index);

  // Shows the window (beside the main window's panes when it opens) with
  // the keyboard in the search box, its text selected.
  void ShowSearch();
  // Searches for the text in the box; the number of hits. A search made
  // before the index was complete is made again when it is (the box left
  // as it is, the hit that was current kept current when it is found again).
  int Search();
  // Shows the hit of a result row (a file's row: its first hit).
  void ShowHit(QTreeWidgetItem* row);

  // At most this many hits are listed.
  static constexpr std::size_t kMaxHits = 1000;

  QLabel* lblFullText = nullptr;
  QLineEdit* edtFullText = nullptr;
  QPushButton* btnFullTextFind = nullptr;
  // "索引作成中: N / M ファイル ..." while the index is not complete, then
  // the number of hits.
  QLabel* lblFullTextState = nullptr;
  // The hits: a row per file, under it a row per hit (where; the context).
  QTreeWidget* tvwFullTextHits = nullptr;
  // The files that could not be searched, with the reason.
  QLabel* lblFullTextNotSearched = nullptr;
  QTreeWidget* lstFullTextNotSearched = nullptr;
  QPushButton* btnFullTextClose = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void UpdateState();
  void Clear();
  // Lists the hits of `text`; with `keepPlace` the current hit and the
  // list's scrolling stay where they were when the hit is found again.
  int SearchFor(const QString& text, bool keepPlace);

  TFindHost& main_;
  TFullTextIndex& index_;
  bool searched_ = false;
  QString searchedText_;         // the text of the hits shown
  bool searchedIncomplete_ = false;  // shown while the index was being built
  bool placed_ = false;
  std::size_t hits_ = 0;
  std::size_t hitFiles_ = 0;
};

// Opens the full-text search window of a main window (made at the first
// call, owned by it).
TfrmFullTextSearch* ShowFullTextSearch(TFindHost& main, TFullTextIndex& index, TfrmFullTextSearch*& window);

}  // namespace dlvr
