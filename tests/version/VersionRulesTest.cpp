// The line rules on their own: resource-script and project-file lines, number reading, and lines
// holding double-byte and UTF-8 text (UTF-16 lines are in the file tests).
#include <gtest/gtest.h>

#include <climits>

#include "version/VersionRules.h"

using namespace kw;

namespace {

const CharSteps kSingle = CharSteps::SingleByte();
const CharSteps kShiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});
const CharSteps kUtf8 = CharSteps::Utf8();

std::string Quad(const VersionQuad& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build) + "." +
           std::to_string(v.revision);
}

}  // namespace

// Each line starts from the run's numbers 2.1.0.7; where given, what they are afterwards.
TEST(VersionRules, EachLineOnItsOwn) {
    using Rules = std::wstring (*)(std::string&, ActionSet, VersionQuad&, const CharSteps&);
    const Rules rc = ApplyResourceScriptRules, vbp = ApplyProjectFileRules;
    const ActionSet set = ActionSetVersion, increment = ActionAutoIncrement;
    const std::string value = "            VALUE ", ends = "\\0\"\r\n";
    struct Case {
        Rules rules;
        std::string before;
        ActionSet actions;
        std::string after;
        std::wstring log = L"";
        const char* stored = nullptr;
        const CharSteps* steps = &kSingle;
    } cases[] = {
        {rc, " FILEVERSION 1,0,0,1\r\n", set, " FILEVERSION 2,1,0,7\r\n", L"", "2.1.0.7"},
        // Text before the marker stays; what followed the numbers goes.
        {rc, "\t FILEVERSION  1, 0, 0, 1 // old\r\n", set, "\t FILEVERSION 2,1,0,7\r\n"},
        {rc, value + "\"ProductVersion\", \"1, 0, 0, 1" + ends, set, value + "\"ProductVersion\", \"2.1.0.7" + ends},
        {rc, " PRODUCTVERSION 7,6,5,4 // x\r\n", increment, " PRODUCTVERSION 7,6,6,4\r\n", L"", "7.6.6.4"},
        {rc, value + "\"ProductVersion\", \"1.0.3.4" + ends, increment, value + "\"ProductVersion\", \"1.0.4.4" + ends,
         L" -> 1.0.4.4", "1.0.4.4"},
        // Build wraps at the top without carrying into revision.
        {rc, " FILEVERSION 1,2,4294967295,4\r\n", increment, " FILEVERSION 1,2,0,4\r\n", L"", "1.2.0.4"},
        // A missing separator stops the rule; what was read stays stored.
        {rc, value + "\"ProductVersion\", \"5, 6, 7, 8" + ends, increment,
         value + "\"ProductVersion\", \"5, 6, 7, 8" + ends, L"", "5.1.0.7"},
        // Lines the rules leave alone.
        {rc, " FILEVERSION 3,2\r\n", increment, " FILEVERSION 3,2\r\n"},
        {rc, " FILEVERSION\r\n", set, " FILEVERSION\r\n"},  // value start in the CR LF
        {rc, " FILEVERSION 1,0,0,1\r\n", ActionDebug, " FILEVERSION 1,0,0,1\r\n", L"", "2.1.0.7"},
        {rc, "FILEVERSION 1,0,0,1\r\n", set, "FILEVERSION 1,0,0,1\r\n"},
        {rc, " FileVersion 1,0,0,1\r\n", set, " FileVersion 1,0,0,1\r\n"},
        {rc, value + "\"fileversion\", \"1.0.0.1" + ends, set, value + "\"fileversion\", \"1.0.0.1" + ends},
        // The first marker in table order decides.
        {rc, " PRODUCTVERSION 3,0,0,0 FILEVERSION 1,0,0,1\r\n", set, " PRODUCTVERSION 3,0,0,0 FILEVERSION 2,1,0,7\r\n"},

        {vbp, "MajorVer=1\r\n", set, "MajorVer=2\r\n"},
        {vbp, "MinorVer=0\r\n", set, "MinorVer=1\r\n"},
        {vbp, "RevisionVer=12\r\n", set, "RevisionVer=0\r\n"},  // the third number
        // Incrementing reads major and minor at fixed characters; the new revision is not stored.
        {vbp, "MajorVer=1\r\n", increment, "MajorVer=1\r\n", L"", "1.1.0.7"},
        {vbp, "MinorVer= 4 \r\n", increment, "MinorVer= 4 \r\n", L"", "2.4.0.7"},
        {vbp, "  MajorVer=42\r\n", increment, "  MajorVer=42\r\n", L"", "0.1.0.7"},
        {vbp, "RevisionVer=12\r\n", increment, "RevisionVer=13\r\n", L" -> 2.1.13", "2.1.0.7"},
        {vbp, "RevisionVer=-1\r\n", increment, "RevisionVer=0\r\n", L" -> 2.1.0"},
        // Signed 32-bit arithmetic: the largest value wraps; beyond it the reading saturates.
        {vbp, "RevisionVer=2147483647\r\n", increment, "RevisionVer=-2147483648\r\n", L" -> 2.1.-2147483648"},
        {vbp, "RevisionVer=99999999999\r\n", increment, "RevisionVer=-2147483648\r\n", L" -> 2.1.-2147483648"},
        // Key order decides; the whole line is replaced.
        {vbp, "RevisionVer=4 'MajorVer\r\n", set, "MajorVer=2\r\n"},
        {vbp, "AutoIncrementVer=0\r\n", set, "AutoIncrementVer=0\r\n"},
        {vbp, "majorver=1\r\n", set, "majorver=1\r\n"},

        // An ideographic space (Shift-JIS 81 40) where the blank would be: counted in bytes, the
        // value would start inside it. The same for a no-break space in UTF-8.
        {rc, " FILEVERSION\x81\x40" "1,0,0,1\r\n", set, " FILEVERSION\x81\x40" "2,1,0,7\r\n", L"", nullptr, &kShiftJis},
        {rc, " FILEVERSION\x81\x40" "1,0,0,1\r\n", set, " FILEVERSION\x81" "2,1,0,7\r\n"},
        {rc, " FILEVERSION\xC2\xA0" "1,0,0,1\r\n", set, " FILEVERSION\xC2\xA0" "2,1,0,7\r\n", L"", nullptr, &kUtf8},
        // 81 4D is one character whose second byte is 'M': no key there.
        {vbp, "\x81" "MajorVer=1\r\n", set, "\x81" "MajorVer=1\r\n", L"", nullptr, &kShiftJis},
        {vbp, "\x81\x40MajorVer=1\r\n", set, "MajorVer=2\r\n", L"", nullptr, &kShiftJis},
    };
    for (const Case& c : cases) {
        VersionQuad v{2, 1, 0, 7};
        std::string line = c.before;
        EXPECT_EQ(c.rules(line, c.actions, v, *c.steps), c.log) << c.before;
        EXPECT_EQ(line, c.after) << c.before;
        if (c.stored) {
            EXPECT_EQ(Quad(v), c.stored) << c.before;
        }
    }
}
