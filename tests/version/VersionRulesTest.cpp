// The line rules on their own: resource-script and project-file lines, number reading, and lines
// holding double-byte, UTF-8 and UTF-16 text.
#include <gtest/gtest.h>

#include <climits>

#include "version/VersionRules.h"

using namespace kw;

namespace {

const CharSteps kSingle = CharSteps::SingleByte();
const CharSteps kShiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});
const VersionQuad kGiven{2, 1, 0, 7};
const std::string kValue = "            VALUE ";

struct Case {
    std::string before;
    ActionSet actions;
    std::string after;
    std::wstring log;
};

std::string Quad(const VersionQuad& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build) + "." +
           std::to_string(v.revision);
}

void Check(const std::vector<Case>& cases, std::wstring (*rules)(std::string&, ActionSet, VersionQuad&,
                                                                 const CharSteps&)) {
    for (const Case& c : cases) {
        VersionQuad v = kGiven;
        std::string line = c.before;
        EXPECT_EQ(rules(line, c.actions, v, kSingle), c.log) << c.before;
        EXPECT_EQ(line, c.after) << c.before;
    }
}

}  // namespace

TEST(ResourceScriptRules, SetAndIncrementStatementsAndStringValues) {
    Check({
              {" FILEVERSION 1,0,0,1\r\n", ActionSetVersion, " FILEVERSION 2,1,0,7\r\n", L""},
              {" PRODUCTVERSION 1,0,0,1\r\n", ActionSetVersion, " PRODUCTVERSION 2,1,0,7\r\n", L""},
              // Text before the marker stays; what followed the numbers goes.
              {"\t FILEVERSION  1, 0, 0, 1 // old\r\n", ActionSetVersion, "\t FILEVERSION 2,1,0,7\r\n", L""},
              {kValue + "\"FileVersion\", \"1.0.0.1\\0\"\r\n", ActionSetVersion,
               kValue + "\"FileVersion\", \"2.1.0.7\\0\"\r\n", L""},
              {kValue + "\"ProductVersion\", \"1, 0, 0, 1\\0\"\r\n", ActionSetVersion,
               kValue + "\"ProductVersion\", \"2.1.0.7\\0\"\r\n", L""},

              {" FILEVERSION 1,0,3,4\r\n", ActionAutoIncrement, " FILEVERSION 1,0,4,4\r\n", L""},
              {" PRODUCTVERSION 7,6,5,4 // x\r\n", ActionAutoIncrement, " PRODUCTVERSION 7,6,6,4\r\n", L""},
              {kValue + "\"FileVersion\", \"1.0.3.4\\0\"\r\n", ActionAutoIncrement,
               kValue + "\"FileVersion\", \"1.0.4.4\\0\"\r\n", L""},
              {kValue + "\"ProductVersion\", \"1.0.3.4\\0\"\r\n", ActionAutoIncrement,
               kValue + "\"ProductVersion\", \"1.0.4.4\\0\"\r\n", L" -> 1.0.4.4"},
              // Build wraps at the top without carrying into revision.
              {" FILEVERSION 1,2,4294967295,4\r\n", ActionAutoIncrement, " FILEVERSION 1,2,0,4\r\n", L""},
          },
          ApplyResourceScriptRules);
}

