// Stamping files on disk: byte-for-byte results, encodings, chunk seams, and every way a file can
// refuse to be stamped without losing a byte.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/TestSupport.h"
#include "common/SortedFolder.h"
#include "version/StampFile.h"

using namespace kw;
using kwtest::FileExists;
using kwtest::ReadBytes;
using kwtest::ScratchDir;
using kwtest::WriteBytes;

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
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

class StampFileTest : public ::testing::Test {
protected:
    // Writes bytes, stamps them, and returns what the file holds afterwards.
    std::string Stamp(const std::string& bytes, CompilerKind kind, ActionSet actions, StampResult* out = nullptr,
                      const StampOptions& options = {}) {
        WriteBytes(path_, bytes);
        StampResult result = StampFile(path_, kind, actions, version_, options);
        EXPECT_FALSE(FileExists(TemporaryPathFor(path_))) << "no .new file may stay behind";
        if (out) *out = result;
        return ReadBytes(path_);
    }

    ScratchDir dir_{L"stamp"};
    std::wstring path_ = dir_.File(L"Calc.rc");
    VersionQuad version_{2, 1, 0, 7};
};

}  // namespace

// ---- byte-for-byte results ----------------------------------------------------------------

TEST_F(StampFileTest, OnlyTheNumbersChange) {
    StampResult r;
    EXPECT_EQ(Stamp(Script("1,0,3,4", "1.0.3.4"), CompilerVC6, ActionAutoIncrement, &r), Script("1,0,4,4", "1.0.4.4"));
    EXPECT_TRUE(r.Stamped());
    EXPECT_EQ(r.encoding, TextEncoding::Bytes);
    EXPECT_EQ(r.logLines, std::vector<std::wstring>{L" -> 1.0.4.4"});
    EXPECT_EQ(version_.build, 4u);
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc");

    version_ = {2, 1, 0, 7};
    EXPECT_EQ(Stamp(Script("1,0,0,1", "1, 0, 0, 1"), CompilerVC6, ActionSetVersion, &r), Script("2,1,0,7", "2.1.0.7"));
    EXPECT_TRUE(r.logLines.empty());

    path_ = dir_.File(L"Calc.vbp");
    const std::string vbp = "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nVersionCompanyName=\"\xC4pfel\"\r\n";
    EXPECT_EQ(Stamp(vbp, CompilerVB6, ActionAutoIncrement, &r),
              "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=13\r\nVersionCompanyName=\"\xC4pfel\"\r\n");
    EXPECT_EQ(r.logLines, std::vector<std::wstring>{L" -> 1.0.13"});
    version_ = {3, 2, 5, 9};
    EXPECT_EQ(Stamp(vbp, CompilerVB6, ActionSetVersion),
              "Type=Exe\r\nMajorVer=3\r\nMinorVer=2\r\nRevisionVer=5\r\nVersionCompanyName=\"\xC4pfel\"\r\n");
}

TEST_F(StampFileTest, OnlyCrLfEndsALineAndAFileWithoutVersionLinesStaysAsItIs) {
    // LF only, a last line without CR LF or with a CR alone, an empty file: no version line is
    // seen, and the file is not replaced.
    for (const std::string text : {"VS_VERSION_INFO VERSIONINFO\n FILEVERSION 1,0,0,1\n PRODUCTVERSION 1,0,0,1\n",
                                   " FILEVERSION 1,0,0,1\r", ""}) {
        StampResult r;
        EXPECT_EQ(Stamp(text, CompilerVC6, ActionSetVersion, &r), text);
        EXPECT_EQ(r.failure, StampFailure::NoVersionLine);
        EXPECT_EQ(DescribeStampFailure(path_, r), L"No version line found in " + path_ + L"; the file is unchanged.");
    }
    EXPECT_EQ(Stamp(" FILEVERSION 1,0,0,1\r\n FILEVERSION 1,0,0,1", CompilerVC6, ActionSetVersion),
              " FILEVERSION 2,1,0,7\r\n FILEVERSION 1,0,0,1");
}

TEST_F(StampFileTest, AnExistingNewFileIsTheUsersAndIsKept) {
    WriteBytes(path_, " FILEVERSION 1,0,0,1\r\n");
    WriteBytes(TemporaryPathFor(path_), "the user's own");
    EXPECT_EQ(StampFile(path_, CompilerVC6, ActionSetVersion, version_).failure, StampFailure::TemporaryExists);
    EXPECT_EQ(ReadBytes(TemporaryPathFor(path_)), "the user's own");
    EXPECT_EQ(ReadBytes(path_), " FILEVERSION 1,0,0,1\r\n");
}

