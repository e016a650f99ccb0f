#include "components/finding_list.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

#include "components/legible_color.h"

namespace dlvr {
namespace {

// Group rows carry internal id 0; a finding under group g carries g + 1.
constexpr quintptr kTop = 0;

// The rows whose texts size a column: all of a short list, else rows spread
// evenly over it.
constexpr int kSampledRows = 1000;
// No column but the last grows beyond this many "0" characters.
constexpr int kMostColumnChars = 60;

// Cut texts end in "…", paths lose their middle instead.
class TFindingDelegate : public QStyledItemDelegate {
 public:
  TFindingDelegate(const TFindingModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode =
        model_->Columns().PathColumns.contains(index.column()) ? Qt::ElideMiddle : Qt::ElideRight;
  }

 private:
  const TFindingModel* model_;
};

}  // namespace

// --- TFindingModel ----------------------------------------------------------

TFindingModel::TFindingModel(QObject* parent) : QAbstractItemModel(parent) {}

void TFindingModel::SetColumns(const TFindingColumns& columns) {
  beginResetModel();
  columns_ = columns;
  Regroup();
  endResetModel();
}

void TFindingModel::SetRows(std::vector<TFindingRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  Regroup();
  endResetModel();
}

void TFindingModel::SetGrouped(bool grouped) {
  if (grouped == grouped_) return;
  beginResetModel();
  grouped_ = grouped;
  Regroup();
  endResetModel();
}

void TFindingModel::Regroup() {
  numbers_.clear();
  if (columns_.Number >= 0) {
    numbers_.reserve(rows_.size());
    for (const TFindingRow& r : rows_) numbers_.push_back(r.Cells.value(columns_.Number).toLongLong());
  }
  rules_.clear();
  members_.clear();
  const int rule = columns_.Rule;
  if (rule < 0) return;
  QHash<QString, int> groupOf;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
    const QString r = rows_[static_cast<std::size_t>(i)].Cells.value(rule);
    auto it = groupOf.find(r);
    if (it == groupOf.end()) {
      it = groupOf.insert(r, static_cast<int>(rules_.size()));
      rules_ << r;
      members_.emplace_back();
    }
    members_[static_cast<std::size_t>(*it)].push_back(i);
  }
}

int TFindingModel::FindingAt(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return -1;
  if (!grouped_) return index.row() < static_cast<int>(rows_.size()) ? index.row() : -1;
  if (index.internalId() == kTop) return -1;
  const auto& members = members_[static_cast<std::size_t>(index.internalId() - 1)];
  return index.row() < static_cast<int>(members.size()) ? members[static_cast<std::size_t>(index.row())] : -1;
}

bool TFindingModel::IsGroup(const QModelIndex& index) const {
  return grouped_ && index.isValid() && index.model() == this && index.internalId() == kTop;
}

QModelIndex TFindingModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= columnCount() || row >= rowCount(parent)) return {};
  if (!parent.isValid()) return createIndex(row, column, kTop);
  return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex TFindingModel::parent(const QModelIndex& child) const {
  if (!grouped_ || !child.isValid() || child.internalId() == kTop) return {};
  return createIndex(static_cast<int>(child.internalId() - 1), 0, kTop);
}

int TFindingModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return grouped_ ? static_cast<int>(rules_.size()) : static_cast<int>(rows_.size());
  if (!grouped_ || parent.column() != 0 || parent.internalId() != kTop) return 0;
  return static_cast<int>(members_[static_cast<std::size_t>(parent.row())].size());
}

int TFindingModel::columnCount(const QModelIndex&) const { return static_cast<int>(columns_.Headers.size()); }

