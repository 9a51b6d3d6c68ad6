// The text rules of package values, tested directly.
#include <gtest/gtest.h>

#include <climits>

#include "package/PackageFormat.h"

using namespace kw;

TEST(PackageFormat, VersionTextSplitsIntoFourParts) {
    using Parts = std::array<std::wstring, 4>;
    EXPECT_EQ(SplitVersionText(L"2.1.0.14"), (Parts{L"2", L"1", L"0", L"14"}));
    EXPECT_EQ(SplitVersionText(L"1.2"), (Parts{L"1", L"2", L"0", L"0"}));
    EXPECT_EQ(SplitVersionText(L"1..3"), (Parts{L"1", L"0", L"3", L"0"}));
    EXPECT_EQ(SplitVersionText(L"1.2.3.4.5"), (Parts{L"1", L"2", L"3", L"4"}));
    EXPECT_EQ(SplitVersionText(L"1.2b.0.0"), (Parts{L"1", L"2b", L"0", L"0"}));
    EXPECT_EQ(SplitVersionText(L""), (Parts{L"", L"", L"", L""}));
    EXPECT_EQ(JoinVersionText(L"1", L"", L"0", L"0"), L"1..0.0");
    EXPECT_EQ(SplitVersionText(JoinVersionText(L"1", L"", L"0", L"0")), (Parts{L"1", L"0", L"0", L"0"}));
}

TEST(PackageFormat, RegistrableIsFalseOnlyForEmptyAndN) {
    for (const wchar_t* yes : {L"Y", L"y", L"yes", L"1", L"0", L"No", L" N"}) {
        EXPECT_TRUE(RegistrableFromText(yes)) << yes;
    }
    for (const wchar_t* no : {L"N", L"n", L""}) EXPECT_FALSE(RegistrableFromText(no)) << no;
}

TEST(PackageFormat, CompilerTextIsCaseSensitive) {
    EXPECT_EQ(CompilerKindFromText(L"VC6"), CompilerVC6);
    EXPECT_EQ(CompilerKindFromText(L"VB6"), CompilerVB6);
    EXPECT_EQ(CompilerKindFromText(L"vc6"), CompilerUnknown);
    EXPECT_EQ(CompilerKindFromText(L"VC6 "), CompilerUnknown);
    EXPECT_EQ(CompilerKindFromText(L""), CompilerUnknown);
    EXPECT_STREQ(CompilerTextForStaging(CompilerVC6), L"VC6");
    EXPECT_STREQ(CompilerTextForStaging(CompilerUnknown), L"VB6");
}

TEST(PackageFormat, ProjectIdReadsLikeTheCRuntime) {
    EXPECT_EQ(ParseProjectId(L"7"), 7);
    EXPECT_EQ(ParseProjectId(L"007"), 7);
    EXPECT_EQ(ParseProjectId(L"  12abc"), 12);
    EXPECT_EQ(ParseProjectId(L"-3"), -3);
    EXPECT_EQ(ParseProjectId(L"+4"), 4);
    EXPECT_EQ(ParseProjectId(L"abc"), 0);
    EXPECT_EQ(ParseProjectId(L""), 0);
    // Out of range saturates rather than overflowing.
    EXPECT_EQ(ParseProjectId(L"99999999999"), INT_MAX);
    EXPECT_EQ(ParseProjectId(L"-99999999999"), INT_MIN);
    // Only the first 19 characters count.
    EXPECT_EQ(ParseProjectId(L"                  5"), 5);
    EXPECT_EQ(ParseProjectId(L"                   5"), 0);
}

TEST(PackageFormat, ProjectFilePathsTakenApart) {
    ProjectFileParts parts;
    ASSERT_EQ(SplitProjectFilePath(L"C:\\Src\\Util\\Util.dsp", parts), 0);
    EXPECT_EQ(parts.folder, L"C:\\Src\\Util");
    EXPECT_EQ(parts.baseName, L"Util");
    EXPECT_EQ(parts.kind, CompilerVC6);
    EXPECT_EQ(DefaultResourceFile(parts), L"C:\\Src\\Util\\Util.rc");

    ASSERT_EQ(SplitProjectFilePath(L"D:/My Projects/Rep.v2/Report.vbp", parts), 0);
    EXPECT_EQ(parts.folder, L"D:/My Projects/Rep.v2");
    EXPECT_EQ(parts.baseName, L"Report");
    EXPECT_EQ(DefaultResourceFile(parts), L"D:/My Projects/Rep.v2\\Report.vbp");

    ASSERT_EQ(SplitProjectFilePath(L"C:\\W\\All.dsw", parts), 0);
    EXPECT_EQ(parts.kind, CompilerVC6);
    ASSERT_EQ(SplitProjectFilePath(L"\\Root.dsp", parts), 0);
    EXPECT_EQ(parts.folder, L"");

    EXPECT_EQ(SplitProjectFilePath(L"", parts), -1);
    EXPECT_EQ(SplitProjectFilePath(L"C:\\Src\\Util\\Util.DSP", parts), -2);
    EXPECT_EQ(SplitProjectFilePath(L"C:\\Src\\Util\\Util", parts), -2);
    EXPECT_EQ(SplitProjectFilePath(L"Util.dsp", parts), -2);
    EXPECT_EQ(SplitProjectFilePath(L"C:\\Src\\Util\\Util.txt", parts), -2);
    EXPECT_EQ(SplitProjectFilePath(L"C:\\" + std::wstring(256, L'a') + L".dsp", parts), -2);
    EXPECT_EQ(SplitProjectFilePath(std::wstring(256, L'f') + L"\\a.dsp", parts), -2);
}
