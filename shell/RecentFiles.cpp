#include "shell/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace orvane {

namespace {
const QString kKey = QStringLiteral("recentFiles");
}

QStringList RecentFiles::list() {
    QStringList files = QSettings().value(kKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, kMaxEntries);
}

void RecentFiles::add(const QString& path) {
    const QString file = QFileInfo(path).absoluteFilePath();
    QStringList files = list();
    files.removeAll(file);
    files.prepend(file);
    QSettings().setValue(kKey, files.mid(0, kMaxEntries));
}

void RecentFiles::clear() {
    QSettings().remove(kKey);
}

} // namespace orvane
