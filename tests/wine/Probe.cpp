// A small Windows program the end-to-end test runs inside the Wine desktop to look at what
// a user would see there:
//   probe windows [--children]  every top-level window (and its children), a line each:
//                               handle, class, visible (0/1), process id, rectangle, title
//   probe end-session CLASS     the end of the session, as the system tells it to the
//                               top-level windows of that class
//   probe screenshot FILE.png   the whole screen as a PNG picture
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

void PrintWindow(HWND hwnd, const char* prefix) {
    wchar_t className[256] = {};
    wchar_t title[512] = {};
    GetClassNameW(hwnd, className, 256);
    GetWindowTextW(hwnd, title, 512);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    std::printf("%s%p\t%s\t%d\t%lu\t%ld,%ld,%ld,%ld\t%s\n", prefix, static_cast<void*>(hwnd),
                Utf8(className).c_str(), IsWindowVisible(hwnd) ? 1 : 0,
                static_cast<unsigned long>(pid), r.left, r.top, r.right - r.left, r.bottom - r.top,
                Utf8(title).c_str());
}

BOOL CALLBACK EachChild(HWND hwnd, LPARAM) {
    PrintWindow(hwnd, "  ");
    return TRUE;
}

BOOL CALLBACK EachTopLevel(HWND hwnd, LPARAM children) {
    PrintWindow(hwnd, "");
    if (children) EnumChildWindows(hwnd, &EachChild, 0);
    return TRUE;
}

struct EndSession {
    std::wstring className;
    int found = 0;
};

BOOL CALLBACK EndSessionOf(HWND hwnd, LPARAM data) {
    auto* request = reinterpret_cast<EndSession*>(data);
    wchar_t className[256] = {};
    GetClassNameW(hwnd, className, 256);
    if (request->className != className) return TRUE;
    ++request->found;
    DWORD_PTR answer = 0;
    // The order and the time limits the system uses when a session ends.
    if (SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                            5000, &answer) &&
        answer) {
        SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 20000,
                            &answer);
        std::printf("ended %p\n", static_cast<void*>(hwnd));
    } else {
        std::printf("refused %p\n", static_cast<void*>(hwnd));
    }
    return TRUE;
}

// PNG with stored (uncompressed) deflate blocks: no compression library needed.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type,
           const std::vector<std::uint8_t>& data) {
    PutBig(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBig(png, Crc32(body.data(), body.size()));
}

std::vector<std::uint8_t> Png(int width, int height, const std::vector<std::uint8_t>& rgbRows) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBig(header, static_cast<std::uint32_t>(width));
    PutBig(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    Chunk(png, "IHDR", header);

    std::vector<std::uint8_t> zlib = {0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::size_t at = 0; at < rgbRows.size() || at == 0;) {
        const std::size_t size = std::min<std::size_t>(65535, rgbRows.size() - at);
        const bool last = at + size == rgbRows.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<std::uint8_t>(size));
        zlib.push_back(static_cast<std::uint8_t>(size >> 8));
        zlib.push_back(static_cast<std::uint8_t>(~size));
        zlib.push_back(static_cast<std::uint8_t>(~size >> 8));
        for (std::size_t i = at; i < at + size; ++i) {
            zlib.push_back(rgbRows[i]);
            a = (a + rgbRows[i]) % 65521;
            b = (b + a) % 65521;
        }
        at += size;
        if (last) break;
    }
    PutBig(zlib, (b << 16) | a);
    Chunk(png, "IDAT", zlib);
    Chunk(png, "IEND", {});
    return png;
}

int Screenshot(const wchar_t* file) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) return 1;
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    const auto* bgra = static_cast<const std::uint8_t*>(pixels);
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = bgra + (static_cast<std::size_t>(y) * width + x) * 4;
            rows.insert(rows.end(), {p[2], p[1], p[0]});
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    const std::vector<std::uint8_t> png = Png(width, height, rows);
    FILE* out = _wfopen(file, L"wb");
    if (!out) return 1;
    const bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"windows") {
        EnumWindows(&EachTopLevel, argc > 2 && std::wstring(argv[2]) == L"--children");
        return 0;
    }
    if (command == L"end-session" && argc > 2) {
        EndSession request{argv[2]};
        EnumWindows(&EndSessionOf, reinterpret_cast<LPARAM>(&request));
        return request.found > 0 ? 0 : 3;
    }
    if (command == L"screenshot" && argc > 2) return Screenshot(argv[2]);
    std::fprintf(stderr,
                 "usage: probe windows [--children] | end-session CLASS | screenshot FILE.png\n");
    return 2;
}