QVariant TFindingModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (IsGroup(index)) {
    const QString& rule = rules_.value(index.row());
    if (role == Qt::DisplayRole || role == SortRole) return index.column() == 0 ? rule : QString();
    if (role == Qt::FontRole) {
      QFont font;
      font.setBold(true);
      return font;
    }
    if (role == FindingRole) return -1;
    return {};
  }
  const int finding = FindingAt(index);
  if (finding < 0) return {};
  const TFindingRow& row = rows_[static_cast<std::size_t>(finding)];
  const int col = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return row.Cells.value(col);
    case SortRole:
      if (col == columns_.Severity) return row.Severity;
      if (col == columns_.Number) return NumberOf(finding);
      return row.Cells.value(col);
    case FindingRole:
      return finding;
    case Qt::ForegroundRole:
      if (col == columns_.Severity && row.Severity == 0) return ErrorColor;
      return {};
    case Qt::FontRole:
      if (col == columns_.Severity && row.Severity == 0) {
        QFont font;
        font.setBold(true);
        return font;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (col == columns_.Number) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      if (col == columns_.Medium) return QVariant::fromValue(Qt::AlignHCenter | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

QVariant TFindingModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return columns_.Headers.value(section);
}

Qt::ItemFlags TFindingModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// --- TFindingProxy ----------------------------------------------------------

TFindingProxy::TFindingProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(TFindingModel::SortRole);
  // A group stays while any of its findings passes.
  setRecursiveFilteringEnabled(true);
  setDynamicSortFilter(false);
}

void TFindingProxy::SetFinding(TFindingModel* model) {
  model_ = model;
  setSourceModel(model);
}

void TFindingProxy::SetFilter(const TFindingFilter& filter) {
  filter_ = filter;
  text_ = filter.Text.trimmed();
  invalidateFilter();
}

bool TFindingProxy::Accepts(const TFindingRow& row) const {
  const TFindingColumns& c = model_->Columns();
  if (filter_.Severity >= 0 && c.Severity >= 0 && row.Severity != filter_.Severity) return false;
  if (!filter_.Rule.isNull() && c.Rule >= 0 && row.Cells.value(c.Rule) != filter_.Rule) return false;
  if (!filter_.Medium.isNull() && c.Medium >= 0 && row.Cells.value(c.Medium) != filter_.Medium) return false;
  if (text_.isEmpty()) return true;
  for (const QString& cell : row.Cells)
    if (cell.contains(text_, Qt::CaseInsensitive)) return true;
  return false;
}

bool TFindingProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  if (!model_) return true;
  const QModelIndex index = model_->index(sourceRow, 0, sourceParent);
  // A group row is shown for its findings (recursive filtering).
  if (model_->IsGroup(index)) return false;
  const int finding = model_->FindingAt(index);
  return finding >= 0 && Accepts(model_->Rows()[static_cast<std::size_t>(finding)]);
}

bool TFindingProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  if (model_->IsGroup(left) || model_->IsGroup(right))
    return model_->Rules().value(left.row()) < model_->Rules().value(right.row());
  const int a = model_->FindingAt(left), b = model_->FindingAt(right);
  if (a < 0 || b < 0) return a < b;
  const TFindingColumns& c = model_->Columns();
  const TFindingRow& ra = model_->Rows()[static_cast<std::size_t>(a)];
  const TFindingRow& rb = model_->Rows()[static_cast<std::size_t>(b)];
  const int col = left.column();
  if (col == c.Severity) return ra.Severity < rb.Severity;
  if (col == c.Number) return model_->NumberOf(a) < model_->NumberOf(b);
  // Ties keep the order the findings came in (the sort is stable).
  return QString::compare(ra.Cells.value(col), rb.Cells.value(col)) < 0;
}

int TFindingProxy::ShownFindings() const {
  if (!model_) return 0;
  if (!model_->Grouped()) return rowCount();
  int n = 0;
  for (int g = 0; g < rowCount(); ++g) n += rowCount(index(g, 0));
  return n;
}

