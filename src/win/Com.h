// COM helpers: apartment scope, an owning BSTR and VARIANT, and ComPtr.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

namespace kw {

using Microsoft::WRL::ComPtr;

// CoInitialize for the lifetime of the object (single-threaded apartment).
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

// Owns one BSTR; move-only.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text);
    ~Bstr() { Reset(); }
    Bstr(Bstr&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
    Bstr& operator=(Bstr&& other) noexcept;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    void Reset();
    BSTR Get() const { return value_; }
    BSTR* Out() { Reset(); return &value_; }
    std::wstring Str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

// Owns a VARIANT; cleared on destruction.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Out() { VariantClear(&value_); return &value_; }
    VARIANT& Get() { return value_; }

private:
    VARIANT value_;
};

}  // namespace kw
