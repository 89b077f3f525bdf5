#include "OpenLink.h"

#include <QDesktopServices>
#include <QUrl>

namespace orvane::platform {

bool openLink(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace orvane::platform
