// The line rules on their own: resource-script lines, project-file lines, number reading, and
// lines holding double-byte, UTF-8 and UTF-16 text.
#include <gtest/gtest.h>

#include <climits>

#include "version/VersionRules.h"

using namespace kw;

namespace {

const CharSteps kSingle = CharSteps::SingleByte();
const CharSteps kShiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});

VersionQuad Quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    VersionQuad v;
    v.major = a;
    v.minor = b;
    v.build = c;
    v.revision = d;
    return v;
}

void ExpectQuad(const VersionQuad& v, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    EXPECT_EQ(v.major, a);
    EXPECT_EQ(v.minor, b);
    EXPECT_EQ(v.build, c);
    EXPECT_EQ(v.revision, d);
}

struct Rewritten {
    std::string line;
    std::wstring log;
};

Rewritten Script(std::string line, ActionSet actions, VersionQuad& version, const CharSteps& steps = kSingle) {
    std::wstring log = ApplyResourceScriptRules(line, actions, version, steps);
    return {line, log};
}

Rewritten Project(std::string line, ActionSet actions, VersionQuad& version, const CharSteps& steps = kSingle) {
    std::wstring log = ApplyProjectFileRules(line, actions, version, steps);
    return {line, log};
}

}  // namespace

// ---- resource scripts: setting ------------------------------------------------------------

TEST(ResourceScriptRules, SetRewritesStatementsAfterTheirPrefix) {
    VersionQuad v = Quad(2, 1, 0, 7);
    EXPECT_EQ(Script(" FILEVERSION 1,0,0,1\r\n", ActionSetVersion, v).line, " FILEVERSION 2,1,0,7\r\n");
    EXPECT_EQ(Script(" PRODUCTVERSION 1,0,0,1\r\n", ActionSetVersion, v).line, " PRODUCTVERSION 2,1,0,7\r\n");
    // Indentation and tabs before the marker stay; what followed the numbers goes.
    EXPECT_EQ(Script("\t FILEVERSION  1, 0, 0, 1 // old\r\n", ActionSetVersion, v).line,
              "\t FILEVERSION 2,1,0,7\r\n");
    ExpectQuad(v, 2, 1, 0, 7);
}

TEST(ResourceScriptRules, SetRewritesStringValuesInFullStopStyle) {
    VersionQuad v = Quad(2, 1, 0, 7);
    Rewritten r = Script("            VALUE \"FileVersion\", \"1.0.0.1\\0\"\r\n", ActionSetVersion, v);
    EXPECT_EQ(r.line, "            VALUE \"FileVersion\", \"2.1.0.7\\0\"\r\n");
    EXPECT_TRUE(r.log.empty());
    r = Script("            VALUE \"ProductVersion\", \"1.0.0.1\\0\"\r\n", ActionSetVersion, v);
    EXPECT_EQ(r.line, "            VALUE \"ProductVersion\", \"2.1.0.7\\0\"\r\n");
    EXPECT_TRUE(r.log.empty()) << "setting posts no line of its own";
    // Comma style is rewritten in the full-stop style.
    EXPECT_EQ(Script("            VALUE \"FileVersion\", \"1, 0, 0, 1\\0\"\r\n", ActionSetVersion, v).line,
              "            VALUE \"FileVersion\", \"2.1.0.7\\0\"\r\n");
}

TEST(ResourceScriptRules, LargestNumbersAreWrittenWhole) {
    VersionQuad v = Quad(UINT32_MAX, 0, UINT32_MAX, 65535);
    EXPECT_EQ(Script(" FILEVERSION 1,0,0,1\r\n", ActionSetVersion, v).line,
              " FILEVERSION 4294967295,0,4294967295,65535\r\n");
}

