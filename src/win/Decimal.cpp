#include "win/Decimal.h"

namespace kw {

namespace {

template <typename Unit>
bool IsSpace(Unit c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Unit>
bool IsDigit(Unit c) {
    return c >= '0' && c <= '9';
}

// Sign and digits as found; the magnitude stops growing past 2^33, which every reader counts as
// out of range, so no count of digits can overflow it.
struct Scan {
    bool negative = false;
    size_t digits = 0;
    std::uint64_t magnitude = 0;
    size_t end = 0;  // just after the last digit (or where the digits were sought)
};

template <typename Unit>
Scan ScanDecimal(std::basic_string_view<Unit> text, size_t pos, bool skipSpace, bool allowSign) {
    Scan scan;
    if (skipSpace) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
    }
    if (allowSign && pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        scan.negative = text[pos] == '-';
        ++pos;
    }
    constexpr std::uint64_t kCap = std::uint64_t(1) << 33;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos, ++scan.digits) {
        if (scan.magnitude < kCap) scan.magnitude = scan.magnitude * 10 + static_cast<unsigned>(text[pos] - '0');
    }
    scan.end = pos;
    return scan;
}

std::int64_t Signed(const Scan& scan) {
    return scan.negative ? -static_cast<std::int64_t>(scan.magnitude) : static_cast<std::int64_t>(scan.magnitude);
}

template <typename Unit>
std::int32_t RuntimeInt32(std::basic_string_view<Unit> text, size_t pos) {
    const std::int64_t value = Signed(ScanDecimal(text, pos, true, true));
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

template <typename Unit>
std::uint32_t RuntimeUInt32(std::basic_string_view<Unit> text, size_t pos) {
    const Scan scan = ScanDecimal(text, pos, true, true);
    if (scan.magnitude > UINT32_MAX) return UINT32_MAX;
    const std::uint32_t value = static_cast<std::uint32_t>(scan.magnitude);
    return scan.negative ? 0u - value : value;
}

template <typename Unit>
bool Digits(std::basic_string_view<Unit> text, std::uint32_t max, std::uint32_t& value) {
    const Scan scan = ScanDecimal(text, 0, false, false);
    if (scan.digits == 0 || scan.end != text.size() || scan.magnitude > max) return false;
    value = static_cast<std::uint32_t>(scan.magnitude);
    return true;
}

}  // namespace

std::int32_t ReadRuntimeInt32(std::string_view text, size_t pos) { return RuntimeInt32(text, pos); }
std::int32_t ReadRuntimeInt32(std::wstring_view text, size_t pos) { return RuntimeInt32(text, pos); }
std::uint32_t ReadRuntimeUInt32(std::string_view text, size_t pos) { return RuntimeUInt32(text, pos); }
std::uint32_t ReadRuntimeUInt32(std::wstring_view text, size_t pos) { return RuntimeUInt32(text, pos); }

bool ParseWholeInt32(std::wstring_view text, std::int32_t& value) {
    const Scan scan = ScanDecimal(text, 0, false, true);
    if (scan.digits == 0 || scan.end != text.size()) return false;
    const std::int64_t number = Signed(scan);
    if (number > INT32_MAX || number < INT32_MIN) return false;
    value = static_cast<std::int32_t>(number);
    return true;
}

bool ParseDigits(std::wstring_view text, std::uint32_t max, std::uint32_t& value) { return Digits(text, max, value); }
bool ParseDigits(std::string_view text, std::uint32_t max, std::uint32_t& value) { return Digits(text, max, value); }

}  // namespace kw
