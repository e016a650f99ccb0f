#include "panes/photo_view.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QSignalBlocker>

#include <vector>

#include "panes/photo_view_internal.h"

// The photo window's filter bar (text, dates, 代表写真, 提出頻度写真, the order)
// and the tree of groups it counts anew.

namespace dlvr {

using namespace photo_view_detail;

namespace {

// The most groups the tree shows.
constexpr int kMaxGroups = 5000;

}  // namespace

void TfrmPhotoView::BuildFilterBar(QWidget* bar) {
  auto* h = new QHBoxLayout(bar);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(MakeLabel(bar, "lblFilter", QCoreApplication::translate("TfrmPhotoView", "絞り込み(&F):")));
  edtFilter = new QLineEdit(bar);
  edtFilter->setObjectName("edtFilter");
  edtFilter->setPlaceholderText(
      QCoreApplication::translate("TfrmPhotoView", "写真タイトル・撮影箇所・工種・種別・細別・ファイル名"));
  edtFilter->setClearButtonEnabled(true);
  edtFilter->setMinimumWidth(220);
  bar->findChild<QLabel*>("lblFilter")->setBuddy(edtFilter);
  h->addWidget(edtFilter, 1);
  h->addSpacing(8);
  auto dateEdit = [bar](const char* name) {
    auto* d = new QDateEdit(bar);
    d->setObjectName(QString::fromLatin1(name));
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setEnabled(false);
    return d;
  };
  chkDateFrom = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "撮影日"), bar);
  chkDateFrom->setObjectName("chkDateFrom");
  dtpFrom = dateEdit("dtpFrom");
  chkDateTo = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "～"), bar);
  chkDateTo->setObjectName("chkDateTo");
  dtpTo = dateEdit("dtpTo");
  h->addWidget(chkDateFrom);
  h->addWidget(dtpFrom);
  h->addWidget(chkDateTo);
  h->addWidget(dtpTo);
  h->addSpacing(8);
  chkRepresentative = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "代表写真のみ(&R)"), bar);
  chkRepresentative->setObjectName("chkRepresentative");
  chkFrequency = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "提出頻度写真のみ(&Q)"), bar);
  chkFrequency->setObjectName("chkFrequency");
  h->addWidget(chkRepresentative);
  h->addWidget(chkFrequency);
  h->addSpacing(8);
  auto* sortLabel = MakeLabel(bar, "lblSort", QCoreApplication::translate("TfrmPhotoView", "並び順(&O):"));
  cbxSort = new QComboBox(bar);
  cbxSort->setObjectName("cbxSort");
  cbxSort->addItems({QCoreApplication::translate("TfrmPhotoView", "シリアル番号順"),
                     QCoreApplication::translate("TfrmPhotoView", "撮影年月日順"),
                     QCoreApplication::translate("TfrmPhotoView", "写真タイトル順")});
  sortLabel->setBuddy(cbxSort);
  h->addWidget(sortLabel);
  h->addWidget(cbxSort);

  connect(edtFilter, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
  for (QCheckBox* c : {chkRepresentative, chkFrequency}) connect(c, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  connect(chkDateFrom, &QCheckBox::toggled, dtpFrom, &QWidget::setEnabled);
  connect(chkDateTo, &QCheckBox::toggled, dtpTo, &QWidget::setEnabled);
  for (QCheckBox* c : {chkDateFrom, chkDateTo}) connect(c, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  for (QDateEdit* d : {dtpFrom, dtpTo}) connect(d, &QDateEdit::dateChanged, this, [this] { ApplyFilter(); });
  connect(cbxSort, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { UpdateRows(); });
}

void TfrmPhotoView::ApplyFilter() {
  filter_.Text = edtFilter->text();
  filter_.From = chkDateFrom->isChecked() ? dtpFrom->date() : QDate();
  filter_.To = chkDateTo->isChecked() ? dtpTo->date() : QDate();
  filter_.RepresentativeOnly = chkRepresentative->isChecked();
  filter_.FrequencyOnly = chkFrequency->isChecked();
  RebuildGroups();
  UpdateRows();
}

void TfrmPhotoView::RebuildGroups() {
  const QStringList selected = filter_.Group;
  QSignalBlocker block(tvwGroups);
  tvwGroups->clear();
  if (!store_) return;
  auto* root = new QTreeWidgetItem(tvwGroups);
  root->setData(0, Qt::UserRole, QStringList());
  QHash<QString, QTreeWidgetItem*> nodes;
  QHash<QTreeWidgetItem*, int> counts;
  const QStringList levelNames = {
      QCoreApplication::translate("TfrmPhotoView", "写真-大分類"),
      QCoreApplication::translate("TfrmPhotoView", "写真区分"), QCoreApplication::translate("TfrmPhotoView", "工種"),
      QCoreApplication::translate("TfrmPhotoView", "種別"), QCoreApplication::translate("TfrmPhotoView", "細別")};
  // Groups stand in the order they first come in the file, whatever the
  // filter; those it leaves empty go.
  std::vector<bool> passes(static_cast<std::size_t>(index_.Count()));
  for (int i : index_.Select(filter_, true)) passes[static_cast<std::size_t>(i)] = true;
  counts[root] = 0;
  bool cut = false;
  for (int i = 0; i < index_.Count(); ++i) {
    const bool counted = passes[static_cast<std::size_t>(i)];
    counts[root] += counted;
    const QStringList& group = index_.Group(i);
    QTreeWidgetItem* parent = root;
    QString key;
    for (int k = 0; k < group.size(); ++k) {
      key += group[k] + QChar(0x1f);
      auto it = nodes.find(key);
      if (it == nodes.end()) {
        // A file with very many groups: the tree stops growing, the
        // photos still count in the groups above.
        if (nodes.size() >= kMaxGroups) {
          cut = true;
          break;
        }
        auto* node = new QTreeWidgetItem(parent);
        node->setData(0, Qt::UserRole, group.mid(0, k + 1));
        node->setToolTip(0, levelNames[k] + QStringLiteral(": ") + group[k]);
        it = nodes.insert(key, node);
      }
      counts[*it] += counted;
      parent = *it;
    }
  }
  // An empty group's descendants are empty too and go with it.
  std::vector<QTreeWidgetItem*> empty;
  for (QTreeWidgetItem* node : std::as_const(nodes))
    if (counts.value(node) == 0 && (node->parent() == root || counts.value(node->parent()) > 0)) empty.push_back(node);
  nodes.removeIf([&](const auto& entry) { return counts.value(entry.value()) == 0; });
  for (QTreeWidgetItem* node : empty) delete node;
  root->setText(0, QCoreApplication::translate("TfrmPhotoView", "すべての写真 (%1)").arg(counts.value(root)));
  if (cut) {
    auto* more = new QTreeWidgetItem(root);
    more->setText(0, QCoreApplication::translate("TfrmPhotoView", "（グループが%1を超えるため、以降は省略しています）")
                         .arg(kMaxGroups));
    more->setFlags(Qt::ItemIsEnabled);
    more->setData(0, Qt::UserRole, QStringList());
  }
  for (QTreeWidgetItem* node : std::as_const(nodes))
    node->setText(0, QStringLiteral("%1 (%2)").arg(node->data(0, Qt::UserRole).toStringList().back(),
                                                   QString::number(counts.value(node))));
  // Open down to the 工種.
  root->setExpanded(true);
  for (QTreeWidgetItem* node : std::as_const(nodes))
    if (node->data(0, Qt::UserRole).toStringList().size() < 3) node->setExpanded(true);
  // The group chosen before, while it still holds photos.
  QTreeWidgetItem* current = root;
  if (!selected.isEmpty()) {
    QTreeWidgetItem* found = nodes.value(selected.join(QChar(0x1f)) + QChar(0x1f));
    if (found) current = found;
  }
  filter_.Group = current->data(0, Qt::UserRole).toStringList();
  for (QTreeWidgetItem* p = current->parent(); p; p = p->parent()) p->setExpanded(true);
  tvwGroups->setCurrentItem(current);
}

bool TfrmPhotoView::SelectGroup(const QStringList& path) {
  QTreeWidgetItemIterator it(tvwGroups);
  for (; *it; ++it)
    if ((*it)->data(0, Qt::UserRole).toStringList() == path) {
      tvwGroups->setCurrentItem(*it);
      return true;
    }
  return false;
}

}  // namespace dlvr
