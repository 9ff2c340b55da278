#pragma once

#include <httplib.h>

#include "RequestLog.h"
#include "ServerState.h"
#include "StopSignal.h"

namespace tovela::fakeserver {

// The paths the client talks to: the SOAP endpoint, and a logged 404 for every other path
// outside /admin/, so a request to a service the double does not offer yet is still seen.
void AddServiceRoutes(httplib::Server& server, ServerState& state, RequestLog& log,
                      StopSignal& stop);

}  // namespace tovela::fakeserver
