#pragma once
// The bare player's short list of recently opened movies, kept in the user's settings
// (QSettings under the application's organisation and name), newest first.

#include <QString>
#include <QStringList>

namespace orvane {

class RecentFiles {
public:
    static constexpr int kMaxEntries = 8;

    static QStringList list();
    // Puts path (made absolute) first, dropping an older entry for the same file and the
    // oldest entries past kMaxEntries.
    static void add(const QString& path);
    static void clear();
};

} // namespace orvane
