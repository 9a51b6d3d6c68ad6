#include "win/Com.h"

namespace kw {

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
