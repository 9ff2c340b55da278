#pragma once

#include <httplib.h>

#include <functional>

#include "RequestLog.h"
#include "ServerState.h"

namespace tovela::fakeserver {

// The JSON control interface under /admin/: tests read and change the scenario and the
// script while the server runs. Its requests are not written to the request log.
// `requestShutdown` is called by /admin/shutdown after the answer has been prepared.
void AddAdminRoutes(httplib::Server& server, ServerState& state, RequestLog& log,
                    std::function<void()> requestShutdown);

}  // namespace tovela::fakeserver