TEST_F(StampFileTest, LinesAndCharactersSplitBetweenReadsStayWhole) {
    // Double-byte characters whose second bytes are a backslash, '@' and '|', on version lines
    // and beside them, with seams at every offset.
    const std::string before = "// \x83\x5C\x81\x40\x83\x7C\r\n VALUE \"FileVersion\", \"1.0.3.4\\0\" // \x95\x5C\r\n"
                               " FILEVERSION\x81\x40" "1,0,3,4 \x83\x5C\r\n\x83\x5C";
    const std::string after = "// \x83\x5C\x81\x40\x83\x7C\r\n VALUE \"FileVersion\", \"1.0.4.4\\0\"\r\n"
                              " FILEVERSION\x81\x40" "1,0,4,4\r\n\x83\x5C";
    for (size_t chunk = 1; chunk <= 17; ++chunk) {
        StampOptions options;
        options.chunkSize = chunk;
        options.ansiSteps = &kShiftJis;
        EXPECT_EQ(Stamp(before, CompilerVC6, ActionAutoIncrement, nullptr, options), after) << "chunk " << chunk;
        options.ansiSteps = nullptr;
        StampResult r;
        EXPECT_EQ(Stamp(Script("1,0,3,4", "1.0.3.4"), CompilerVC6, ActionAutoIncrement, &r, options),
                  Script("1,0,4,4", "1.0.4.4"));
        EXPECT_EQ(r.logLines.size(), 1u);
    }
}

// ---- Unicode files ------------------------------------------------------------------------

TEST_F(StampFileTest, Utf16ScriptsAreStampedInTheirOwnEncoding) {
    // 0A0D 0D0A holds the bytes CR LF, but not the units: the line goes on to its marker.
    const std::wstring head = L"// \x00A9 \x30AB\x30EB\x30AF \xD83D\xDD25\r\n\x0A0D\x0D0A FILEVERSION ";
    const std::wstring before = head + L"9,9,9,9\r\n   VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\nEND";
    const std::wstring after = head + L"9,9,10,9\r\n   VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\nEND";
    for (bool bigEndian : {false, true}) {
        for (size_t chunk : {1u, 3u, 64u * 1024u}) {
            StampOptions options;
            options.chunkSize = chunk;
            StampResult r;
            EXPECT_EQ(Stamp(Utf16(before, bigEndian), CompilerVC6, ActionAutoIncrement, &r, options),
                      Utf16(after, bigEndian));
            EXPECT_EQ(r.encoding, bigEndian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le);
            EXPECT_EQ(r.logLines, std::vector<std::wstring>{L" -> 1.0.4.4"});
        }
    }
    // An odd last byte and a file of nothing but the mark survive.
    version_ = {2, 1, 0, 7};
    EXPECT_EQ(Stamp(Utf16(L" FILEVERSION 1,0,0,1\r\n", false) + "X", CompilerVC6, ActionSetVersion),
              Utf16(L" FILEVERSION 2,1,0,7\r\n", false) + "X");
    EXPECT_EQ(Stamp("\xFF\xFE", CompilerVC6, ActionSetVersion), "\xFF\xFE");
}

TEST_F(StampFileTest, Utf8MarkStaysOutOfTheFirstLine) {
    path_ = dir_.File(L"Calc.vbp");
    StampResult r;
    // Setting replaces whole project-file lines; the mark before the first one stays.
    EXPECT_EQ(Stamp("\xEF\xBB\xBFMajorVer=1\r\nMinorVer=0\r\nTitle=\"Caf\xC3\xA9\"\r\n", CompilerVB6, ActionSetVersion, &r),
              "\xEF\xBB\xBFMajorVer=2\r\nMinorVer=1\r\nTitle=\"Caf\xC3\xA9\"\r\n");
    EXPECT_EQ(r.encoding, TextEncoding::Utf8);
}

