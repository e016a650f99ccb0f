// TFindingList: a list of check findings to work through, shared by the data
// check's error list and the delivery check's findings window. Above the
// list a filter row (severity, rule, medium, free text) and a toggle that
// groups the findings by rule, each group with its count and expandable;
// the list sorts by any column (a header click: ascending, descending, then
// the order the findings came in). Double-click or Enter on a finding
// reports it (Activated, with the finding's index in the rows given).
//
// The rows live in one item model (TFindingModel) under a sort and filter
// proxy (TFindingProxy): nothing is made per row but its texts, so lists of
// a hundred thousand findings open, sort and filter in well under a second.
// GUI thread only.
//
// Controls (object names): cbxSeverity, cbxRule, cbxMedium, edtFilter,
// chkGroup, lblShown (filter row); tvwFindings (the list).
#pragma once

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <vector>

namespace dlvr {

// What the columns of a list are: their headings and which of them play a
// part in filtering and grouping (-1: none).
struct TFindingColumns {
  QStringList Headers;
  int Severity = -1;  // sorted by severity (error, warning, information), coloured
  int Rule = -1;      // the rule filter and the groups
  int Medium = -1;    // the medium filter
  int Number = -1;    // sorted as a number
  // Columns 1..N shown blank where the row above (as shown) holds the same
  // texts in columns 1..that column: a record's repeated names show once.
  int BlankRepeatedUpTo = 0;
  // The severities' names (error, warning, information) for the filter.
  QStringList SeverityNames;
  // Columns of paths: a text too long for its column is shortened in the
  // middle, so that the file name at its end stays in sight (other texts
  // end in "…").
  QList<int> PathColumns;
};

// One finding: its texts, one per column, and its severity (0 error,
// 1 warning, 2 information, -1 none).
struct TFindingRow {
  QStringList Cells;
  int Severity = -1;
};

// The findings as a flat list, or grouped under their rules (a group row
// per rule, in the order rules first come). Column 0 of a group row holds
// the rule; the count of its findings is the proxy's (what the filter
// leaves).
class TFindingModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  // Sorting role: numbers and severities as numbers, other texts as they are.
  static constexpr int SortRole = Qt::UserRole + 1;
  // The finding's index in the rows given (-1 for a group row).
  static constexpr int FindingRole = Qt::UserRole + 2;

  explicit TFindingModel(QObject* parent = nullptr);

  void SetColumns(const TFindingColumns& columns);
  const TFindingColumns& Columns() const { return columns_; }
  void SetRows(std::vector<TFindingRow> rows);
  const std::vector<TFindingRow>& Rows() const { return rows_; }
  void SetGrouped(bool grouped);
  bool Grouped() const { return grouped_; }
  // The groups' rules in order of first appearance, and each group's rows.
  const QStringList& Rules() const { return rules_; }
  // The value of the number column of a finding (0 without one).
  long long NumberOf(int finding) const {
    return finding >= 0 && static_cast<std::size_t>(finding) < numbers_.size() ? numbers_[static_cast<std::size_t>(finding)]
                                                                               : 0;
  }
  // The colour of an error's severity (shown bold); set from the palette.
  QColor ErrorColor{0xC0, 0, 0};

  // The finding at an index (-1 for a group row or an invalid index).
  int FindingAt(const QModelIndex& index) const;
  bool IsGroup(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void Regroup();

  TFindingColumns columns_;
  std::vector<TFindingRow> rows_;
  bool grouped_ = false;
  QStringList rules_;
  std::vector<std::vector<int>> members_;  // per group, the findings in it
  std::vector<long long> numbers_;         // the number column, read once
};

// What the filter row asks for ("" / -1: anything).
struct TFindingFilter {
  int Severity = -1;
  QString Rule;
  QString Medium;
  QString Text;  // in any column, without regard to case
};

class TFindingProxy : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit TFindingProxy(QObject* parent = nullptr);
  void SetFinding(TFindingModel* model);
  void SetFilter(const TFindingFilter& filter);
  const TFindingFilter& Filter() const { return filter_; }
  // Findings that pass the filter.
  int ShownFindings() const;

  QVariant data(const QModelIndex& index, int role) const override;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  bool Accepts(const TFindingRow& row) const;
  TFindingModel* model_ = nullptr;
  TFindingFilter filter_;
  QString text_;  // the filter text, trimmed
};

class TFindingList : public QWidget {
  Q_OBJECT
 public:
  explicit TFindingList(QWidget* parent = nullptr);

  void SetColumns(const TFindingColumns& columns);
  // Shows the findings anew: the filter row offers their rules and media,
  // a filter that still applies stays, the sort stays, the first row is
  // current; the columns are sized to the texts.
  void SetRows(std::vector<TFindingRow> rows);
  const std::vector<TFindingRow>& Rows() const { return model_->Rows(); }

  // The shown rows of the list at the top level (findings, or groups when
  // grouped) and the text a cell shows there; row -1 is the heading.
  int ShownRows() const;
  QString ShownText(int col, int row) const;
  // The finding shown at a top-level row (-1 for a group or no row).
  int FindingAtRow(int row) const;
  // The finding of the current row (-1 for none or a group).
  int CurrentFinding() const;
  // Makes the finding's row current (expanding its group); false when the
  // filter hides it.
  bool SelectFinding(int finding);
  void SetGrouped(bool grouped);
  // Sizes the columns to their headings and texts (in the font shown); the
  // last takes the room left.
  void FitColumns();
  // The width that shows every column at its fitted width (with the frame
  // and the vertical scroll bar).
  int WantedWidth() const;

  TFindingModel* Model() const { return model_; }
  TFindingProxy* Proxy() const { return proxy_; }

  QComboBox* cbxSeverity = nullptr;
  QComboBox* cbxRule = nullptr;
  QComboBox* cbxMedium = nullptr;
  QLineEdit* edtFilter = nullptr;
  QCheckBox* chkGroup = nullptr;
  QLabel* lblShown = nullptr;
  QTreeView* tvwFindings = nullptr;

 signals:
  // Double-click or Enter on a finding: its index in the rows given.
  void Activated(int finding);
  // The filter changed what is shown.
  void Filtered();

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void ApplyFilter();
  void FillChoices();
  void UpdateShown();
  void SpanGroups();
  void UpdateErrorColor();
  void ActivateIndex(const QModelIndex& index);

  TFindingModel* model_ = nullptr;
  TFindingProxy* proxy_ = nullptr;
  QTimer* textTimer_ = nullptr;
  int lastWanted_ = 0;  // the width the last column's texts want
};

}  // namespace dlvr
