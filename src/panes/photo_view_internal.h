// What the parts of the photo window (its building, the reading and the
// checks, the filter bar and groups, the list, the details, the full view)
// share: work run off the GUI thread, a named label, the details' path role.
#pragma once

#include <QFutureWatcher>
#include <QLabel>
#include <QObject>
#include <QString>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace dlvr::photo_view_detail {

// Runs `work` on the global pool and hands its result to `done` on the GUI
// thread, unless `owner` has gone by then.
template <class T, class Work, class Done>
inline void RunInBackground(QObject* owner, Work work, Done done) {
  auto* watcher = new QFutureWatcher<T>(owner);
  QObject::connect(watcher, &QFutureWatcher<T>::finished, owner, [watcher, done] {
    watcher->deleteLater();
    done(watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(std::move(work)));
}

inline QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString()) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

// Where a details row holds a path: shortened in the middle, on one line,
// so that the file name at its end stays in sight.
inline constexpr int kPathRole = Qt::UserRole + 5;

}  // namespace dlvr::photo_view_detail
