// The line rules on their own: resource-script and project-file lines, number reading, and lines
// holding double-byte and UTF-8 text (UTF-16 lines are in the file tests).
#include <gtest/gtest.h>

#include "package/PackageFormat.h"
#include "version/VersionRules.h"
#include "win/Decimal.h"
#include "win/Text.h"

using namespace kw;

namespace {

const CharSteps kSingle = CharSteps::SingleByte();
const CharSteps kShiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});
const CharSteps kUtf8 = CharSteps::Utf8();

std::string Quad(const VersionQuad& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build) + "." +
           std::to_string(v.revision);
}

std::string Report(const LineReport& r) {
    return std::string(r.versionLine ? "v" : "") + (r.wroteAbove16Bits ? "w" : "") + (r.readOutOfRange ? "r" : "");
}

}  // namespace

// Each line starts from the run's numbers (2.1.0.7 unless given); where given, what they are
// afterwards; "=" for a line left as it was. The report: v a version line, w a part above 65535
// now in the file, r a number read that was negative or too large for its part.
TEST(VersionRules, EachLineOnItsOwn) {
    const CompilerKind rc = CompilerVC6, vbp = CompilerVB6;
    const ActionSet set = ActionSetVersion, inc = ActionAutoIncrement;
    const std::string value = "            VALUE ", ends = "\\0\"\r\n";
    const VersionQuad big{70000, 0, 70000, 0};
    struct Case {
        CompilerKind kind;
        std::string before;
        ActionSet actions;
        std::string after;
        const char* report;
        std::wstring log = L"";
        const char* stored = nullptr;
        const CharSteps* steps = &kSingle;
        VersionQuad from = {2, 1, 0, 7};
    } cases[] = {
        {rc, " FILEVERSION 1,0,0,1\r\n", set, " FILEVERSION 2,1,0,7\r\n", "v", L"", "2.1.0.7"},
        // Blanks and tabs before the word stay; what followed the numbers goes.
        {rc, "\t FILEVERSION  1, 0, 0, 1 // old\r\n", set, "\t FILEVERSION 2,1,0,7\r\n", "v"},
        {rc, "FILEVERSION\t1,0,0,1\r\n", set, "FILEVERSION\t2,1,0,7\r\n", "v"},
        // The value starts after its opening quote, however the comma is spaced.
        {rc, "\tVALUE  \"FileVersion\",\"1.0.0.1" + ends, set, "\tVALUE  \"FileVersion\",\"2.1.0.7" + ends, "v"},
        {rc, " PRODUCTVERSION 7,6,5,4 // x\r\n", inc, " PRODUCTVERSION 7,6,6,4\r\n", "v", L"", "7.6.6.4"},
        {rc, value + "\"ProductVersion\", \"1.0.3.4" + ends, inc, value + "\"ProductVersion\", \"1.0.4.4" + ends,
         "v", L" -> 1.0.4.4", "1.0.4.4"},
        // Build wraps at the top without carrying into revision.
        {rc, " FILEVERSION 1,2,4294967295,4\r\n", inc, " FILEVERSION 1,2,0,4\r\n", "v", L"", "1.2.0.4"},
        // A missing separator stops the rule; what was read stays stored.
        {rc, value + "\"ProductVersion\", \"5, 6, 7, 8" + ends, inc, "=", "v", L"", "5.1.0.7"},
        // Lines written are checked against 16 bits, numbers read against their range (both: the file tests).
        {rc, " FILEVERSION 1,0,65535,0\r\n", inc, " FILEVERSION 1,0,65536,0\r\n", "vw"},
        {rc, " FILEVERSION -0,0,0,0\r\n", inc, " FILEVERSION 0,0,1,0\r\n", "v"},
        {rc, " FILEVERSION 1,-2\r\n", inc, "=", "vr"},
        {rc, " FILEVERSION 70000,0,0,0\r\n", set, " FILEVERSION 2,1,0,7\r\n", "v"},
        {rc, " FILEVERSION 1,0,0,1\r\n", set, " FILEVERSION 70000,0,70000,0\r\n", "vw", L"", nullptr, &kSingle, big},
        // Lines the rules leave alone.
        {rc, " FILEVERSION\r\n", set, "=", "v"},  // value start in the CR LF
        {rc, " FILEVERSION 1,0,0,1\r\n", ActionDebug, "=", "v", L"", "2.1.0.7"},
        {rc, " FileVersion 1,0,0,1\r\n", set, "=", ""},     {rc, " FILEVERSIONS 1,0,0,1\r\n", set, "=", ""},
        {rc, "// FILEVERSION 1,0,0,1\r\n", set, "=", ""}, {rc, value + "\"FileVersion\", VER_STR\r\n", set, "=", ""},
        {rc, "    IDS_VER \"\\\"FileVersion\\\", \\\"1.0\"\r\n", set, "=", ""},
        {rc, value + "\"fileversion\", \"1.0.0.1" + ends, set, "=", ""},
        {rc, value + "\"FileVersions\", \"1.0.0.1" + ends, set, "=", ""},
        {rc, value + "\"Comments\", \"FileVersion 1.0" + ends, set, "=", ""},
        {rc, "BLOCK \"FileVersion\", \"1.0.0.1" + ends, set, "=", ""},
        // The first word decides.
        {rc, " PRODUCTVERSION 3,0,0,0 FILEVERSION 1,0,0,1\r\n", set, " PRODUCTVERSION 2,1,0,7\r\n", "v"},

        {vbp, "MajorVer=1\r\n", set, "MajorVer=2\r\n", "v"}, {vbp, "MinorVer=0\r\n", set, "MinorVer=1\r\n", "v"},
        {vbp, "RevisionVer=12\r\n", set, "RevisionVer=0\r\n", "v"},  // the third number
        {vbp, "MajorVer=1\r\n", set, "MajorVer=70000\r\n", "vw", L"", nullptr, &kSingle, big},
        {vbp, "RevisionVer=1\r\n", set, "RevisionVer=70000\r\n", "vw", L"", nullptr, &kSingle, big},
        // Incrementing reads major and minor after the key; the new revision is not stored.
        {vbp, "MajorVer=1\r\n", inc, "=", "v", L"", "1.1.0.7"},
        {vbp, "MinorVer= 4 \r\n", inc, "=", "v", L"", "2.4.0.7"},
        {vbp, "RevisionVer=12\r\n", inc, "RevisionVer=13\r\n", "v", L" -> 2.1.13", "2.1.0.7"},
        {vbp, "RevisionVer=65535\r\n", inc, "RevisionVer=65536\r\n", "vw", L" -> 2.1.65536"},
        {vbp, "MajorVer=70000\r\n", inc, "=", "vw", L"", "70000.1.0.7"},
        {vbp, "MajorVer=-1\r\n", inc, "=", "vwr", L"", "4294967295.1.0.7"},
        {vbp, "RevisionVer=-1\r\n", inc, "RevisionVer=0\r\n", "vr", L" -> 2.1.0"},
        // Signed 32-bit arithmetic: the largest value wraps; beyond it the reading saturates.
        {vbp, "RevisionVer=2147483647\r\n", inc, "RevisionVer=-2147483648\r\n", "vr", L" -> 2.1.-2147483648"},
        {vbp, "RevisionVer=99999999999\r\n", inc, "RevisionVer=-2147483648\r\n", "vr", L" -> 2.1.-2147483648"},
        // Only a key at the start of its line, with its equals sign; the whole line is replaced.
        {vbp, "RevisionVer=4 'MajorVer\r\n", set, "RevisionVer=0\r\n", "v"},
        {vbp, "VersionComments=\"RevisionVer=3\"\r\n", inc, "=", ""},
        {vbp, "  MajorVer=42\r\n", set, "=", ""},  {vbp, "MajorVersion=1\r\n", set, "=", ""},
        {vbp, "MajorVer =1\r\n", set, "=", ""},    {vbp, "majorver=1\r\n", set, "=", ""},
        {vbp, "MajorVer=1\r\n", set | ActionDebug, "MajorVer=2\r\n", "v"},

        // An ideographic space (Shift-JIS 81 40) where the blank would be: counted in bytes, the
        // value would start inside it. The same for a no-break space in UTF-8.
        {rc, " FILEVERSION\x81\x40" "1,0,0,1\r\n", set, " FILEVERSION\x81\x40" "2,1,0,7\r\n", "v", L"", nullptr,
         &kShiftJis},
        {rc, " FILEVERSION\x81\x40" "1,0,0,1\r\n", set, " FILEVERSION\x81" "2,1,0,7\r\n", "v"},
        {rc, " FILEVERSION\xC2\xA0" "1,0,0,1\r\n", set, " FILEVERSION\xC2\xA0" "2,1,0,7\r\n", "v", L"", nullptr, &kUtf8},
        // 81 4D is one character whose second byte is 'M': no key there.
        {vbp, "\x81" "MajorVer=1\r\n", set, "=", "", L"", nullptr, &kShiftJis},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        VersionQuad v = c.from;
        std::string line = c.before;
        LineReport report;
        EXPECT_EQ(ApplyVersionRules(c.kind, line, c.actions, v, *c.steps, &report), c.log);
        EXPECT_EQ(line, c.after == "=" ? c.before : c.after);
        EXPECT_EQ(Report(report), c.report);
        EXPECT_TRUE(!c.stored || Quad(v) == c.stored) << Quad(v);
    }
}

