#include "MultipartStream.h"

#include <algorithm>
#include <cctype>

namespace tovela::fakeserver {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The parameter of a header value ("form-data; name=\"x\""), unquoted; nothing when absent.
std::optional<std::string> Parameter(std::string_view value, std::string_view key) {
    std::size_t start = value.find(';');
    while (start != value.npos) {
        const std::size_t end = value.find(';', start + 1);
        const std::string_view item = Trim(value.substr(start + 1, end - start - 1));
        const std::size_t equals = item.find('=');
        if (equals != item.npos && Lower(Trim(item.substr(0, equals))) == key) {
            std::string_view text = Trim(item.substr(equals + 1));
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
                text = text.substr(1, text.size() - 2);
            return std::string(text);
        }
        start = end;
    }
    return std::nullopt;
}

}  // namespace

MultipartStream::MultipartStream(std::string boundary, Handlers handlers)
    : delimiter_("\r\n--" + boundary), handlers_(std::move(handlers)) {}

std::optional<std::string> MultipartStream::BoundaryOf(std::string_view contentType) {
    if (Lower(Trim(contentType.substr(0, contentType.find(';')))) != "multipart/form-data")
        return std::nullopt;
    std::optional<std::string> boundary = Parameter(contentType, "boundary");
    if (boundary && boundary->empty()) return std::nullopt;
    return boundary;
}

bool MultipartStream::Fail(std::string why) {
    if (state_ != State::Failed) error_ = std::move(why);
    state_ = State::Failed;
    return false;
}

bool MultipartStream::Feed(std::string_view bytes) {
    if (state_ == State::Failed) return false;
    if (state_ == State::Closed) return true;  // what follows the end is not looked at
    buffer_.append(bytes);
    while (Step()) {
    }
    return state_ != State::Failed;
}

// Handles what the buffer allows; true when it should be called again.
bool MultipartStream::Step() {
    switch (state_) {
        case State::Start: {
            // The body opens with the delimiter without its leading line break.
            const std::string_view first = std::string_view(delimiter_).substr(2);
            if (buffer_.size() < first.size()) return false;
            if (buffer_.compare(0, first.size(), first) != 0)
                return Fail("the body does not start with the boundary");
            buffer_.erase(0, first.size());
            state_ = State::AfterDelimiter;
            return true;
        }
        case State::AfterDelimiter: {
            if (buffer_.size() < 2) return false;
            const std::string next = buffer_.substr(0, 2);
            buffer_.erase(0, 2);
            if (next == "--") {
                state_ = State::Closed;
                buffer_.clear();
                return false;
            }
            if (next != "\r\n") return Fail("a delimiter is not followed by a line break");
            state_ = State::Headers;
            return true;
        }
        case State::Headers: {
            const std::size_t end = buffer_.find("\r\n\r\n");
            if (end == std::string::npos) {
                if (buffer_.size() > 64 * 1024) return Fail("part headers without an end");
                return false;
            }
            if (!ParseHeaders(std::string_view(buffer_).substr(0, end))) return false;
            buffer_.erase(0, end + 4);
            state_ = State::Data;
            return true;
        }
        case State::Data: {
            const std::size_t found = buffer_.find(delimiter_);
            if (found == std::string::npos) {
                // Keep what could be the start of a delimiter.
                const std::size_t safe =
                    buffer_.size() > delimiter_.size() ? buffer_.size() - delimiter_.size() : 0;
                if (safe > 0) {
                    handlers_.data(std::string_view(buffer_).substr(0, safe));
                    buffer_.erase(0, safe);
                }
                return false;
            }
            if (found > 0) handlers_.data(std::string_view(buffer_).substr(0, found));
            handlers_.end();
            buffer_.erase(0, found + delimiter_.size());
            state_ = State::AfterDelimiter;
            return true;
        }
        default:
            return false;
    }
}

bool MultipartStream::ParseHeaders(std::string_view block) {
    Part part;
    part.headers = block;
    bool formData = false;
    std::size_t start = 0;
    while (start <= block.size()) {
        std::size_t end = block.find("\r\n", start);
        if (end == block.npos) end = block.size();
        const std::string_view line = block.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon == line.npos) return Fail("a part header without a colon");
        if (Lower(Trim(line.substr(0, colon))) == "content-disposition") {
            const std::string_view value = Trim(line.substr(colon + 1));
            formData = Lower(Trim(value.substr(0, value.find(';')))) == "form-data";
            part.name = Parameter(value, "name").value_or("");
            part.fileName = Parameter(value, "filename");
        }
        start = end + 2;
    }
    if (!formData || part.name.empty()) return Fail("a part without a form-data name");
    handlers_.begin(part);
    return true;
}

bool MultipartStream::Finish() {
    if (state_ == State::Closed) return true;
    return Fail(state_ == State::Failed ? error_ : "the body ends before its closing delimiter");
}

}  // namespace tovela::fakeserver
