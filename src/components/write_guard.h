// The program never writes into a delivery: whatever the user chooses to
// save (a report, a list of findings, a drawing as PDF) is refused inside
// the delivery's folders.
#pragma once

#include <QString>
#include <QStringList>

namespace dlvr {

// Whether the file `path` would be written inside one of `folders` (or
// into one of them), both taken as they are reached on disk (symbolic
// links followed where they exist). Empty entries of `folders` are skipped.
bool PathInsideFolders(const QString& path, const QStringList& folders);

}  // namespace dlvr
