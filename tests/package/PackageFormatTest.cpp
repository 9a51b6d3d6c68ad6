// The text rules of package values, tested directly.
#include <gtest/gtest.h>

#include <climits>

#include "package/PackageFormat.h"

using namespace kw;

TEST(PackageFormat, VersionTextSplitsIntoFourPartsAndJoinsAsItIs) {
    using Parts = std::array<std::wstring, 4>;
    const std::pair<const wchar_t*, Parts> cases[] = {
        {L"2.1.0.14", {L"2", L"1", L"0", L"14"}}, {L"1.2", {L"1", L"2", L"0", L"0"}},
        {L"1..3", {L"1", L"0", L"3", L"0"}},      {L"1.2.3.4.5", {L"1", L"2", L"3", L"4"}},
        {L"1.2b.0.0", {L"1", L"2b", L"0", L"0"}}, {L"", {L"", L"", L"", L""}},
    };
    for (const auto& [text, parts] : cases) EXPECT_EQ(SplitVersionText(text), parts) << text;
    EXPECT_EQ(JoinVersionText(L"1", L"", L"0", L"0"), L"1..0.0");
}

TEST(PackageFormat, RegistrableAndCompilerTexts) {
    for (const wchar_t* yes : {L"Y", L"y", L"yes", L"1", L"0", L"No", L" N"}) EXPECT_TRUE(RegistrableFromText(yes)) << yes;
    for (const wchar_t* no : {L"N", L"n", L""}) EXPECT_FALSE(RegistrableFromText(no)) << no;
    // Case-sensitive, nothing trimmed; staging writes everything but VC6 as VB6.
    const std::pair<const wchar_t*, CompilerKind> kinds[] = {
        {L"VC6", CompilerVC6}, {L"VB6", CompilerVB6}, {L"vc6", CompilerUnknown}, {L"VC6 ", CompilerUnknown}, {L"", CompilerUnknown}};
    for (const auto& [text, kind] : kinds) EXPECT_EQ(CompilerKindFromText(text), kind) << text;
    EXPECT_STREQ(CompilerTextForStaging(CompilerVC6), L"VC6");
    EXPECT_STREQ(CompilerTextForStaging(CompilerUnknown), L"VB6");
}

TEST(PackageFormat, ProjectIdReadsLikeTheCRuntimeAndSaturates) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"7", 7}, {L"007", 7}, {L"  12abc", 12}, {L"-3", -3}, {L"+4", 4}, {L"abc", 0}, {L"", 0},
        {L"99999999999", INT_MAX}, {L"-99999999999", INT_MIN},
        // Only the first 19 characters count.
        {L"                  5", 5}, {L"                   5", 0},
    };
    for (const auto& [text, id] : cases) EXPECT_EQ(ParseProjectId(text), id) << text;
}

TEST(PackageFormat, ProjectFilePathsTakenApart) {
    struct Case {
        std::wstring path;
        int result;
        const wchar_t* folder;
        const wchar_t* baseName;
        CompilerKind kind;
        const wchar_t* resourceFile;
    } cases[] = {
        {L"C:\\Src\\Util\\Util.dsp", 0, L"C:\\Src\\Util", L"Util", CompilerVC6, L"C:\\Src\\Util\\Util.rc"},
        {L"D:/My Projects/Rep.v2/Report.vbp", 0, L"D:/My Projects/Rep.v2", L"Report", CompilerVB6,
         L"D:/My Projects/Rep.v2\\Report.vbp"},
        {L"C:\\W\\All.dsw", 0, L"C:\\W", L"All", CompilerVC6, L"C:\\W\\All.rc"},
        {L"\\Root.dsp", 0, L"", L"Root", CompilerVC6, L"\\Root.rc"},
        {L"", -1}, {L"C:\\Src\\Util\\Util.DSP", -2}, {L"C:\\Src\\Util\\Util", -2}, {L"Util.dsp", -2},
        {L"C:\\Src\\Util\\Util.txt", -2}, {L"C:\\" + std::wstring(256, L'a') + L".dsp", -2},
        {std::wstring(256, L'f') + L"\\a.dsp", -2},
    };
    for (const Case& c : cases) {
        ProjectFileParts parts;
        ASSERT_EQ(SplitProjectFilePath(c.path, parts), c.result) << c.path.size();
        if (c.result != 0) continue;
        EXPECT_EQ(parts.folder, c.folder);
        EXPECT_EQ(parts.baseName, c.baseName);
        EXPECT_EQ(parts.kind, c.kind);
        EXPECT_EQ(DefaultResourceFile(parts), c.resourceFile);
    }
}