TEST(ResourceScriptRules, LinesTheRulesLeaveAlone) {
    const std::string commaValue = kValue + "\"ProductVersion\", \"1, 0, 0, 1\\0\"\r\n";
    Check({
              {commaValue, ActionAutoIncrement, commaValue, L""},  // no full stops to increment by
              {" FILEVERSION 3,2\r\n", ActionAutoIncrement, " FILEVERSION 3,2\r\n", L""},
              {" FILEVERSION\r\n", ActionSetVersion, " FILEVERSION\r\n", L""},  // value start in the CR LF
              {" FILEVERSION 1,0,0,1\r\n", ActionDebug, " FILEVERSION 1,0,0,1\r\n", L""},
              {"VS_VERSION_INFO VERSIONINFO\r\n", ActionSetVersion, "VS_VERSION_INFO VERSIONINFO\r\n", L""},
              {"FILEVERSION 1,0,0,1\r\n", ActionSetVersion, "FILEVERSION 1,0,0,1\r\n", L""},
              {" FileVersion 1,0,0,1\r\n", ActionSetVersion, " FileVersion 1,0,0,1\r\n", L""},
              {kValue + "\"fileversion\", \"1.0.0.1\\0\"\r\n", ActionSetVersion,
               kValue + "\"fileversion\", \"1.0.0.1\\0\"\r\n", L""},
              {"", ActionSetVersion, "", L""},
              // The first marker in table order decides.
              {" PRODUCTVERSION 3,0,0,0 FILEVERSION 1,0,0,1\r\n", ActionSetVersion,
               " PRODUCTVERSION 3,0,0,0 FILEVERSION 2,1,0,7\r\n", L""},
          },
          ApplyResourceScriptRules);
}

TEST(ResourceScriptRules, IncrementStoresEachNumberAsItIsRead) {
    VersionQuad v{9, 9, 9, 9};
    std::string line = " FILEVERSION 1,0,3,4\r\n";
    ApplyResourceScriptRules(line, ActionAutoIncrement, v, kSingle);
    EXPECT_EQ(Quad(v), "1.0.4.4");
    // A missing separator stops the rule; what was read stays stored.
    line = kValue + "\"FileVersion\", \"5, 6, 7, 8\\0\"\r\n";
    ApplyResourceScriptRules(line, ActionAutoIncrement, v, kSingle);
    EXPECT_EQ(Quad(v), "5.0.4.4");
    // Setting leaves the run's numbers alone.
    line = " FILEVERSION 1,0,3,4\r\n";
    ApplyResourceScriptRules(line, ActionSetVersion, v, kSingle);
    EXPECT_EQ(Quad(v), "5.0.4.4");
}

TEST(ProjectFileRules, SetAndIncrement) {
    Check({
              {"MajorVer=1\r\n", ActionSetVersion, "MajorVer=2\r\n", L""},
              {"MinorVer=0\r\n", ActionSetVersion, "MinorVer=1\r\n", L""},
              {"RevisionVer=12\r\n", ActionSetVersion, "RevisionVer=0\r\n", L""},  // the third number
              {"MajorVer=1\r\n", ActionAutoIncrement, "MajorVer=1\r\n", L""},
              {"RevisionVer=12\r\n", ActionAutoIncrement, "RevisionVer=13\r\n", L" -> 2.1.13"},
              {"RevisionVer=-1\r\n", ActionAutoIncrement, "RevisionVer=0\r\n", L" -> 2.1.0"},
              // Signed 32-bit arithmetic: the largest value wraps; beyond it the reading saturates.
              {"RevisionVer=2147483647\r\n", ActionAutoIncrement, "RevisionVer=-2147483648\r\n",
               L" -> 2.1.-2147483648"},
              {"RevisionVer=99999999999\r\n", ActionAutoIncrement, "RevisionVer=-2147483648\r\n",
               L" -> 2.1.-2147483648"},
              // Key order decides; the whole line is replaced.
              {"RevisionVer=4 'MajorVer\r\n", ActionSetVersion, "MajorVer=2\r\n", L""},
              {"Type=Exe\r\n", ActionSetVersion, "Type=Exe\r\n", L""},
              {"VersionCompanyName=\"Kiln\"\r\n", ActionAutoIncrement, "VersionCompanyName=\"Kiln\"\r\n", L""},
              {"AutoIncrementVer=0\r\n", ActionSetVersion, "AutoIncrementVer=0\r\n", L""},
              {"majorver=1\r\n", ActionSetVersion, "majorver=1\r\n", L""},
          },
          ApplyProjectFileRules);
}