QVariant TFindingProxy::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !model_) return {};
  const QModelIndex source = mapToSource(index);
  if (role == Qt::DisplayRole && model_->IsGroup(source) && index.column() == 0)
    return QCoreApplication::translate("TFindingList", "%1（%2件）").arg(model_->Rules().value(source.row())).arg(rowCount(index.sibling(index.row(), 0)));
  const int col = index.column();
  const int upTo = model_->Columns().BlankRepeatedUpTo;
  if (role == Qt::DisplayRole && col >= 1 && col <= upTo && index.row() > 0) {
    const int a = model_->FindingAt(source);
    const int b = model_->FindingAt(mapToSource(this->index(index.row() - 1, 0, index.parent())));
    if (a >= 0 && b >= 0) {
      const QStringList& ca = model_->Rows()[static_cast<std::size_t>(a)].Cells;
      const QStringList& cb = model_->Rows()[static_cast<std::size_t>(b)].Cells;
      bool same = true;
      for (int k = 1; k <= col && same; ++k) same = ca.value(k) == cb.value(k);
      if (same) return QString();
    }
  }
  return QSortFilterProxyModel::data(index, role);
}

// --- TFindingList -----------------------------------------------------------

TFindingList::TFindingList(QWidget* parent) : QWidget(parent) {
  setObjectName("lstFindings");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(4, 2, 4, 2);
  auto combo = [this, bar](const char* name) {
    auto* c = new QComboBox(this);
    c->setObjectName(name);
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    c->setMaximumWidth(360);
    bar->addWidget(c);
    c->hide();
    return c;
  };
  cbxSeverity = combo("cbxSeverity");
  cbxRule = combo("cbxRule");
  cbxMedium = combo("cbxMedium");
  edtFilter = new QLineEdit(this);
  edtFilter->setObjectName("edtFilter");
  edtFilter->setClearButtonEnabled(true);
  edtFilter->setPlaceholderText(QCoreApplication::translate("TFindingList", "絞り込み（全ての列）"));
  edtFilter->setMinimumWidth(160);
  bar->addWidget(edtFilter, 1);
  chkGroup = new QCheckBox(this);
  chkGroup->setObjectName("chkGroup");
  chkGroup->hide();
  bar->addWidget(chkGroup);
  lblShown = new QLabel(this);
  lblShown->setObjectName("lblShown");
  bar->addWidget(lblShown);
  layout->addLayout(bar);

  model_ = new TFindingModel(this);
  proxy_ = new TFindingProxy(this);
  proxy_->SetFinding(model_);

  tvwFindings = new QTreeView(this);
  tvwFindings->setObjectName("tvwFindings");
  tvwFindings->setModel(proxy_);
  tvwFindings->setRootIsDecorated(false);
  tvwFindings->setUniformRowHeights(true);
  tvwFindings->setAlternatingRowColors(true);
  tvwFindings->setSelectionMode(QAbstractItemView::SingleSelection);
  tvwFindings->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvwFindings->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvwFindings->setExpandsOnDoubleClick(false);
  tvwFindings->setAllColumnsShowFocus(true);
  tvwFindings->setItemDelegate(new TFindingDelegate(model_, tvwFindings));
  tvwFindings->header()->setStretchLastSection(false);
  tvwFindings->header()->setSectionsMovable(false);
  tvwFindings->header()->setSortIndicatorClearable(true);
  tvwFindings->header()->setSortIndicator(-1, Qt::AscendingOrder);
  tvwFindings->setSortingEnabled(true);
  tvwFindings->viewport()->installEventFilter(this);
  layout->addWidget(tvwFindings, 1);

  textTimer_ = new QTimer(this);
  textTimer_->setSingleShot(true);
  textTimer_->setInterval(150);
  connect(textTimer_, &QTimer::timeout, this, &TFindingList::ApplyFilter);
  connect(edtFilter, &QLineEdit::textChanged, textTimer_, qOverload<>(&QTimer::start));
  connect(edtFilter, &QLineEdit::returnPressed, this, &TFindingList::ApplyFilter);
  for (QComboBox* c : {cbxSeverity, cbxRule, cbxMedium})
    connect(c, &QComboBox::activated, this, &TFindingList::ApplyFilter);
  connect(chkGroup, &QCheckBox::toggled, this, &TFindingList::SetGrouped);
  connect(tvwFindings, &QTreeView::activated, this, &TFindingList::ActivateIndex);
  connect(proxy_, &QAbstractItemModel::layoutChanged, this, &TFindingList::SpanGroups);
  connect(proxy_, &QAbstractItemModel::modelReset, this, &TFindingList::SpanGroups);
  connect(proxy_, &QAbstractItemModel::rowsInserted, this, &TFindingList::SpanGroups);
  UpdateErrorColor();
}

