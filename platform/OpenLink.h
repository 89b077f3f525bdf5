#pragma once
// Hands an address ("mailto:...", "https://...") to the desktop's default handler.

#include <QString>

namespace orvane::platform {

// Returns whether the desktop accepted the address; callers may ignore it.
bool openLink(const QString& address);

} // namespace orvane::platform
