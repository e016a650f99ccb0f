#include "components/xml_renderer.h"

#include <libxml/tree.h>

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <functional>
#include <vector>

#include "components/html_renderer.h"
#include "components/text_renderer.h"
#include "components/xml_prepare.h"

namespace dlvr {
namespace {

// XML files up to this size are prepared at once; larger ones off the GUI
// thread while the window goes on answering.
constexpr qint64 kSyncXmlBytes = 256 * 1024;

// Tree items made at once when a tree is shown; deeper levels are made when
// their parent is first expanded.
constexpr int kEagerXmlTreeItems = 5000;

class TXmlRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  ~TXmlRenderer() override { CancelJob(); }

  QString Kind() const override { return kind_; }

  bool Start() override {
    job_ = std::make_shared<TXmlJob>();
    job_->Path = File().Path;
    job_->Origin = File().Origin;
    job_->Box = File().Sandbox();
    job_->Box.Cancel = &job_->Cancel;
    if (File().Size <= kSyncXmlBytes) {
      if (std::shared_ptr<TXmlPrepared> prepared = PrepareXmlNow(job_)) Apply(*prepared);
      return true;
    }
    Host().SetNote(QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます…").arg(File().OriginName()));
    Host().Present(nullptr);
    std::shared_ptr<TXmlJob> j = job_;
    RunInBackground([j](TXmlPromise& promise) { PrepareXml(j, promise); });
    return false;
  }

  void Cancel() override {
    CancelJob();
    TPreviewRenderer::Cancel();
  }

 private:
  // Starts `work` for the job off the GUI thread; its result is shown
  // unless the renderer was cancelled first.
  void RunInBackground(std::function<void(TXmlPromise&)> work) {
    busy_ = true;
    Host().Working();
    if (watcher_) {
      watcher_->disconnect();
      watcher_->deleteLater();
    }
    // The work holds the job, never the renderer: a renderer gone meanwhile
    // only drops the result.
    watcher_ = new QFutureWatcher<std::shared_ptr<TXmlPrepared>>(this);
    auto* w = watcher_;
    // An early first page is shown (and the navigation complete) while the
    // file is still being read; the final result then only enables paging.
    connect(w, &QFutureWatcherBase::resultReadyAt, this, [this, w](int index) {
      if (w != watcher_ || !Live()) return;
      std::shared_ptr<TXmlPrepared> prepared = w->resultAt(index);
      if (!prepared || !prepared->Early) return;
      busy_ = false;
      Apply(*prepared);
      Host().Completed();
    });
    connect(w, &QFutureWatcherBase::finished, this, [this, w] {
      if (w != watcher_ || !Live()) return;
      const int n = w->future().resultCount();
      std::shared_ptr<TXmlPrepared> prepared = n > 0 ? w->resultAt(n - 1) : nullptr;
      const bool wasBusy = busy_;
      watcher_ = nullptr;
      w->deleteLater();
      busy_ = false;
      if (prepared && !prepared->Early) Apply(*prepared);
      UpdateRecordBar();
      if (wasBusy) Host().Completed();
    });
    watcher_->setFuture(QtConcurrent::run(std::move(work)));
  }

  void CancelJob() {
    if (job_) job_->Cancel = true;
    // The tree's items point into the document that goes with the job.
    treeDoc_ = nullptr;
    earlyTreeDoc_.reset();
    job_.reset();
    if (watcher_) {
      watcher_->disconnect();
      watcher_->deleteLater();
      watcher_ = nullptr;
    }
    if (recordBar_) recordBar_->hide();
  }

  // The paging of the job can be used: its reading has ended.
  bool JobRead() const { return job_ && !watcher_; }

  void Apply(const TXmlPrepared& prepared) {
    Host().SetNote(prepared.Note);
    switch (prepared.Shown) {
      case TXmlPrepared::Kind::Text: {
        kind_ = QStringLiteral("text");
        QPlainTextEdit* view = Own(NewPreviewTextView());
        Host().Present(view);
        rendered_ = FillPreviewTextView(Host(), File(), view);
        break;
      }
      case TXmlPrepared::Kind::Refused:
        kind_ = QStringLiteral("other");
        Host().ShowFacts(QString::fromStdString(SandboxStatusText(prepared.Status)));
        break;
      case TXmlPrepared::Kind::Html: {
        // The bytes are in the output encoding the stylesheet names.
        QString declared = !prepared.Encoding.isEmpty() ? prepared.Encoding : DeclaredCharset(prepared.Html);
        if (declared.isEmpty()) declared = QStringLiteral("utf-8");
        ShowHtml(DecodeDocumentText(prepared.Html, declared));
        break;
      }
      case TXmlPrepared::Kind::Tree:
        ShowTree(prepared);
        break;
    }
    UpdateRecordBar();
  }

  void ShowHtml(const QString& htmlText) {
    kind_ = QStringLiteral("html");
    rendered_ = htmlText;
    if (!htmlPage_) BuildHtmlPage();
    browser_->ShowPage(htmlText, File().OriginFolder());
    Host().Present(htmlPage_);
  }

  // The styled view: the bar paging through the records above the page.
  void BuildHtmlPage() {
    htmlPage_ = Own(new QWidget);
    auto* v = new QVBoxLayout(htmlPage_);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    recordBar_ = new QWidget(htmlPage_);
    recordBar_->setObjectName(QStringLiteral("RecordBar"));
    auto* bar = new QHBoxLayout(recordBar_);
    bar->setContentsMargins(4, 2, 4, 2);
    prevRecords_ = new QPushButton(
        QCoreApplication::translate("TPreviewView", "◀ 前の %1 件").arg(kXmlPageRecords), recordBar_);
    prevRecords_->setObjectName(QStringLiteral("btnPrevRecords"));
    recordLabel_ = new QLabel(recordBar_);
    recordLabel_->setObjectName(QStringLiteral("lblRecords"));
    nextRecords_ = new QPushButton(
        QCoreApplication::translate("TPreviewView", "次の %1 件 ▶").arg(kXmlPageRecords), recordBar_);
    nextRecords_->setObjectName(QStringLiteral("btnNextRecords"));
    bar->addWidget(prevRecords_);
    bar->addWidget(recordLabel_);
    bar->addWidget(nextRecords_);
    bar->addStretch(1);
    recordBar_->hide();
    v->addWidget(recordBar_);
    connect(prevRecords_, &QPushButton::clicked, this, [this] {
      if (job_) ShowRecordPage(job_->First >= kXmlPageRecords ? job_->First - kXmlPageRecords : 0);
    });
    connect(nextRecords_, &QPushButton::clicked, this, [this] {
      if (job_ && job_->First + kXmlPageRecords < job_->Records.Nodes.size())
        ShowRecordPage(job_->First + kXmlPageRecords);
    });
    browser_ = new TSandboxBrowser(Host(), File());
    v->addWidget(browser_, 1);
  }

  void UpdateRecordBar() {
    if (!recordBar_) return;
    QLocale c(QLocale::Japanese);
    if (job_ && watcher_ && !busy_ && kind_ == u"html") {
      // A first page shown while the file is still being read.
      recordLabel_->setText(
          QCoreApplication::translate("TPreviewView", "1 – %1 件目 / 読み込み中…").arg(kXmlPageRecords));
      prevRecords_->setEnabled(false);
      nextRecords_->setEnabled(false);
      recordBar_->show();
      return;
    }
    const std::size_t total = JobRead() ? job_->Records.Nodes.size() : 0;
    if (kind_ != u"html" || total <= kXmlPageRecords) {
      recordBar_->hide();
      return;
    }
    const std::size_t last = std::min(total, job_->First + kXmlPageRecords);
    recordLabel_->setText(QCoreApplication::translate("TPreviewView", "%1 – %2 件目 / %3 件")
                              .arg(c.toString(qulonglong(job_->First + 1)), c.toString(qulonglong(last)),
                                   c.toString(qulonglong(total))));
    prevRecords_->setEnabled(job_->First > 0 && !busy_);
    nextRecords_->setEnabled(last < total && !busy_);
    recordBar_->show();
  }

  void ShowRecordPage(std::size_t first) {
    if (!JobRead() || busy_) return;
    job_->First = first;
    std::shared_ptr<TXmlJob> j = job_;
    RunInBackground([j](TXmlPromise& promise) {
      auto out = std::make_shared<TXmlPrepared>();
      TransformXmlPage(*j, *out);
      promise.addResult(out);
    });
    UpdateRecordBar();
  }

  QTreeWidgetItem* MakeItem(QTreeWidgetItem* parent, xmlNode* node, int depth) {
    auto [label, value] = XmlElementTexts(treeDoc_, node);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    ++treeItems_;
    item->setText(0, label);
    item->setText(1, value);
    item->setToolTip(1, value);
    item->setData(0, Qt::UserRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(node)));
    item->setData(0, Qt::UserRole + 1, depth);
    if (XmlHasElementChildren(node)) {
      if (depth + 1 >= kXmlTreeMaxDepth) {
        item->setText(1, QCoreApplication::translate("TPreviewView", "… 以降は表示しません"));
      } else {
        // Its children are made when it is first expanded.
        item->setData(0, Qt::UserRole + 2, true);
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
      }
    }
    return item;
  }