void TFindingList::UpdateErrorColor() {
  // Red on a light palette, a light red on a dark one.
  model_->ErrorColor = IsDark(palette().color(QPalette::Base)) ? QColor(0xff, 0x6b, 0x6b) : QColor(0xC0, 0, 0);
  tvwFindings->viewport()->update();
}

void TFindingList::SetColumns(const TFindingColumns& columns) {
  model_->SetColumns(columns);
  cbxSeverity->setVisible(columns.Severity >= 0);
  cbxRule->setVisible(columns.Rule >= 0);
  cbxMedium->setVisible(columns.Medium >= 0);
  chkGroup->setVisible(columns.Rule >= 0);
  chkGroup->setText(QCoreApplication::translate("TFindingList", "%1ごとにまとめる").arg(columns.Headers.value(columns.Rule)));
  FillChoices();
  FitColumns();
}

void TFindingList::SetRows(std::vector<TFindingRow> rows) {
  model_->SetRows(std::move(rows));
  FillChoices();
  // A rule or medium no longer found falls back to all.
  TFindingFilter f = proxy_->Filter();
  if (!f.Rule.isNull() && cbxRule->findData(f.Rule) < 0) f.Rule = QString();
  if (!f.Medium.isNull() && cbxMedium->findData(f.Medium) < 0) f.Medium = QString();
  proxy_->SetFilter(f);
  const QHeaderView* h = tvwFindings->header();
  if (h->sortIndicatorSection() >= 0) proxy_->sort(h->sortIndicatorSection(), h->sortIndicatorOrder());
  FitColumns();
  UpdateShown();
  if (proxy_->rowCount() > 0) tvwFindings->setCurrentIndex(proxy_->index(0, 0));
  tvwFindings->scrollToTop();
}

void TFindingList::FillChoices() {
  const TFindingColumns& c = model_->Columns();
  const TFindingFilter f = proxy_->Filter();
  auto fill = [this](QComboBox* box, int col, const QVariant& keep) {
    box->clear();
    box->addItem(QCoreApplication::translate("TFindingList", "%1：全て").arg(model_->Columns().Headers.value(col)), QVariant());
    if (col < 0) return;
    QStringList order;
    QHash<QString, int> counts;
    for (const TFindingRow& r : model_->Rows()) {
      const QString v = r.Cells.value(col);
      if (!counts.contains(v)) order << v;
      ++counts[v];
    }
    if (col == model_->Columns().Medium) std::sort(order.begin(), order.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
      });
    for (const QString& v : order)
      box->addItem(QCoreApplication::translate("TFindingList", "%1（%2件）").arg(v.isEmpty() ? QCoreApplication::translate("TFindingList", "（なし）") : v).arg(counts.value(v)), v);
    const int i = keep.isNull() ? 0 : box->findData(keep);
    box->setCurrentIndex(std::max(0, i));
  };
  fill(cbxRule, c.Rule, f.Rule.isNull() ? QVariant() : QVariant(f.Rule));
  fill(cbxMedium, c.Medium, f.Medium.isNull() ? QVariant() : QVariant(f.Medium));
  cbxSeverity->clear();
  cbxSeverity->addItem(QCoreApplication::translate("TFindingList", "%1：全て").arg(c.Headers.value(c.Severity)), -1);
  if (c.Severity >= 0) {
    int counts[3] = {0, 0, 0};
    for (const TFindingRow& r : model_->Rows())
      if (r.Severity >= 0 && r.Severity < 3) ++counts[r.Severity];
    for (int s = 0; s < 3; ++s)
      if (counts[s] > 0)
        cbxSeverity->addItem(QCoreApplication::translate("TFindingList", "%1（%2件）").arg(c.SeverityNames.value(s)).arg(counts[s]), s);
    cbxSeverity->setCurrentIndex(std::max(0, cbxSeverity->findData(f.Severity)));
  }
}

