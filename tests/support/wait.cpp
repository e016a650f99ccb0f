#include "support/wait.h"

#include <QElapsedTimer>
#include <QTest>

namespace dlvr::test {

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QTest::qWait(10);
  }
  return true;
}

}  // namespace dlvr::test
