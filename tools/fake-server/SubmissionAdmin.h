#pragma once

#include <httplib.h>

#include "ServerState.h"

namespace tovela::fakeserver {

// GET /admin/sent, /admin/drafts and /admin/documents list what the account was sent;
// POST /admin/submission-fault scripts a fault for a coming send, draft or briefcase
// request. Added before the catch-all admin routes.
void AddSubmissionRoutes(httplib::Server& server, ServerState& state);

// The scripted faults not used yet, for /admin/state.
nlohmann::json PendingSubmissionFaults(const StateData& data);

}  // namespace tovela::fakeserver
