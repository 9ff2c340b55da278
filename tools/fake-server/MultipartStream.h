#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tovela::fakeserver {

// A multipart/form-data body read as it arrives, strictly: it must open with the first
// delimiter, every part needs a Content-Disposition of form-data with a name, and it must
// end with the closing delimiter. Part data is handed on in pieces, never held whole.
class MultipartStream {
public:
    struct Part {
        std::string name;
        std::optional<std::string> fileName;
        std::string headers;  // the part's header lines as sent
    };
    struct Handlers {
        std::function<void(const Part&)> begin;
        std::function<void(std::string_view)> data;
        std::function<void()> end;
    };

    MultipartStream(std::string boundary, Handlers handlers);

    // False once the body is malformed; Error() says where.
    bool Feed(std::string_view bytes);
    // True when the body ended with the closing delimiter.
    bool Finish();
    const std::string& Error() const { return error_; }

    // The boundary parameter of a multipart/form-data Content-Type, or nothing.
    static std::optional<std::string> BoundaryOf(std::string_view contentType);

private:
    enum class State { Start, Headers, Data, AfterDelimiter, Closed, Failed };

    bool Step();
    bool Fail(std::string why);
    bool ParseHeaders(std::string_view block);

    std::string delimiter_;  // "\r\n--" + boundary
    Handlers handlers_;
    std::string buffer_;
    State state_ = State::Start;
    std::string error_;
};

}  // namespace tovela::fakeserver
