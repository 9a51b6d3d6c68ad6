// The text rules of package values, tested directly (the ProjectID is read by the number rules).
#include <gtest/gtest.h>

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
    // Case-sensitive, nothing trimmed (staging writes everything but VC6 as VB6: the edit tests).
    const std::pair<const wchar_t*, CompilerKind> kinds[] = {
        {L"VC6", CompilerVC6}, {L"VB6", CompilerVB6}, {L"vc6", CompilerUnknown}, {L"VC6 ", CompilerUnknown}, {L"", CompilerUnknown}};
    for (const auto& [text, kind] : kinds) EXPECT_EQ(CompilerKindFromText(text), kind) << text;
}

TEST(PackageFormat, ProjectFilePathsTakenApart) {
    // "result|folder|base name|kind|default resource file"
    const std::pair<std::wstring, const wchar_t*> cases[] = {
        {L"C:\\Src\\Util\\Util.dsp", L"0|C:\\Src\\Util|Util|1|C:\\Src\\Util\\Util.rc"},
        {L"D:/My Projects/Rep.v2/Report.vbp", L"0|D:/My Projects/Rep.v2|Report|2|D:/My Projects/Rep.v2\\Report.vbp"},
        {L"C:\\W\\All.dsw", L"0|C:\\W|All|1|C:\\W\\All.rc"},
        {L"\\Root.dsp", L"0||Root|1|\\Root.rc"},
        {L"", L"-1"}, {L"C:\\Src\\Util\\Util.DSP", L"-2"}, {L"C:\\Src\\Util\\Util", L"-2"}, {L"Util.dsp", L"-2"},
        {L"C:\\Src\\Util\\Util.txt", L"-2"}, {L"C:\\" + std::wstring(256, L'a') + L".dsp", L"-2"},
        {std::wstring(256, L'f') + L"\\a.dsp", L"-2"},
    };
    for (const auto& [path, expected] : cases) {
        ProjectFileParts parts;
        int result = SplitProjectFilePath(path, parts);
        std::wstring got = std::to_wstring(result);
        if (result == 0)
            got += L"|" + parts.folder + L"|" + parts.baseName + L"|" + std::to_wstring(parts.kind) + L"|" +
                   DefaultResourceFile(parts);
        EXPECT_EQ(got, expected) << path.size();
    }
}