TEST(ResourceScriptRules, FirstMarkerInTableOrderDecides) {
    VersionQuad v = Quad(2, 1, 0, 7);
    // Both statements on one line: only FILEVERSION applies, 13 characters after its blank.
    EXPECT_EQ(Script(" FILEVERSION 1,0,0,1 PRODUCTVERSION 3,0,0,0\r\n", ActionSetVersion, v).line,
              " FILEVERSION 2,1,0,7\r\n");
    EXPECT_EQ(Script(" PRODUCTVERSION 3,0,0,0 FILEVERSION 1,0,0,1\r\n", ActionSetVersion, v).line,
              " PRODUCTVERSION 3,0,0,0 FILEVERSION 2,1,0,7\r\n");
}

TEST(ResourceScriptRules, OtherLinesPassUnchanged) {
    VersionQuad v = Quad(2, 1, 0, 7);
    for (const char* line : {
             "VS_VERSION_INFO VERSIONINFO\r\n",
             "FILEVERSION 1,0,0,1\r\n",        // no leading blank
             " FileVersion 1,0,0,1\r\n",       // case differs
             "            VALUE \"FileDescription\", \"Calc\\0\"\r\n",
             "            VALUE \"fileversion\", \"1.0.0.1\\0\"\r\n",
             "\r\n",
             "",
         }) {
        for (ActionSet action : {ActionSetVersion, ActionAutoIncrement}) {
            Rewritten r = Script(line, action, v);
            EXPECT_EQ(r.line, line);
            EXPECT_TRUE(r.log.empty());
        }
    }
    ExpectQuad(v, 2, 1, 0, 7);
}

TEST(ResourceScriptRules, ValueStartInsideTheLineBreakNeverSplitsTheLine) {
    VersionQuad v = Quad(2, 1, 0, 7);
    EXPECT_EQ(Script(" FILEVERSION\r\n", ActionSetVersion, v).line, " FILEVERSION\r\n");
    // Exactly at the end of the text: the numbers follow the prefix.
    EXPECT_EQ(Script(" FILEVERSION \r\n", ActionSetVersion, v).line, " FILEVERSION 2,1,0,7\r\n");
}

TEST(ResourceScriptRules, NoVersionActionChangesNothing) {
    VersionQuad v = Quad(2, 1, 0, 7);
    EXPECT_EQ(Script(" FILEVERSION 1,0,0,1\r\n", ActionDebug, v).line, " FILEVERSION 1,0,0,1\r\n");
}

// ---- resource scripts: incrementing -------------------------------------------------------

