#pragma once

class QUrl;

namespace zandrel {

// Whether the address names this machine by its loopback address, "127.0.0.1" or "localhost".
bool isLoopbackAddress(const QUrl& url);
// Whether the program may download from the address: https with a host, or plain http to this
// machine (a store tried out on one's own computer, where nothing crosses a network).
bool isAllowedDownloadAddress(const QUrl& url);

} // namespace zandrel