// The one family that reads decimal numbers, against the rule of each field that uses it: the
// ProjectID, a version line's number, RevisionVer, and the console's whole-text options (a target,
// a part of --set-version). The window's version fields have their row in the window's tests.
TEST(NumberRules, EachFieldReadsTheHardCasesByItsOwnRule) {
    const struct {
        const wchar_t* text;
        std::int32_t projectId;  // C runtime, signed, saturating, first 19 characters
        std::uint32_t line;      // C runtime, unsigned: saturates, a minus negates modulo 2^32
        std::int32_t revision;   // C runtime, signed, saturating
        const char* target;      // the whole text, signed 32-bit
        const char* part;        // digits only, at most 65535
    } cases[] = {
        {L"", 0, 0, 0, "-", "-"},          {L"   ", 0, 0, 0, "-", "-"},
        {L" \t7", 7, 7, 7, "-", "-"},      {L"+5", 5, 5, 5, "5", "-"},
        {L"-5", -5, 4294967291u, -5, "-5", "-"},
        {L"007", 7, 7, 7, "7", "7"},       {L"12abc", 12, 12, 12, "-", "-"},
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
        const std::string bytes = ToUtf8(c.text);
        SCOPED_TRACE(bytes);
        EXPECT_EQ(ParseProjectId(c.text), c.projectId);
        EXPECT_EQ(ReadVersionLineNumber(bytes, 0), c.line);
        EXPECT_EQ(ReadVersionLineNumber(c.text, 0), c.line);
        EXPECT_EQ(ReadSignedNumber(bytes, 0), c.revision);
        std::int32_t target = 0;
        std::uint32_t part = 0;
        EXPECT_EQ(ParseWholeInt32(c.text, target) ? std::to_string(target) : "-", c.target);
        EXPECT_EQ(ParseDigits(c.text, 65535, part) ? std::to_string(part) : "-", c.part);
    }
    // A number is read where the field's rule says it starts.
    EXPECT_EQ(ReadVersionLineNumber("MajorVer=3\r\n", 9), 3u);
}
