// The one family that reads decimal numbers, against the rule of each field that uses it: the
// ProjectID, a version line's number, RevisionVer, and the console's whole-text options (a target,
// a part of --set-version). The window's version fields have their row in the window's tests.
#include <gtest/gtest.h>

#include "package/PackageFormat.h"
#include "version/VersionRules.h"
#include "win/Decimal.h"
#include "win/Text.h"

#include <string>

namespace kw {
namespace {

// What a whole-text reader made of the text: the number, or "-" when it refused it.
template <typename Number>
std::string Whole(bool accepted, Number value) {
    return accepted ? std::to_string(value) : "-";
}

TEST(NumberRules, EachFieldReadsTheHardCasesByItsOwnRule) {
    const struct {
        const wchar_t* text;
        std::int32_t projectId;  // C runtime, signed, saturating, first 19 characters
        std::uint32_t line;      // C runtime, unsigned: saturates, a minus negates modulo 2^32
        std::int32_t revision;   // C runtime, signed, saturating
        const char* target;      // the whole text, signed 32-bit
        const char* part;        // digits only, at most 65535
    } cases[] = {
        {L"", 0, 0, 0, "-", "-"},
        {L"   ", 0, 0, 0, "-", "-"},
        {L" \t7", 7, 7, 7, "-", "-"},
        {L"+5", 5, 5, 5, "5", "-"},
        {L"-5", -5, 4294967291u, -5, "-5", "-"},
        {L"007", 7, 7, 7, "7", "7"},
        {L"12abc", 12, 12, 12, "-", "-"},
        {L"65535", 65535, 65535, 65535, "65535", "65535"},
        {L"65536", 65536, 65536, 65536, "65536", "-"},
        {L"2147483647", INT32_MAX, 2147483647u, INT32_MAX, "2147483647", "-"},
        {L"2147483648", INT32_MAX, 2147483648u, INT32_MAX, "-", "-"},  // 2^31
        {L"-2147483648", INT32_MIN, 2147483648u, INT32_MIN, "-2147483648", "-"},
        {L"-2147483649", INT32_MIN, 2147483647u, INT32_MIN, "-", "-"},
        {L"4294967296", INT32_MAX, 4294967295u, INT32_MAX, "-", "-"},  // 2^32
        {L"-4294967296", INT32_MIN, 4294967295u, INT32_MIN, "-", "-"},
        {L"18446744073709551616", INT32_MAX, 4294967295u, INT32_MAX, "-", "-"},  // 2^64
        {L"00000000000000000012", 1, 12, 12, "12", "12"},  // the ProjectID sees 19 characters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        const std::wstring text = c.text;
        const std::string bytes = ToUtf8(text);
        EXPECT_EQ(ParseProjectId(text), c.projectId);
        EXPECT_EQ(ReadVersionLineNumber(std::string_view(bytes), 0), c.line);
        EXPECT_EQ(ReadVersionLineNumber(std::wstring_view(text), 0), c.line);
        EXPECT_EQ(ReadSignedNumber(std::string_view(bytes), 0), c.revision);
        std::int32_t target = 0;
        const bool targetRead = ParseWholeInt32(text, target);
        EXPECT_EQ(Whole(targetRead, target), c.target);
        std::uint32_t part = 0;
        const bool partRead = ParseDigits(text, 65535, part);
        EXPECT_EQ(Whole(partRead, part), c.part);
    }
    // A number is read where the field's rule says it starts; past the end there is none.
    EXPECT_EQ(ReadVersionLineNumber(std::string_view("MajorVer=3\r\n"), 9), 3u);
    EXPECT_EQ(ReadVersionLineNumber(std::string_view("12"), 5), 0u);
}

}  // namespace
}  // namespace kw
