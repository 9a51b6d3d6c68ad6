// Stamping files on disk: byte-for-byte results, encodings, chunk seams, and the ways a file can
// refuse to be stamped without losing a byte.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/TestSupport.h"
#include "common/WideBytes.h"
#include "version/StampFile.h"

#include <tuple>

using namespace kw;
using namespace kwtest;

namespace {

const CharSteps kShiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});

// A resource script with Windows-1252 and Shift-JIS bytes around its version lines; the numbers
// of the statements and of the string values are given.
std::string Script(const char* statements, const char* values) {
    return std::string("// \xA9 Kiln \x96 caf\xE9 \x83\x5C\x83\x74\x83\x67\r\n#include \"resource.h\"\r\n\r\n"
                       "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION ") + statements +
           "\r\n PRODUCTVERSION " + statements + "\r\n FILEFLAGSMASK 0x3fL\r\nBEGIN\r\n"
           "            VALUE \"CompanyName\", \"\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\\0\"\r\n"
           "            VALUE \"FileVersion\", \"" + values + "\\0\"\r\n"
           "            VALUE \"ProductVersion\", \"" + values + "\\0\"\r\n"
           "END\r\n// no line break at the end \xE9";
}

std::string Utf16(const std::wstring& text, bool bigEndian) {
    return kwtest::WideBytes(L"\uFEFF" + text, 2, bigEndian);
}

class StampFileTest : public ::testing::Test {
protected:
    kwtest::ScratchDir dir_{L"stamp"};
    std::wstring path_ = dir_.File(L"Calc.rc");
    VersionQuad version_;
};

}  // namespace

// Every case read in chunks of 1 to 17 bytes and whole, so that seams fall everywhere. The line
// rules themselves are the rule table's; here each row is a whole file.
TEST_F(StampFileTest, OnlyTheNumbersChangeWhereverTheChunksEnd) {
    // 0A0D 0D0A holds the bytes CR LF, but not the units: the line goes on, so its FILEVERSION is
    // not a first word. A surrogate pair in place of the blank is one character.
    const std::wstring head = L"// \x00A9 \x30AB\x30EB\x30AF \xD83D\xDD25\r\n\x0A0D\x0D0A FILEVERSION 1,1,1,1\r\n"
                              L" FILEVERSION\xD83D\xDE00";
    const std::wstring utf16 = head + L"9,9,9,9\r\n   VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\nEND";
    const std::wstring utf16After = head + L"9,9,10,9\r\n   VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\nEND";
    // Double-byte characters whose second bytes are a backslash, '@' and '|'.
    const std::string jis = "// \x83\x5C\x81\x40\x83\x7C\r\n VALUE \"FileVersion\", \"1.0.3.4\\0\" // \x95\x5C\r\n"
                            " FILEVERSION\x81\x40" "1,0,3,4 \x83\x5C\r\n\x83\x5C";
    const std::string jisAfter = "// \x83\x5C\x81\x40\x83\x7C\r\n VALUE \"FileVersion\", \"1.0.4.4\\0\"\r\n"
                                 " FILEVERSION\x81\x40" "1,0,4,4\r\n\x83\x5C";
    const std::string noLine = "VS_VERSION_INFO VERSIONINFO\n FILEVERSION 1,0,0,1\n PRODUCTVERSION 1,0,0,1\n";
    const std::string stray = " FILEVERSION 1,0,3,4\r\n" + std::string(300, 'x') + '\0' + "\r\n";
    const std::string unmarked = kwtest::WideBytes(L" FILEVERSION 1,0,3,4\r\n", 2, false);
    const std::string outside = " FILEVERSION 99999999999,-5,4294967295,-1\r\n PRODUCTVERSION 1,0,0,1\r\n";
    const std::wstring above = L"Warning: " + path_ + L" now holds a version part above 65535; the resource "
                               L"compiler keeps only 16 bits of each part.";
    const std::wstring unreadable = L"Warning: " + path_ + L" held a negative or too large version number; what "
                                    L"was stamped from it is not a valid version.";
    const std::vector<std::wstring> none, script = {L" -> 1.0.4.4"};
    const ActionSet set = ActionSetVersion, increment = ActionAutoIncrement;
    using E = TextEncoding;
    using F = StampFailure;
    struct Case {
        const char* what;
        std::string before, after;
        ActionSet actions;
        std::vector<std::wstring> log;
        TextEncoding encoding;  // of a stamped file
        StampFailure failure = StampFailure::None;
        CompilerKind kind = CompilerVC6;
        const CharSteps* steps = nullptr;
        std::vector<std::wstring> warnings = {};
    } cases[] = {
        {"increment", Script("1,0,3,4", "1.0.3.4"), Script("1,0,4,4", "1.0.4.4"), increment, script, E::Bytes},
        {"Shift-JIS", jis, jisAfter, increment, none, E::Bytes, F::None, CompilerVC6, &kShiftJis},
        {"UTF-8 mark", "\xEF\xBB\xBFMajorVer=1\r\nTitle=\"Caf\xC3\xA9\"\r\n",
         "\xEF\xBB\xBFMajorVer=2\r\nTitle=\"Caf\xC3\xA9\"\r\n", set, none, E::Utf8, F::None, CompilerVB6},
        // Every version line is checked, not only the last, and numbers read are checked as they stand.
        {"outside the parts", outside, " FILEVERSION 4294967295,4294967291,0,4294967295\r\n PRODUCTVERSION 1,0,1,1\r\n",
         increment, none, E::Bytes, F::None, CompilerVC6, nullptr, {unreadable, above}},
        {"UTF-16", Utf16(utf16, false), Utf16(utf16After, false), increment, script, E::Utf16Le},
        {"UTF-16 big-endian", Utf16(utf16, true), Utf16(utf16After, true), increment, script, E::Utf16Be},
        {"UTF-16 project file", Utf16(L"RevisionVer=12\r\n", false), Utf16(L"RevisionVer=13\r\n", false), increment,
         {L" -> 2.1.13"}, E::Utf16Le, F::None, CompilerVB6},
        {"odd last byte", Utf16(L" FILEVERSION 1,0,0,1\r\n", false) + "X",
         Utf16(L" FILEVERSION 2,1,0,7\r\n", false) + "X", set, none, E::Utf16Le},
        // Only CR LF ends a line: the last line without one is left alone.
        {"last line", " FILEVERSION 1,0,0,1\r\n FILEVERSION 1,0,0,1", " FILEVERSION 2,1,0,7\r\n FILEVERSION 1,0,0,1",
         set, none, E::Bytes},
        {"LF only", noLine, noLine, set, none, E::Bytes, F::NoVersionLine},
        {"CR alone", " FILEVERSION 1,0,0,1\r", " FILEVERSION 1,0,0,1\r", set, none, E::Bytes, F::NoVersionLine},
        {"empty", "", "", set, none, E::Bytes, F::NoVersionLine},
        {"only a mark", "\xFF\xFE", "\xFF\xFE", set, none, E::Bytes, F::NoVersionLine},
        // Zero bytes without a UTF-16 mark: not a text this step understands.
        {"UTF-16 without mark", unmarked, unmarked, increment, none, E::Bytes, F::HoldsZeroBytes},
        {"stray zero byte", stray, stray, increment, none, E::Bytes, F::HoldsZeroBytes},
    };
    for (const Case& c : cases) {
        for (size_t chunk = 1; chunk <= 18; ++chunk) {
            const StampOptions options{chunk < 18 ? chunk : StampOptions{}.chunkSize, c.steps};
            version_ = {2, 1, 0, 7};
            SCOPED_TRACE(std::string(c.what) + ", chunk " + std::to_string(chunk));
            WriteBytes(path_, c.before);
            const StampResult r = StampFile(path_, c.kind, c.actions, version_, options);
            EXPECT_EQ(ReadBytes(path_), c.after);
            EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"Calc.rc") << "nothing may stay behind";
            EXPECT_EQ(r.failure, c.failure);
            EXPECT_EQ(r.logLines, c.log);
            EXPECT_EQ(DescribeStampWarnings(path_, r), c.warnings);
            EXPECT_EQ(r.Stamped() ? r.encoding : c.encoding, c.encoding);
            EXPECT_TRUE(r.Stamped() || version_.major == 2) << "a file left unchanged hands on no numbers";
        }
    }
}

