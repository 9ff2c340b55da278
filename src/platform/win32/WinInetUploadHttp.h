#pragma once

#include <memory>

#include "platform/UploadHttp.h"

namespace tovela::win32 {

// Upload requests on WinInet, with the proxy the user configured for the system. The body
// is streamed with HttpSendRequestEx and InternetWriteFile; requests never follow
// redirects, never add cookies and never touch the cache; certificates are checked as the
// system checks them. The limits become WinInet's connect, send and receive time-outs, each
// of which bounds one wait for the network.
std::unique_ptr<UploadHttpFactory> CreateWinInetUploadHttpFactory(const UploadLimits& limits);

}  // namespace tovela::win32
