#pragma once

#include <string>
#include <vector>

namespace tovela::fakeserver {

// One operation of the request body, such as AuthRequest or SearchRequest.
struct Operation {
    std::string name;      // element name, ending in "Request"
    std::string ns;        // its xmlns, empty when it has none
    std::string startTag;  // the whole start tag, for attributes read later
};

// What the server needs from a client's envelope. The client writes its envelopes as fixed
// text, so they are read by scanning rather than with an XML parser: that also keeps the
// double answering envelopes a strict parser would refuse.
struct ClientRequest {
    bool isLogin = false;  // the batch carries an AuthRequest
    std::string account;
    std::string password;  // unescaped
    std::vector<std::string> prefNames;
    std::vector<std::string> attrNames;
    std::string authToken;  // from the context header; empty when absent
    bool batch = false;     // the operations are wrapped in a BatchRequest
    std::vector<Operation> operations;
};

ClientRequest ReadClientRequest(const std::string& envelope);

// An attribute of the operation's start tag, unescaped; empty when absent.
std::string OperationAttribute(const Operation& operation, const std::string& name);

// Replaces the five named entities and numeric character references.
std::string XmlUnescape(const std::string& text);

}  // namespace tovela::fakeserver
