#include "win/Com.h"

namespace kw {

const CLSID kClsidDomDocument = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

ComApartment::ComApartment() : hr_(CoInitialize(nullptr)) {}

ComApartment::~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
}

Bstr::Bstr(std::wstring_view text)
    : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        Reset();
        value_ = other.value_;
        other.value_ = nullptr;
    }
    return *this;
}

void Bstr::Reset() {
    if (value_) SysFreeString(value_);
    value_ = nullptr;
}

}  // namespace kw
