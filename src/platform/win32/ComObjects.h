// Owners of COM interface pointers and BSTRs.
#pragma once

#include <oleauto.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/WinText.h"

namespace tovela::win32 {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_ != nullptr) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes a reference of its own to a pointer someone else holds.
    static ComPtr Retain(T* p) {
        ComPtr result;
        result.p_ = p;
        if (p != nullptr) p->AddRef();
        return result;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }

    BSTR Get() const { return b_; }
    BSTR* Put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    std::string Utf8() const {
        return b_ == nullptr ? std::string() : Narrow(std::wstring_view(b_, SysStringLen(b_)));
    }

private:
    BSTR b_ = nullptr;
};

}  // namespace tovela::win32
