#include "platform/win32/WinInetUploadHttp.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

constexpr std::size_t kWriteChunk = 256 * 1024;

DWORD Milliseconds(std::chrono::milliseconds ms) {
    return static_cast<DWORD>(std::clamp<long long>(ms.count(), 1, 0x7FFFFFFF));
}

// Ends a request on which no byte moved for the allowance: closing a WinInet handle from
// another thread makes the call blocked on it return. WinInet's own receive time-out does not
// cover every wait (Wine's, for one, is not applied while the answer's headers are awaited).
class StallWatch {
public:
    StallWatch(std::chrono::milliseconds limit, std::function<void()> onStall)
        : limit_(limit), onStall_(std::move(onStall)), thread_([this] { Watch(); }) {}
    ~StallWatch() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;

    void Moved() { moves_.fetch_add(1, std::memory_order_relaxed); }
    bool Fired() const { return fired_.load(); }

private:
    void Watch() {
        using Steady = std::chrono::steady_clock;
        const auto step = std::clamp<std::chrono::milliseconds>(
            limit_ / 4, std::chrono::milliseconds(10), std::chrono::milliseconds(1000));
        std::unique_lock lock(mutex_);
        std::uint64_t seen = moves_.load();
        Steady::time_point lastMove = Steady::now();
        while (!changed_.wait_for(lock, step, [this] { return stop_; })) {
            const std::uint64_t moves = moves_.load();
            if (moves != seen) {
                seen = moves;
                lastMove = Steady::now();
            } else if (Steady::now() - lastMove >= limit_) {
                fired_ = true;
                onStall_();
                return;
            }
        }
    }

    std::chrono::milliseconds limit_;
    std::function<void()> onStall_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    std::atomic<std::uint64_t> moves_ = 0;
    std::atomic<bool> fired_ = false;
    std::thread thread_;  // last: it starts watching once everything above exists
};

class WinInetUploadHttp final : public UploadHttp {
public:
    explicit WinInetUploadHttp(const UploadLimits& limits) : limits_(limits) {}
    ~WinInetUploadHttp() override {
        Disconnect();
        if (session_) InternetCloseHandle(session_);
    }
    WinInetUploadHttp(const WinInetUploadHttp&) = delete;
    WinInetUploadHttp& operator=(const WinInetUploadHttp&) = delete;

