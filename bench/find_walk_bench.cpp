// Times the file search window's folder walk (events processed between
// entries, as in the window) against `find DIR -iname PATTERN` on the same
// tree. Usage: find_walk_bench [DIR [PATTERN [RUNS]]] (default /usr "*.xml" 5).
// Target: the walk takes at most twice as long as find. Exit 0 when met, 3
// when not, 1 on an error.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "panes/find_files.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString dir = argc > 1 ? argv[1] : "/usr";
  const QString pattern = argc > 2 ? argv[2] : "*.xml";
  const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;

  dlvr::TFolderWalkHooks hooks;
  hooks.Continue = [] {
    QCoreApplication::processEvents();
    return true;
  };
  std::vector<double> walk, find;
  qsizetype walkCount = 0, findCount = 0;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    walkCount = dlvr::WalkFolders(dir, pattern, hooks).size();
    walk.push_back(t.elapsed() / 1000.0);

    QProcess p;
    t.restart();
    p.start("find", {dir, "-type", "f", "-iname", pattern});
    if (!p.waitForFinished(600000)) return 1;
    find.push_back(t.elapsed() / 1000.0);
    findCount = p.readAllStandardOutput().count('\n');
  }
  const double ratio = Median(walk) / Median(find);
  std::printf("walk %s for %s: %lld files, median %.3f s (best %.3f)\n", qPrintable(dir), qPrintable(pattern),
              static_cast<long long>(walkCount), Median(walk), *std::min_element(walk.begin(), walk.end()));
  std::printf("find:                   %lld files, median %.3f s (best %.3f)\n", static_cast<long long>(findCount),
              Median(find), *std::min_element(find.begin(), find.end()));
  std::printf("ratio %.2f (target <= 2)\n", ratio);
  return ratio <= 2.0 ? 0 : 3;
}