TEST(ProjectFileRules, IncrementReadsMajorAndMinorAtFixedCharacters) {
    VersionQuad v{3, 2, 5, 9};
    for (std::string line : {"MajorVer=1\r\n", "MinorVer= 4 \r\n", "RevisionVer=12\r\n"}) {
        ApplyProjectFileRules(line, ActionAutoIncrement, v, kSingle);
    }
    EXPECT_EQ(Quad(v), "1.4.5.9") << "R + 1 is not stored";
    // The key is expected at the start of its line.
    std::string indented = "  MajorVer=42\r\n";
    ApplyProjectFileRules(indented, ActionAutoIncrement, v, kSingle);
    EXPECT_EQ(v.major, 0u);
}

TEST(VersionNumbers, ReadTheRuntimeWay) {
    EXPECT_EQ(ReadVersionNumber(std::string_view("  42x"), 0), 42u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("\t+7,"), 0), 7u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("x1"), 0), 0u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("12"), 5), 0u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("99999999999999999999999"), 0), 4294967295u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("-1"), 0), 4294967295u);
    EXPECT_EQ(ReadVersionNumber(std::wstring_view(L" 17"), 0), 17u);
    EXPECT_EQ(ReadSignedNumber(std::string_view("2147483648"), 0), INT32_MAX);
    EXPECT_EQ(ReadSignedNumber(std::string_view("-99999999999"), 0), INT32_MIN);
    EXPECT_EQ(ReadSignedNumber(std::wstring_view(L"-5"), 0), -5);
    EXPECT_EQ(NextRevision(INT32_MAX), INT32_MIN);
    EXPECT_EQ(NextRevision(-1), 0);
}

TEST(VersionRulesText, MultiByteCharactersStayWhole) {
    VersionQuad v = kGiven;
    // An ideographic space (Shift-JIS 81 40) where the blank would be: counted in bytes, the
    // value would start inside it.
    std::string line = " FILEVERSION\x81\x40" "1,0,0,1\r\n";
    ApplyResourceScriptRules(line, ActionSetVersion, v, kShiftJis);
    EXPECT_EQ(line, " FILEVERSION\x81\x40" "2,1,0,7\r\n");
    line = " FILEVERSION\x81\x40" "1,0,0,1\r\n";
    ApplyResourceScriptRules(line, ActionSetVersion, v, kSingle);
    EXPECT_EQ(line, " FILEVERSION\x81" "2,1,0,7\r\n");
    // A no-break space in UTF-8.
    line = " FILEVERSION\xC2\xA0" "1,0,0,1\r\n";
    ApplyResourceScriptRules(line, ActionSetVersion, v, CharSteps::Utf8());
    EXPECT_EQ(line, " FILEVERSION\xC2\xA0" "2,1,0,7\r\n");
    // 81 4D is one character whose second byte is 'M': no key there.
    line = "\x81" "MajorVer=1\r\n";
    ApplyProjectFileRules(line, ActionSetVersion, v, kShiftJis);
    EXPECT_EQ(line, "\x81" "MajorVer=1\r\n");
    line = "\x81\x40MajorVer=1\r\n";
    ApplyProjectFileRules(line, ActionSetVersion, v, kShiftJis);
    EXPECT_EQ(line, "MajorVer=2\r\n");
}

TEST(VersionRulesText, Utf16LinesFollowTheSameRules) {
    VersionQuad v = kGiven;
    std::wstring line = L"\x00C9\x0301 VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n";
    EXPECT_EQ(ApplyResourceScriptRules(line, ActionAutoIncrement, v), L" -> 1.0.4.4");
    EXPECT_EQ(line, L"\x00C9\x0301 VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\n");
    // A surrogate pair in place of the blank is one character.
    line = L" FILEVERSION\xD83D\xDE00" L"9,9,9,9\r\n";
    ApplyResourceScriptRules(line, ActionSetVersion, v);
    EXPECT_EQ(line, L" FILEVERSION\xD83D\xDE00" L"1,0,4,4\r\n");
    line = L"RevisionVer=12\r\n";
    EXPECT_EQ(ApplyProjectFileRules(line, ActionAutoIncrement, v), L" -> 1.0.13");
    EXPECT_EQ(line, L"RevisionVer=13\r\n");
}