TEST_F(StampFileTest, ZeroBytesWithoutUtf16MarkAreSkipped) {
    version_ = {9, 9, 9, 9};
    // UTF-16 without a mark, and a script with a stray zero byte far after its version line.
    const std::string noMark = Utf16(L" FILEVERSION 1,0,3,4\r\n", false).substr(2);
    const std::string stray = " FILEVERSION 1,0,3,4\r\n" + std::string(100000, 'x') + '\0' + "\r\n";
    for (const std::string* bytes : {&noMark, &stray}) {
        StampOptions options;
        options.chunkSize = 4096;
        StampResult r;
        EXPECT_EQ(Stamp(*bytes, CompilerVC6, ActionAutoIncrement, &r, options), *bytes);
        EXPECT_EQ(r.failure, StampFailure::HoldsZeroBytes);
        EXPECT_TRUE(r.logLines.empty());
    }
    EXPECT_EQ(version_.major, 9u) << "a skipped file leaves the run's numbers alone";
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc");
}

// ---- files that can't be stamped ----------------------------------------------------------

TEST_F(StampFileTest, MissingFileFolderOrSettingIsReported) {
    EXPECT_EQ(StampFile(dir_.File(L"Gone.rc"), CompilerVC6, ActionSetVersion, version_).failure, StampFailure::Missing);
    EXPECT_EQ(StampFile(dir_.File(L"Vanished\\Calc.rc"), CompilerVC6, ActionSetVersion, version_).failure,
              StampFailure::FolderMissing);
    EXPECT_EQ(StampFile(L"", CompilerVC6, ActionSetVersion, version_).failure, StampFailure::NoResourceFile);
    EXPECT_EQ(Sorted(dir_.Path()), L"");
}

TEST_F(StampFileTest, RefusedFilesKeepEveryByte) {
    const std::string before = Script("1,0,0,1", "1.0.0.1");
    struct Holder {
        const char* what;
        DWORD access, share;
    };
    // Someone holding the file: exclusively; writing it while letting us read; reading it while
    // letting nobody delete or rename it, so it reads fine but can't be replaced.
    for (const Holder& h : {Holder{"locked", GENERIC_READ | GENERIC_WRITE, 0},
                            Holder{"writer", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ},
                            Holder{"no delete", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        WriteBytes(path_, before);
        HANDLE held = CreateFileW(path_.c_str(), h.access, h.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << h.what;
        StampResult r = StampFile(path_, CompilerVC6, ActionAutoIncrement, version_);
        CloseHandle(held);
        EXPECT_TRUE(r.failure == StampFailure::InUse || r.failure == StampFailure::NotReplaced) << h.what;
        EXPECT_TRUE(r.logLines.empty());
        EXPECT_EQ(version_.build, 0u) << h.what << ": a file left unchanged hands on no numbers";
        EXPECT_EQ(ReadBytes(path_), before) << h.what;
        EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc") << h.what;
    }

    // Read-only: checked by us, since Wine lets root replace it.
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    StampResult r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::ReadOnly);
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Unknown kind: refused before anything is written.
    EXPECT_EQ(StampFile(path_, CompilerUnknown, ActionSetVersion, version_).failure, StampFailure::UnknownKind);

    // A folder where the .new file would go.
    ASSERT_TRUE(CreateDirectoryW(TemporaryPathFor(path_).c_str(), nullptr));
    r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::TemporaryExists);
    EXPECT_NE(DescribeStampFailure(path_, r).find(TemporaryPathFor(path_)), std::wstring::npos);
    RemoveDirectoryW(TemporaryPathFor(path_).c_str());

    EXPECT_EQ(ReadBytes(path_), before);
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc");
}

TEST(StampFailureText, NamesThePathAndTheReason) {
    StampResult r;
    r.failure = StampFailure::Unreadable;
    r.error = ERROR_ACCESS_DENIED;
    std::wstring text = DescribeStampFailure(L"C:\\Src\\Calc.rc", r);
    EXPECT_EQ(text.rfind(L"Not stamped: C:\\Src\\Calc.rc could not be read (", 0), 0u) << kwtest::Narrow(text);
    r.failure = StampFailure::ReadOnly;
    EXPECT_EQ(DescribeStampFailure(L"C:\\Src\\Calc.rc", r),
              L"Not stamped: C:\\Src\\Calc.rc is read-only; the file is unchanged.");
    r.failure = StampFailure::None;
    EXPECT_EQ(DescribeStampFailure(L"C:\\Src\\Calc.rc", r), L"");
}
