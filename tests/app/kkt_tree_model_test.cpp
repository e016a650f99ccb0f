// The tree's item model under Qt's own model checker, with a view attached
// that holds expansion, selection and current item as persistent indexes.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTreeView>

#include <filesystem>

#include "app/kkt_tree_model.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// Collects what the model checker reports.
QStringList* gModelTestMessages = nullptr;
void CollectModelTestMessages(QtMsgType, const QMessageLogContext& context, const QString& message) {
  if (gModelTestMessages && context.category && QByteArray(context.category) == "qt.modeltest")
    *gModelTestMessages << message;
}

TEST(KKTTreeModel, StaysConsistentWhileLoadingSeveralMediaSortingAndRecaptioning) {
  test::ScratchDir d;
  const std::string drive = d / "cdrom";
  std::filesystem::create_directory_symlink(test::SamplePath("multi/MEDIA1"), drive);
  SetDriveTypeOverride([drive](const std::string& p) {
    return p.rfind(drive, 0) == 0 ? DriveType::CdRom : DriveType::Fixed;
  });
  test::ScriptedPrompts prompts;
  prompts.Fallback = DialogAnswer::Ok;
  prompts.OnShow = [&](const MessageRequest& r) {
    if (r.Buttons != MsgButtons::OkCancel) return;
    std::filesystem::remove(drive);
    std::filesystem::create_directory_symlink(test::SamplePath("multi/MEDIA2"), drive);
  };

  QStringList messages;
  gModelTestMessages = &messages;
  QtMessageHandler previous = qInstallMessageHandler(CollectModelTestMessages);
  {
    DeliveryStore store;
    TMdlTreeView view(store);
    TDesktopIcons icons;
    TKKTTreeModel model(view, icons);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QTreeView tree;
    tree.setModel(&model);
    view.Load(drive);
    ASSERT_FALSE(prompts.Shown.empty());  // the second medium was asked for and read
    ASSERT_GT(view.FindClassNode(2)->Count(), 1);

    tree.expandAll();
    TTreeItem* meetings = view.FindClassNode(2);
    TTreeItem* record = meetings->GetLastChild();
    tree.setCurrentIndex(model.IndexOf(record));
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelAboutToBeReset, [&] { ++resets; });
    const std::pair<int, int> sorts[] = {{2, 3}, {2, 4}, {3, 2}, {6, 1}, {2, 7}, {6, 0}, {3, 0}, {2, 0}};
    for (auto [cls, mode] : sorts) {
      SCOPED_TRACE(testing::Message() << "class " << cls << " mode " << mode);
      view.SortClass(cls, mode);
      // The view's persistent indexes went with their items.
      EXPECT_EQ(model.Item(tree.currentIndex()), record);
      EXPECT_EQ(tree.currentIndex().row(), record->Index());
      view.Tree().ForEach([&](TTreeItem* item) {
        if (item->HasChildren()) {
          ASSERT_TRUE(tree.isExpanded(model.IndexOf(item))) << item->Caption();
        }
      });
    }
    for (int lang : {2, 1, 0}) view.SetViewLang(lang);
    for (int mode : {3, 0, 2}) view.SetFileNameMode(mode);
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(model.Item(tree.currentIndex()), record);
    view.Load(test::SamplePath("errors"));  // another delivery: a rebuild
    EXPECT_GT(resets, 0);
  }
  qInstallMessageHandler(previous);
  gModelTestMessages = nullptr;
  SetDriveTypeOverride(nullptr);
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

}  // namespace
}  // namespace dlvr
