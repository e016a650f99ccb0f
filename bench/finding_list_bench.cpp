// Times the finding lists on a generated list of 100,000 findings (75,021
// of one rule, as a real delivery gave): the delivery check's window and
// the data check's window opened (filled, shown, first paint), sorted by a
// column, filtered by a text and by a rule, and grouped by rule, offscreen.
// Usage: finding_list_bench [FINDINGS] (default 100000). Target: each step
// under one second. Exit 0 when met, 3 when not.
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTest>

#include <cstdio>
#include <string>
#include <vector>

#include "panes/delivery_check.h"
#include "panes/xml_err.h"

namespace {

bool met = true;

// Runs `step`, lets the window paint, prints the time.
template <class F>
void Time(const char* what, QWidget* window, F step) {
  QElapsedTimer t;
  t.start();
  step();
  window->repaint();
  QCoreApplication::processEvents();
  const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
  std::printf("  %-34s %8.1f ms\n", what, ms);
  met = met && ms < 1000;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
  const int many = n * 3 / 4 + 21;  // findings of the one rule

  std::vector<dlvr::TFinding> findings;
  dlvr::TfrmXMLErr::TErrorRows errors;
  findings.reserve(static_cast<std::size_t>(n));
  errors.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::string k = std::to_string(i);
    const bool one = i < many;
    findings.push_back({i % 7 == 0 ? dlvr::TSeverity::Error : dlvr::TSeverity::Warning, std::to_string(1 + i % 3),
                        "PHOTO/PIC/P" + std::string(7 - std::min<std::size_t>(7, k.size()), '0') + k + ".JPG",
                        one ? "記載のないファイル" : "規則 " + std::to_string(i % 40),
                        one ? "管理ファイルに記載のないファイルです" : "見つかったもの " + k});
    errors.push_back({"打合せ簿管理", "提出", "MEET" + k + ".PDF", one ? "作成者" : "項目 " + std::to_string(i % 30),
                      one ? "データ表現が不正" : "情報未記入"});
  }
  std::printf("%d findings, %d of one rule\n", n, many);

  std::printf("delivery check window\n");
  dlvr::TfrmDeliveryCheck delivery;
  delivery.resize(1200, 700);
  Time("open (fill, show, paint)", &delivery, [&] {
    delivery.Fill(findings);
    delivery.show();
  });
  QTreeView* view = delivery.List->tvwFindings;
  Time("sort by file", &delivery, [&] { view->sortByColumn(2, Qt::AscendingOrder); });
  Time("sort by severity, descending", &delivery, [&] { view->sortByColumn(0, Qt::DescendingOrder); });
  Time("filter by text \"P00123\"", &delivery, [&] {
    delivery.List->edtFilter->setText("P00123");
    QTest::keyClick(delivery.List->edtFilter, Qt::Key_Return);
  });
  Time("filter cleared", &delivery, [&] {
    delivery.List->edtFilter->clear();
    QTest::keyClick(delivery.List->edtFilter, Qt::Key_Return);
  });
  Time("filter by rule (the large one)", &delivery, [&] {
    QComboBox* rule = delivery.List->cbxRule;
    rule->setCurrentIndex(1);
    emit rule->activated(1);
  });
  Time("grouped by rule", &delivery, [&] { delivery.List->SetGrouped(true); });
  Time("grouped, largest group opened", &delivery, [&] { view->expand(view->model()->index(0, 0)); });
  Time("flat again", &delivery, [&] { delivery.List->SetGrouped(false); });

  std::printf("data check window\n");
  dlvr::TfrmXMLErr data;
  data.resize(1200, 700);
  Time("open (fill, show, paint)", &data, [&] {
    data.Fill(errors);
    data.show();
  });
  Time("sort by 項目名", &data, [&] { data.List->tvwFindings->sortByColumn(4, Qt::AscendingOrder); });
  Time("sort by NO. descending", &data, [&] { data.List->tvwFindings->sortByColumn(0, Qt::DescendingOrder); });
  Time("filter by text \"MEET999\"", &data, [&] {
    data.List->edtFilter->setText("MEET999");
    QTest::keyClick(data.List->edtFilter, Qt::Key_Return);
  });
  std::printf(met ? "every step under one second\n" : "a step took a second or more\n");
  return met ? 0 : 3;
}
