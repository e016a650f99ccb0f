// TfrmFindFiles: the file search window. It walks a folder and every folder
// below it for files whose names match a pattern and lists them; the user
// picks one (or, in the multi-selection mode, several).
//
// Used by the folder selection dialog to find delivery folders by their
// INDEX_C.XML, and by the main window as its general data file search.
//
// Controls (object names): lblFindFolder (the folder, at most 30 characters,
// the full path as tooltip), lblFindInfo (status line), anmFind (busy
// animation), bbtFind "検索開始", bbtAbort "検索中止", edtPattern (the file
// name pattern, shown only in the general search), lvwFind (the results),
// bbtOk "OK" and bbtCancel "ｷｬﾝｾﾙ".
//
// The walk runs on the GUI thread and processes events as it goes; while it
// runs, closing the window (Escape, the close button) stops it instead.
#pragma once

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QFileIconProvider;
class QLineEdit;
class QMimeDatabase;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace dlvr {

class TExtRegistry;

// A file size as the result list shows it: "1,023 ﾊﾞｲﾄ", "1.5 KB",
// "1,024.0 KB", "3.2 MB", "1.00 GB" (thousands grouped with ',').
QString FormatFileSize(qint64 size);

// Whether a file name matches a pattern with the wildcards '*' (any run of
// characters) and '?' (one character), without regard to case. Every other
// character stands for itself. A pattern ending in ".*" also matches names
// without an extension ("*.*" matches every name).
bool MatchesFilePattern(const QString& name, const QString& pattern);

// What the folder walk reports. Continue is asked between entries (it may
// process events); when it returns false the walk ends at once, without
// another report, returning what it found so far.
struct TFolderWalkHooks {
  std::function<bool()> Continue;
  std::function<void(const QString& folder)> OnFolder;  // before its files are listed
  std::function<void(const QString& file)> OnFound;
};

// Collects `startFolder` and, depth first, every folder below it (hidden ones
// included; symbolic links to folders are not followed, folders that cannot
// be read are skipped), then lists in each of them, in that order, the files
// whose names match `pattern` (hidden files included). Folders are given with
// a trailing '/'; names in a folder are taken in case-insensitive order.
// Returns the full paths of the files found.
QStringList WalkFolders(const QString& startFolder, const QString& pattern, const TFolderWalkHooks& hooks);

// A label that shows at most MaxChars characters of its text (a path loses
// its leading folders first) and the whole text as tooltip.
class THintLabel : public QLabel {
  Q_OBJECT
 public:
  explicit THintLabel(QWidget* parent = nullptr);
  int MaxChars = 30;
  void SetFullText(const QString& text);
  QString FullText() const { return fullText_; }

 private:
  QString fullText_;
};

// A small turning wheel shown while something runs.
class TBusyAnimation : public QWidget {
  Q_OBJECT
 public:
  explicit TBusyAnimation(QWidget* parent = nullptr);
  void Start();
  void Stop();
  bool Active() const;
  QSize sizeHint() const override { return QSize(16, 16); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer* timer_ = nullptr;
  int step_ = 0;
};

class TfrmFindFiles : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmFindFiles(QWidget* parent = nullptr);
  ~TfrmFindFiles() override;

  // Modal search below `startFolder` for files matching `pattern` (wildcards
  // * ?, case-insensitive); true with the chosen file's full path in
  // `pattern` when the user pressed OK on a row.
  static bool FindFiles(QWidget* parent, const QString& startFolder, QString& pattern);
  // Multi-selection: every selected result appended to `chosen`.
  static bool FindFiles(QWidget* parent, const QString& startFolder, const QString& pattern, QStringList& chosen);
  // The general data file search: the user's home folder and a pattern the
  // user types (edtPattern, "*" at first); the search starts when the user
  // asks for it. OK opens the chosen file with the desktop's default
  // application.
  static void FindGeneral(QWidget* parent);

  // Set before the window is shown.
  void SetStartFolder(const QString& folder);
  QString StartFolder() const { return startFolder_; }
  void SetPattern(const QString& pattern);
  QString Pattern() const;
  void SetMultiSelect(bool multi);
  // Shows edtPattern and leaves the first search to the user.
  void SetGeneralMode(bool general);

  // Runs a search now (what "検索開始" does); nothing while one runs.
  void StartSearch();
  // What "検索中止" does: the running search ends after the current entry.
  void StopSearch() { stop_ = true; }
  bool Searching() const { return searching_; }
  // Whether a search has run to its end (or was stopped).
  bool HasSearched() const { return searched_; }

  // The full paths found, in the order of the list rows.
  const QStringList& Results() const { return results_; }
  // After OK: the results of the selected rows, in row order.
  const QStringList& Chosen() const { return chosen_; }

 signals:
  void FileFound(const QString& file);
  void SearchFinished();

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateButtons();
  void SetStatus(const QString& text);
  void AddRow(const QString& file);
  QIcon IconFor(const QString& file);
  void bbtOkClick();
  void ReadColumnWidths();
  void WriteColumnWidths();

  THintLabel* lblFindFolder_ = nullptr;
  QLabel* lblFindInfo_ = nullptr;
  TBusyAnimation* anmFind_ = nullptr;
  QPushButton* bbtFind_ = nullptr;
  QPushButton* bbtAbort_ = nullptr;
  QLineEdit* edtPattern_ = nullptr;
  QWidget* pnlPattern_ = nullptr;
  QTreeWidget* lvwFind_ = nullptr;
  QPushButton* bbtOk_ = nullptr;
  QPushButton* bbtCancel_ = nullptr;

  QString startFolder_;
  QStringList results_;
  QStringList chosen_;
  bool searching_ = false;
  bool searched_ = false;
  bool stop_ = false;
  bool firstActivation_ = true;
  bool generalMode_ = false;

  std::unique_ptr<QFileIconProvider> icons_;
  std::unique_ptr<QMimeDatabase> mime_;
  QHash<QString, QIcon> iconCache_;  // by lower-case suffix
  std::unique_ptr<TExtRegistry> ExRg_;
};

}  // namespace dlvr