// Refused files keep every byte and their attributes; a replaced file keeps its attributes too,
// marked as changed for backups as any written file is.
TEST_F(StampFileTest, FilesKeepTheirAttributesAndRefusedOnesEveryByte) {
    const std::string before = Script("1,0,0,1", "1.0.0.1");
    const std::wstring temporary = TemporaryPathFor(path_);
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, readOnly = hidden | FILE_ATTRIBUTE_READONLY;
    using F = StampFailure;
    // Someone writing the file while letting us read; someone reading it while letting nobody
    // delete or rename it, so it reads fine but can't be replaced; a read-only file; a folder
    // where the temporary file would go.
    const std::tuple<const char*, DWORD, DWORD, DWORD, StampFailure, StampFailure> cases[] = {
        {"writer", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, 0, F::InUse, F::NotReplaced},
        {"no delete", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, F::InUse, F::NotReplaced},
        {"read-only", 0, 0, readOnly, F::ReadOnly, F::ReadOnly},
        {"temporary is a folder", 0, 0, 0, F::TemporaryExists, F::TemporaryExists},
    };
    for (const auto& [what, access, share, attributes, failure, orFailure] : cases) {
        SCOPED_TRACE(what);
        WriteBytes(path_, before);
        if (attributes) SetFileAttributesW(path_.c_str(), attributes);
        if (failure == F::TemporaryExists) CreateDirectoryW(temporary.c_str(), nullptr);
        HANDLE held = INVALID_HANDLE_VALUE;
        if (access) held = CreateFileW(path_.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        const StampResult r = StampFile(path_, CompilerVC6, ActionAutoIncrement, version_);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        RemoveDirectoryW(temporary.c_str());
        EXPECT_TRUE(r.failure == failure || r.failure == orFailure) << static_cast<int>(r.failure);
        EXPECT_TRUE(r.logLines.empty());
        EXPECT_EQ(version_.build, 0u) << "a file left unchanged hands on no numbers";
        EXPECT_EQ(GetFileAttributesW(path_.c_str()) & readOnly, attributes);
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadBytes(path_), before);
        EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"Calc.rc");
    }
    EXPECT_EQ(StampFile(dir_.File(L"Vanished\\Calc.rc"), CompilerVC6, ActionSetVersion, version_).failure,
              F::FolderMissing);

    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), hidden));
    ASSERT_TRUE(StampFile(path_, CompilerVC6, ActionAutoIncrement, version_).Stamped());
    EXPECT_EQ(GetFileAttributesW(path_.c_str()) & (readOnly | FILE_ATTRIBUTE_ARCHIVE), hidden | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(ReadBytes(path_), Script("1,0,1,1", "1.0.1.1"));
}