void TFindingList::ApplyFilter() {
  textTimer_->stop();
  TFindingFilter f;
  f.Severity = cbxSeverity->currentData().isValid() ? cbxSeverity->currentData().toInt() : -1;
  f.Rule = cbxRule->currentData().isValid() ? cbxRule->currentData().toString() : QString();
  if (cbxRule->currentData().isValid() && f.Rule.isNull()) f.Rule = QLatin1String("");
  f.Medium = cbxMedium->currentData().isValid() ? cbxMedium->currentData().toString() : QString();
  if (cbxMedium->currentData().isValid() && f.Medium.isNull()) f.Medium = QLatin1String("");
  f.Text = edtFilter->text();
  const int current = CurrentFinding();
  proxy_->SetFilter(f);
  SpanGroups();
  UpdateShown();
  if (current < 0 || !SelectFinding(current))
    if (proxy_->rowCount() > 0) tvwFindings->setCurrentIndex(proxy_->index(0, 0));
  emit Filtered();
}

void TFindingList::UpdateShown() {
  const int all = static_cast<int>(model_->Rows().size());
  const int shown = proxy_->ShownFindings();
  lblShown->setText(shown == all ? QCoreApplication::translate("TFindingList", "%1件").arg(all) : QCoreApplication::translate("TFindingList", "%1件中 %2件を表示").arg(all).arg(shown));
}

void TFindingList::SetGrouped(bool grouped) {
  if (chkGroup->isChecked() != grouped) {
    chkGroup->setChecked(grouped);  // comes back here
    return;
  }
  const int current = CurrentFinding();
  model_->SetGrouped(grouped);
  tvwFindings->setRootIsDecorated(grouped);
  FitColumns();
  const QHeaderView* h = tvwFindings->header();
  if (h->sortIndicatorSection() >= 0) proxy_->sort(h->sortIndicatorSection(), h->sortIndicatorOrder());
  SpanGroups();
  UpdateShown();
  if (current >= 0) SelectFinding(current);
}

void TFindingList::SpanGroups() {
  if (!model_->Grouped()) return;
  for (int r = 0; r < proxy_->rowCount(); ++r) tvwFindings->setFirstColumnSpanned(r, QModelIndex(), true);
}

int TFindingList::ShownRows() const { return proxy_->rowCount(); }

QString TFindingList::ShownText(int col, int row) const {
  if (row < 0) return model_->Columns().Headers.value(col);
  return proxy_->index(row, col).data(Qt::DisplayRole).toString();
}

int TFindingList::FindingAtRow(int row) const { return model_->FindingAt(proxy_->mapToSource(proxy_->index(row, 0))); }

int TFindingList::CurrentFinding() const {
  return model_->FindingAt(proxy_->mapToSource(tvwFindings->currentIndex()));
}

bool TFindingList::SelectFinding(int finding) {
  if (finding < 0 || finding >= static_cast<int>(model_->Rows().size())) return false;
  QModelIndex source;
  if (!model_->Grouped()) {
    source = model_->index(finding, 0);
  } else {
    const QString rule = model_->Rows()[static_cast<std::size_t>(finding)].Cells.value(model_->Columns().Rule);
    const int g = static_cast<int>(model_->Rules().indexOf(rule));
    const QModelIndex group = model_->index(g, 0);
    for (int r = 0; r < model_->rowCount(group) && !source.isValid(); ++r)
      if (model_->FindingAt(model_->index(r, 0, group)) == finding) source = model_->index(r, 0, group);
  }
  const QModelIndex shown = proxy_->mapFromSource(source);
  if (!shown.isValid()) return false;
  if (shown.parent().isValid()) tvwFindings->expand(shown.parent());
  tvwFindings->setCurrentIndex(shown);
  tvwFindings->scrollTo(shown);
  return true;
}

