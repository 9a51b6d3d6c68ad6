// COM helpers: apartment scope, an owning BSTR, and the MSXML identifiers we need.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

// msxml2.h declares the interfaces but not their identifiers for __uuidof.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
#endif

namespace kw {

using Microsoft::WRL::ComPtr;

// MSXML 3 "DOMDocument" and IXMLDOMDocument2. mingw-w64 has the declarations but no import
// library carrying these GUIDs, so they are defined here once.
extern const CLSID kClsidDomDocument;
extern const IID kIidXmlDomDocument2;

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