  void PopulateItem(QTreeWidgetItem* item) {
    if (!item || !item->data(0, Qt::UserRole + 2).toBool() || !treeDoc_) return;
    item->setData(0, Qt::UserRole + 2, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    auto* node = reinterpret_cast<xmlNode*>(item->data(0, Qt::UserRole).value<quintptr>());
    const int depth = item->data(0, Qt::UserRole + 1).toInt();
    for (xmlNode* c = node->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE) continue;
      if (treeItems_ >= kXmlTreeMaxItems) {
        if (Live())
          Host().SetNote(QCoreApplication::translate("TPreviewView", "要素が多いため、先頭の %1 個だけを表示しています。")
                             .arg(kXmlTreeMaxItems));
        break;
      }
      MakeItem(item, c, depth + 1);
    }
  }

  // The tree of the job's document: the first levels at once, deeper ones
  // when their parent is first expanded.
  void ShowTree(const TXmlPrepared& prepared) {
    kind_ = QStringLiteral("xmltree");
    if (!tree_) {
      tree_ = Own(new QTreeWidget);
      tree_->setObjectName(QStringLiteral("XmlTree"));
      tree_->setColumnCount(2);
      tree_->setHeaderLabels(
          {QCoreApplication::translate("TPreviewView", "要素"), QCoreApplication::translate("TPreviewView", "内容")});
      tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
      connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { PopulateItem(item); });
    }
    tree_->clear();
    treeItems_ = 0;
    rendered_ = prepared.Dump;
    // The early tree's own copy, or the job's document once it is read.
    earlyTreeDoc_ = prepared.TreeDoc;
    treeDoc_ = earlyTreeDoc_ ? earlyTreeDoc_.get() : job_ ? job_->Doc.get() : nullptr;
    xmlNode* rootNode = treeDoc_ ? xmlDocGetRootElement(treeDoc_) : nullptr;
    if (!rootNode) {
      Host().Present(tree_);
      return;
    }
    tree_->setUpdatesEnabled(false);
    // The first levels, breadth first, up to a budget; the rest on expansion.
    QTreeWidgetItem* root = MakeItem(nullptr, rootNode, 0);
    std::vector<QTreeWidgetItem*> level{root};
    for (std::size_t i = 0; i < level.size() && treeItems_ < kEagerXmlTreeItems; ++i) {
      PopulateItem(level[i]);
      for (int k = 0; k < level[i]->childCount(); ++k) level.push_back(level[i]->child(k));
    }
    // Items were made with their parents collapsed; expanding the root shows
    // the groups of the file.
    root->setExpanded(true);
    if (prepared.TooDeep && !prepared.TooMany && Host().Note().isEmpty())
      Host().SetNote(QCoreApplication::translate("TPreviewView", "階層が深いため、%1 階層より深い要素は表示しません。")
                         .arg(kXmlTreeMaxDepth));
    if (prepared.TooMany && Host().Note().isEmpty())
      Host().SetNote(QCoreApplication::translate("TPreviewView", "要素が多いため、先頭の %1 個だけを表示しています。")
                         .arg(kXmlTreeMaxItems));
    tree_->setUpdatesEnabled(true);
    Host().Present(tree_);
  }

  QString kind_ = QStringLiteral("blank");
  bool busy_ = false;
  // The XML file shown or being prepared, and the work preparing it.
  std::shared_ptr<TXmlJob> job_;
  QFutureWatcher<std::shared_ptr<TXmlPrepared>>* watcher_ = nullptr;

  QWidget* htmlPage_ = nullptr;
  TSandboxBrowser* browser_ = nullptr;
  QWidget* recordBar_ = nullptr;
  QPushButton* prevRecords_ = nullptr;
  QPushButton* nextRecords_ = nullptr;
  QLabel* recordLabel_ = nullptr;

  QTreeWidget* tree_ = nullptr;
  int treeItems_ = 0;
  // The document the tree shows (an early part, or the whole file).
  xmlDoc* treeDoc_ = nullptr;
  std::shared_ptr<xmlDoc> earlyTreeDoc_;
};

}  // namespace

std::unique_ptr<TPreviewRenderer> MakeXmlRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                  const TPreviewSniff& sniff) {
  if (sniff.Ext == u"XML" || sniff.Ext == u"XSL" || sniff.Ext == u"XSD" || sniff.Markup.startsWith("<?xml"))
    return std::make_unique<TXmlRenderer>(host, file);
  return nullptr;
}

}  // namespace dlvr