void TFindingList::ActivateIndex(const QModelIndex& index) {
  const QModelIndex source = proxy_->mapToSource(index);
  if (model_->IsGroup(source)) {
    const QModelIndex first = index.sibling(index.row(), 0);
    tvwFindings->setExpanded(first, !tvwFindings->isExpanded(first));
    return;
  }
  const int finding = model_->FindingAt(source);
  if (finding >= 0) emit Activated(finding);
}

void TFindingList::FitColumns() {
  const int columns = model_->columnCount();
  if (columns == 0) return;
  const QFontMetrics fm(tvwFindings->font());
  QFont bold = tvwFindings->font();
  bold.setBold(true);
  const QFontMetrics hm(tvwFindings->header()->font());
  const int most = fm.horizontalAdvance(QLatin1Char('0')) * kMostColumnChars;
  const int pad = 2 * tvwFindings->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tvwFindings) + 12;
  // Room for the sort indicator beside a heading.
  const int indicator = tvwFindings->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, tvwFindings) + 12;
  std::vector<int> widths(static_cast<std::size_t>(columns));
  const auto& rows = model_->Rows();
  const std::size_t n = rows.size();
  const std::size_t step = n <= kSampledRows ? 1 : n / kSampledRows;
  for (int c = 0; c < columns; ++c) {
    int w = hm.horizontalAdvance(model_->Columns().Headers.value(c)) + pad + indicator;
    for (std::size_t i = 0; i < n; i += step) {
      const TFindingRow& r = rows[i];
      const QFontMetrics& m = c == model_->Columns().Severity && r.Severity == 0 ? QFontMetrics(bold) : fm;
      w = std::max(w, std::min(most, m.horizontalAdvance(r.Cells.value(c)) + pad));
    }
    widths[static_cast<std::size_t>(c)] = w;
  }
  // Severity names the list may show though no row has them yet.
  if (model_->Columns().Severity >= 0) {
    const QFontMetrics bm(bold);
    for (const QString& name : model_->Columns().SeverityNames)
      widths[static_cast<std::size_t>(model_->Columns().Severity)] =
          std::max(widths[static_cast<std::size_t>(model_->Columns().Severity)], bm.horizontalAdvance(name) + pad);
  }
  // Grouped, the first column also holds the branch marks.
  if (model_->Grouped()) widths[0] += tvwFindings->indentation();
  QHeaderView* h = tvwFindings->header();
  int others = 0;
  for (int c = 0; c < columns; ++c) {
    h->resizeSection(c, widths[static_cast<std::size_t>(c)]);
    if (c < columns - 1) others += widths[static_cast<std::size_t>(c)];
  }
  lastWanted_ = widths.back();
  h->resizeSection(columns - 1, std::max(lastWanted_, tvwFindings->viewport()->width() - others));
}

int TFindingList::WantedWidth() const {
  const QHeaderView* h = tvwFindings->header();
  int width = 2 * tvwFindings->frameWidth() + tvwFindings->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
  for (int c = 0; c < h->count() - 1; ++c) width += h->sectionSize(c);
  if (h->count() > 0) width += lastWanted_;
  return std::max(width, layout()->minimumSize().width());
}

bool TFindingList::eventFilter(QObject* watched, QEvent* e) {
  if (watched == tvwFindings->viewport() && e->type() == QEvent::Resize) {
    const int columns = model_->columnCount();
    if (columns > 0) {
      QHeaderView* h = tvwFindings->header();
      int others = 0;
      for (int c = 0; c < columns - 1; ++c) others += h->sectionSize(c);
      h->resizeSection(columns - 1, std::max(lastWanted_, tvwFindings->viewport()->width() - others));
    }
  }
  return QWidget::eventFilter(watched, e);
}

void TFindingList::changeEvent(QEvent* e) {
  if (e->type() == QEvent::FontChange) FitColumns();
  if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange) UpdateErrorColor();
  QWidget::changeEvent(e);
}

}  // namespace dlvr

#include "moc_finding_list.cpp"