TEST(ResourceScriptRules, IncrementRaisesBuildOfEachLineFromItsOwnNumbers) {
    VersionQuad v = Quad(9, 9, 9, 9);
    Rewritten r = Script(" FILEVERSION 1,0,3,4\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(r.line, " FILEVERSION 1,0,4,4\r\n");
    EXPECT_TRUE(r.log.empty());
    ExpectQuad(v, 1, 0, 4, 4);

    r = Script(" PRODUCTVERSION 7,6,5,4\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(r.line, " PRODUCTVERSION 7,6,6,4\r\n");
    ExpectQuad(v, 7, 6, 6, 4);

    r = Script("            VALUE \"FileVersion\", \"1.0.3.4\\0\"\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(r.line, "            VALUE \"FileVersion\", \"1.0.4.4\\0\"\r\n");
    EXPECT_TRUE(r.log.empty());

    r = Script("            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(r.line, "            VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\n");
    EXPECT_EQ(r.log, L" -> 1.0.4.4");
    ExpectQuad(v, 1, 0, 4, 4);
}

TEST(ResourceScriptRules, IncrementDropsWhatFollowedTheNumbers) {
    VersionQuad v;
    EXPECT_EQ(Script(" FILEVERSION 1, 2, 3, 4 // keep?\r\n", ActionAutoIncrement, v).line,
              " FILEVERSION 1,2,4,4\r\n");
}

TEST(ResourceScriptRules, CommaStyleStringValueStaysUnderIncrement) {
    VersionQuad v = Quad(9, 9, 9, 9);
    const std::string line = "            VALUE \"ProductVersion\", \"1, 0, 0, 1\\0\"\r\n";
    Rewritten r = Script(line, ActionAutoIncrement, v);
    EXPECT_EQ(r.line, line);
    EXPECT_TRUE(r.log.empty());
    // The major part was read and stored before the missing separator stopped the rule.
    ExpectQuad(v, 1, 9, 9, 9);
}

TEST(ResourceScriptRules, IncompleteNumbersKeepWhatWasReadSoFar) {
    VersionQuad v = Quad(9, 9, 9, 9);
    EXPECT_EQ(Script(" FILEVERSION 3,2\r\n", ActionAutoIncrement, v).line, " FILEVERSION 3,2\r\n");
    ExpectQuad(v, 3, 2, 9, 9);
}

TEST(ResourceScriptRules, BuildWrapsAtTheTopWithoutCarry) {
    VersionQuad v;
    EXPECT_EQ(Script(" FILEVERSION 1,2,4294967295,4\r\n", ActionAutoIncrement, v).line, " FILEVERSION 1,2,0,4\r\n");
    ExpectQuad(v, 1, 2, 0, 4);
}

TEST(ResourceScriptRules, MarkerFinderReportsValueStartAndFlags) {
    ResourceVersionMarker m;
    ASSERT_TRUE(FindResourceVersionMarker(std::string_view(" FILEVERSION 1,0,0,1\r\n"), kSingle, m));
    EXPECT_EQ(m.valueStart, 13u);
    EXPECT_FALSE(m.stringValue);
    ASSERT_TRUE(FindResourceVersionMarker(std::string_view("  VALUE \"ProductVersion\", \"1\"\r\n"), kSingle, m));
    EXPECT_EQ(m.valueStart, 8u + 19u);
    EXPECT_TRUE(m.stringValue);
    EXPECT_TRUE(m.logIncrement);
    EXPECT_FALSE(FindResourceVersionMarker(std::string_view("BLOCK \"StringFileInfo\"\r\n"), kSingle, m));
}

// ---- project files ------------------------------------------------------------------------

TEST(ProjectFileRules, SetWritesMajorMinorAndBuildAsRevision) {
    VersionQuad v = Quad(3, 2, 5, 9);
    EXPECT_EQ(Project("MajorVer=1\r\n", ActionSetVersion, v).line, "MajorVer=3\r\n");
    EXPECT_EQ(Project("MinorVer=0\r\n", ActionSetVersion, v).line, "MinorVer=2\r\n");
    Rewritten r = Project("RevisionVer=12\r\n", ActionSetVersion, v);
    EXPECT_EQ(r.line, "RevisionVer=5\r\n");
    EXPECT_TRUE(r.log.empty());
    ExpectQuad(v, 3, 2, 5, 9);
}

TEST(ProjectFileRules, IncrementReadsMajorMinorAndRaisesRevision) {
    VersionQuad v = Quad(3, 2, 5, 9);
    EXPECT_EQ(Project("MajorVer=1\r\n", ActionAutoIncrement, v).line, "MajorVer=1\r\n");
    EXPECT_EQ(Project("MinorVer=0\r\n", ActionAutoIncrement, v).line, "MinorVer=0\r\n");
    Rewritten r = Project("RevisionVer=12\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(r.line, "RevisionVer=13\r\n");
    EXPECT_EQ(r.log, L" -> 1.0.13");
    // R + 1 is not stored; build and revision keep the user's numbers.
    ExpectQuad(v, 1, 0, 5, 9);
}

TEST(ProjectFileRules, RevisionAtTheSignedLimitWraps) {
    VersionQuad v = Quad(1, 0, 0, 0);
    Rewritten r = Project("RevisionVer=2147483647\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(r.line, "RevisionVer=-2147483648\r\n");
    EXPECT_EQ(r.log, L" -> 1.0.2147483648");
    EXPECT_EQ(Project("RevisionVer=-1\r\n", ActionAutoIncrement, v).line, "RevisionVer=0\r\n");
    // Beyond the limit the reading saturates first, then wraps.
    EXPECT_EQ(Project("RevisionVer=99999999999\r\n", ActionAutoIncrement, v).line, "RevisionVer=-2147483648\r\n");
}

TEST(ProjectFileRules, KeysAreTestedInOrderAndOtherLinesPass) {
    VersionQuad v = Quad(3, 2, 5, 9);
    // MajorVer wins over RevisionVer on the same line; the whole line is replaced.
    EXPECT_EQ(Project("RevisionVer=4 'MajorVer\r\n", ActionSetVersion, v).line, "MajorVer=3\r\n");
    for (const char* line : {"Type=Exe\r\n", "VersionCompanyName=\"Kiln\"\r\n", "AutoIncrementVer=0\r\n",
                             "majorver=1\r\n", "Name=\"Calc\"\r\n"}) {
        EXPECT_EQ(Project(line, ActionSetVersion, v).line, line);
        EXPECT_EQ(Project(line, ActionAutoIncrement, v).line, line);
    }
    ExpectQuad(v, 3, 2, 5, 9);
}

TEST(ProjectFileRules, NumbersAreReadAtFixedCharacters) {
    VersionQuad v;
    Project("MajorVer= 42 \r\n", ActionAutoIncrement, v);
    EXPECT_EQ(v.major, 42u);
    // The key is expected at the start of the line; elsewhere the number is read from the wrong place.
    Project("  MajorVer=42\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(v.major, 0u);
    Project("MinorVer=\r\n", ActionAutoIncrement, v);
    EXPECT_EQ(v.minor, 0u);
}

// ---- numbers ------------------------------------------------------------------------------

TEST(VersionNumbers, ReadTheRuntimeWay) {
    EXPECT_EQ(ReadVersionNumber(std::string_view("  42x"), 0), 42u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("\t+7,"), 0), 7u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("x1"), 0), 0u);
    EXPECT_EQ(ReadVersionNumber(std::string_view(""), 0), 0u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("12"), 5), 0u) << "past the end";
    EXPECT_EQ(ReadVersionNumber(std::string_view("4294967295"), 0), 4294967295u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("99999999999999999999999"), 0), 4294967295u);
    EXPECT_EQ(ReadVersionNumber(std::string_view("-1"), 0), 4294967295u);
    EXPECT_EQ(ReadVersionNumber(std::wstring_view(L" 17"), 0), 17u);

    EXPECT_EQ(ReadSignedNumber(std::string_view("2147483647"), 0), INT32_MAX);
    EXPECT_EQ(ReadSignedNumber(std::string_view("2147483648"), 0), INT32_MAX);
    EXPECT_EQ(ReadSignedNumber(std::string_view("-2147483648"), 0), INT32_MIN);
    EXPECT_EQ(ReadSignedNumber(std::string_view("-99999999999"), 0), INT32_MIN);
    EXPECT_EQ(ReadSignedNumber(std::wstring_view(L"-5"), 0), -5);

    EXPECT_EQ(NextRevision(INT32_MAX), INT32_MIN);
    EXPECT_EQ(NextRevision(-1), 0);
    EXPECT_EQ(NextRevision(12), 13);
}

// ---- characters beyond ASCII --------------------------------------------------------------

TEST(VersionRulesText, DoubleByteCharacterAfterAMarkerStaysWhole) {
    VersionQuad v = Quad(2, 1, 0, 7);
    // An ideographic space (Shift-JIS 81 40) where the blank would be.
    const std::string line = " FILEVERSION\x81\x40" "1,0,0,1\r\n";
    EXPECT_EQ(Script(line, ActionSetVersion, v, kShiftJis).line, " FILEVERSION\x81\x40" "2,1,0,7\r\n");
    // Counted in bytes the value would start inside the character.
    EXPECT_EQ(Script(line, ActionSetVersion, v, kSingle).line, " FILEVERSION\x81" "2,1,0,7\r\n");
}

TEST(VersionRulesText, DoubleByteTrailByteIsNotAKey) {
    VersionQuad v = Quad(3, 2, 5, 9);
    // 81 4D is one character whose second byte is 'M'.
    const std::string line = "\x81" "MajorVer=1\r\n";
    EXPECT_EQ(Project(line, ActionSetVersion, v, kShiftJis).line, line);
    EXPECT_EQ(Project("\x81\x40MajorVer=1\r\n", ActionSetVersion, v, kShiftJis).line, "MajorVer=3\r\n");
}

TEST(VersionRulesText, DoubleByteTextBeforeTheValueIsKeptByteForByte) {
    VersionQuad v;
    // "\x83\x5C" has a backslash as its second byte, "\x95\x5C" too: both must survive.
    const std::string prefix = "            VALUE \"FileVersion\", \"";
    const std::string line = "// \x83\x5C\x95\x5C\r\n";
    EXPECT_EQ(Script(line, ActionAutoIncrement, v, kShiftJis).line, line);
    EXPECT_EQ(Script(prefix + "1.0.3.4\\0\" // \x83\x5C\r\n", ActionAutoIncrement, v, kShiftJis).line,
              prefix + "1.0.4.4\\0\"\r\n");
}

TEST(VersionRulesText, Utf8CharacterAfterAMarkerStaysWhole) {
    VersionQuad v = Quad(2, 1, 0, 7);
    const std::string line = " FILEVERSION\xC2\xA0" "1,0,0,1\r\n";  // no-break space
    EXPECT_EQ(Script(line, ActionSetVersion, v, CharSteps::Utf8()).line, " FILEVERSION\xC2\xA0" "2,1,0,7\r\n");
}

TEST(VersionRulesText, Utf16LinesFollowTheSameRules) {
    VersionQuad v = Quad(2, 1, 0, 7);
    std::wstring line = L"            VALUE \"FileVersion\", \"1.0.0.1\\0\"\r\n";
    EXPECT_TRUE(ApplyResourceScriptRules(line, ActionSetVersion, v).empty());
    EXPECT_EQ(line, L"            VALUE \"FileVersion\", \"2.1.0.7\\0\"\r\n");

    line = L"\x00C9\x0301 VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n";
    EXPECT_EQ(ApplyResourceScriptRules(line, ActionAutoIncrement, v), L" -> 1.0.4.4");
    EXPECT_EQ(line, L"\x00C9\x0301 VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\n");

    // A surrogate pair in place of the blank is one character.
    line = L" FILEVERSION\xD83D\xDE00" L"1,0,0,1\r\n";
    ApplyResourceScriptRules(line, ActionSetVersion, v);
    EXPECT_EQ(line, L" FILEVERSION\xD83D\xDE00" L"1,0,4,4\r\n");

    line = L"RevisionVer=12\r\n";
    EXPECT_EQ(ApplyProjectFileRules(line, ActionAutoIncrement, v), L" -> 1.0.13");
    EXPECT_EQ(line, L"RevisionVer=13\r\n");
}

TEST(VersionRulesText, KindChoosesTheRules) {
    VersionQuad v = Quad(3, 2, 5, 9);
    std::string line = "MajorVer=1\r\n";
    ApplyVersionRules(CompilerVC6, line, ActionSetVersion, v, kSingle);
    EXPECT_EQ(line, "MajorVer=1\r\n");
    ApplyVersionRules(CompilerVB6, line, ActionSetVersion, v, kSingle);
    EXPECT_EQ(line, "MajorVer=3\r\n");
    line = " FILEVERSION 1,0,0,1\r\n";
    ApplyVersionRules(CompilerUnknown, line, ActionSetVersion, v, kSingle);
    EXPECT_EQ(line, " FILEVERSION 1,0,0,1\r\n");
}