    bool OpenSession(const std::string& agent) override {
        session_ =
            InternetOpenW(Wide(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!session_) return FailLast();
        SetTimeouts(session_);
        return true;
    }

    bool Connect(const std::string& server, std::uint16_t port) override {
        if (!session_) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        connection_ = InternetConnectW(session_, Wide(server).c_str(), port, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0);
        return connection_ != nullptr || FailLast();
    }

    bool OpenRequest(const std::string& verb, const std::string& object, const std::string& version,
                     bool secure) override {
        if (!connection_) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        // WinInet keeps no answer to a POST in its cache; asking it not to would only add a
        // Cache-Control header to the request.
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
        if (secure) flags |= INTERNET_FLAG_SECURE;
        HINTERNET request = HttpOpenRequestW(connection_, Wide(verb).c_str(), Wide(object).c_str(),
                                             Wide(version).c_str(), nullptr, nullptr, flags, 0);
        if (!request) return FailLast();
        // Some builds take the time-outs from the request only.
        SetTimeouts(request);
        request_ = request;
        return true;
    }

    bool SendRequest(const std::string& headers, UploadBody& body) override {
        const HINTERNET request = request_.load();
        if (!request) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        watch_ = std::make_unique<StallWatch>(limits_.stallTimeout, [this] {
            if (HINTERNET stalled = request_.exchange(nullptr)) InternetCloseHandle(stalled);
        });
        const std::wstring wideHeaders = Wide(headers);
        INTERNET_BUFFERSW buffers = {};
        buffers.dwStructSize = sizeof buffers;
        buffers.lpcszHeader = wideHeaders.c_str();
        buffers.dwHeadersLength = static_cast<DWORD>(wideHeaders.size());
        // A body over 4 GiB relies on the Content-Length of the header block.
        buffers.dwBufferTotal = body.Size() <= 0xFFFFFFFF ? static_cast<DWORD>(body.Size()) : 0;
        if (!HttpSendRequestExW(request, &buffers, nullptr, 0, 0)) return FailSend();
        std::vector<char> chunk(kWriteChunk);
        for (;;) {
            const std::optional<std::size_t> read = body.Read(chunk);
            if (!read) return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
            if (*read == 0) break;
            std::size_t done = 0;
            while (done < *read) {
                DWORD written = 0;
                if (!InternetWriteFile(request, chunk.data() + done,
                                       static_cast<DWORD>(*read - done), &written))
                    return FailSend();
                if (written == 0) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
                done += written;
                watch_->Moved();
            }
        }
        if (!HttpEndRequestW(request, nullptr, 0, 0)) return FailSend();
        // A closed request, or one whose answer never came, may still report success.
        if (watch_->Fired()) return Fail(ERROR_INTERNET_TIMEOUT);
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &size, nullptr))
            return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE);
        return true;
    }

    std::optional<std::string> QueryInfo(std::uint32_t level) override {
        const HINTERNET request = request_.load();
        if (!request) return std::nullopt;
        DWORD size = 0;
        HttpQueryInfoW(request, level, nullptr, &size, nullptr);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::nullopt;
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        if (!HttpQueryInfoW(request, level, text.data(), &size, nullptr)) return std::nullopt;
        text.resize(size / sizeof(wchar_t));
        return Narrow(text);
    }

    std::optional<std::size_t> ReadResponse(std::span<char> buffer) override {
        const HINTERNET request = request_.load();
        if (!request) return std::nullopt;
        DWORD read = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        if (!InternetReadFile(request, buffer.data(), wanted, &read)) {
            FailSend();
            return std::nullopt;
        }
        if (watch_) watch_->Moved();
        return read;
    }

    void Disconnect() override {
        watch_.reset();
        if (HINTERNET request = request_.exchange(nullptr)) InternetCloseHandle(request);
        if (connection_) InternetCloseHandle(connection_);
        connection_ = nullptr;
    }

    std::uint32_t LastError() override { return lastError_; }

    // WinInet's texts live in its own module, not in the system's table.
    std::string ErrorText(std::uint32_t code) override {
        wchar_t buffer[512] = {};
        DWORD length =
            FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleW(L"wininet.dll"), code, 0, buffer, 512, nullptr);
        if (length == 0) {
            length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, buffer, 512, nullptr);
        }
        while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n')) --length;
        return Narrow(std::wstring_view(buffer, length));
    }

private:
    // Connecting, and each wait for the network to take or bring bytes. The stall watch
    // tells a stall first; WinInet's own limits are a second line behind it.
    void SetTimeouts(HINTERNET handle) {
        DWORD connect = Milliseconds(limits_.connectTimeout);
        DWORD stall = Milliseconds(limits_.stallTimeout + std::chrono::seconds(10));
        InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        for (DWORD option :
             {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
              INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
            InternetSetOptionW(handle, option, &stall, sizeof stall);
    }

    bool FailLast() { return Fail(GetLastError()); }
    // A call on a request the stall watch closed failed because nothing moved.
    bool FailSend() {
        const DWORD code = GetLastError();
        return Fail(watch_ && watch_->Fired() ? ERROR_INTERNET_TIMEOUT : code);
    }
    bool Fail(DWORD code) {
        // Some builds let the socket's own time-out through.
        constexpr DWORD kSocketTimedOut = 10060;  // WSAETIMEDOUT
        lastError_ = code == kSocketTimedOut ? ERROR_INTERNET_TIMEOUT : code;
        return false;
    }

    UploadLimits limits_;
    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    std::atomic<HINTERNET> request_ = nullptr;
    std::unique_ptr<StallWatch> watch_;
    std::uint32_t lastError_ = 0;
};

class WinInetUploadHttpFactory final : public UploadHttpFactory {
public:
    explicit WinInetUploadHttpFactory(const UploadLimits& limits) : limits_(limits) {}
    std::unique_ptr<UploadHttp> Create() override {
        return std::make_unique<WinInetUploadHttp>(limits_);
    }

private:
    UploadLimits limits_;
};

}  // namespace

std::unique_ptr<UploadHttpFactory> CreateWinInetUploadHttpFactory(const UploadLimits& limits) {
    return std::make_unique<WinInetUploadHttpFactory>(limits);
}

}  // namespace tovela::win32
