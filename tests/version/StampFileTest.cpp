// Stamping files on disk: byte-for-byte results, encodings, chunk seams, and every way a file can
// refuse to be stamped without losing a byte.
#include <gtest/gtest.h>

#include <windows.h>


#include "common/TestSupport.h"
#include "version/SortedFolder.h"
#include "version/StampFile.h"

using namespace kw;
using kwtest::FileExists;
using kwtest::ReadBytes;
using kwtest::ScratchDir;
using kwtest::WriteBytes;

namespace {

VersionQuad Quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    VersionQuad v;
    v.major = a;
    v.minor = b;
    v.build = c;
    v.revision = d;
    return v;
}

// A resource script with Windows-1252 and Shift-JIS bytes around its version lines.
std::string Script(const char* fileVersion, const char* productVersion, const char* fileValue,
                   const char* productValue) {
    return std::string("// Microsoft Visual C++ generated resource script.\r\n"
                       "// \xA9 Kiln \x96 caf\xE9 \x83\x5C\x83\x74\x83\x67\r\n"
                       "#include \"resource.h\"\r\n"
                       "\r\n"
                       "VS_VERSION_INFO VERSIONINFO\r\n"
                       " FILEVERSION ") + fileVersion + "\r\n"
           " PRODUCTVERSION " + productVersion + "\r\n"
           " FILEFLAGSMASK 0x3fL\r\n"
           "BEGIN\r\n"
           "    BLOCK \"StringFileInfo\"\r\n"
           "    BEGIN\r\n"
           "        BLOCK \"040904b0\"\r\n"
           "        BEGIN\r\n"
           "            VALUE \"CompanyName\", \"\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\\0\"\r\n"
           "            VALUE \"FileVersion\", \"" + fileValue + "\\0\"\r\n"
           "            VALUE \"ProductVersion\", \"" + productValue + "\\0\"\r\n"
           "        END\r\n"
           "    END\r\n"
           "END\r\n"
           "// no line break at the end \xE9";
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

// Holds a file open with the given sharing until destroyed.
class HeldOpen {
public:
    HeldOpen(const std::wstring& path, DWORD share, DWORD access = GENERIC_READ | GENERIC_WRITE)
        : handle_(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() {
        if (Ok()) CloseHandle(handle_);
    }
    bool Ok() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

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

    // The file is as it was, and no .new file is left.
    void ExpectUntouched(const std::string& bytes) {
        EXPECT_EQ(ReadBytes(path_), bytes);
        EXPECT_FALSE(FileExists(TemporaryPathFor(path_)));
    }

    ScratchDir dir_{L"stamp"};
    std::wstring path_ = dir_.File(L"Calc.rc");
    VersionQuad version_ = Quad(2, 1, 0, 7);
};

}  // namespace

// ---- byte-for-byte results ----------------------------------------------------------------

TEST_F(StampFileTest, IncrementChangesNothingButTheNumbers) {
    const std::string before = Script("1,0,3,4", "1,0,3,4", "1.0.3.4", "1.0.3.4");
    StampResult r;
    EXPECT_EQ(Stamp(before, CompilerVC6, ActionAutoIncrement, &r),
              Script("1,0,4,4", "1,0,4,4", "1.0.4.4", "1.0.4.4"));
    EXPECT_TRUE(r.Stamped());
    EXPECT_EQ(r.encoding, TextEncoding::Bytes);
    ASSERT_EQ(r.logLines.size(), 1u);
    EXPECT_EQ(r.logLines[0], L" -> 1.0.4.4");
    EXPECT_EQ(version_.build, 4u);
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc");
}

TEST_F(StampFileTest, SetWritesTheRunNumbersEverywhere) {
    StampResult r;
    EXPECT_EQ(Stamp(Script("1,0,0,1", "1,0,0,1", "1.0.0.1", "1, 0, 0, 1"), CompilerVC6, ActionSetVersion, &r),
              Script("2,1,0,7", "2,1,0,7", "2.1.0.7", "2.1.0.7"));
    EXPECT_TRUE(r.Stamped());
    EXPECT_TRUE(r.logLines.empty());
}

TEST_F(StampFileTest, ProjectFileIsStampedByItsOwnRules) {
    const std::string vbp = "Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb\r\n"
                            "MajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nVersionCompanyName=\"\xC4pfel\"\r\n";
    path_ = dir_.File(L"Calc.vbp");
    StampResult r;
    EXPECT_EQ(Stamp(vbp, CompilerVB6, ActionAutoIncrement, &r),
              "Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb\r\n"
              "MajorVer=1\r\nMinorVer=0\r\nRevisionVer=13\r\nVersionCompanyName=\"\xC4pfel\"\r\n");
    ASSERT_EQ(r.logLines.size(), 1u);
    EXPECT_EQ(r.logLines[0], L" -> 1.0.13");

    version_ = Quad(3, 2, 5, 9);
    EXPECT_EQ(Stamp(vbp, CompilerVB6, ActionSetVersion),
              "Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb\r\n"
              "MajorVer=3\r\nMinorVer=2\r\nRevisionVer=5\r\nVersionCompanyName=\"\xC4pfel\"\r\n");
}

TEST_F(StampFileTest, LineEndingsOtherThanCrLfAreNotLines) {
    // LF only: nothing is recognised, everything comes back as it was, and no .new is left.
    const std::string lfOnly = "VS_VERSION_INFO VERSIONINFO\n FILEVERSION 1,0,0,1\n PRODUCTVERSION 1,0,0,1\n";
    StampResult r;
    EXPECT_EQ(Stamp(lfOnly, CompilerVC6, ActionSetVersion, &r), lfOnly);
    EXPECT_TRUE(r.Stamped());
    // A lone CR, and CR CR LF, which ends its line after the second CR.
    EXPECT_EQ(Stamp(" FILEVERSION 1,0,0,1\r FILEVERSION 1,0,0,1\r\r\n", CompilerVC6, ActionSetVersion),
              " FILEVERSION 2,1,0,7\r\n");
}

TEST_F(StampFileTest, LastLineWithoutLineBreakIsWrittenBackUnchanged) {
    EXPECT_EQ(Stamp(" FILEVERSION 1,0,0,1\r\n FILEVERSION 1,0,0,1", CompilerVC6, ActionSetVersion),
              " FILEVERSION 2,1,0,7\r\n FILEVERSION 1,0,0,1");
    EXPECT_EQ(Stamp(" FILEVERSION 1,0,0,1\r", CompilerVC6, ActionSetVersion), " FILEVERSION 1,0,0,1\r");
}

TEST_F(StampFileTest, EmptyFileStaysEmpty) {
    StampResult r;
    EXPECT_EQ(Stamp("", CompilerVC6, ActionAutoIncrement, &r), "");
    EXPECT_TRUE(r.Stamped());
    EXPECT_TRUE(FileExists(path_));
}

TEST_F(StampFileTest, ExistingNewFileIsReplacedAndRemoved) {
    WriteBytes(TemporaryPathFor(path_), "left over from an interrupted run");
    EXPECT_EQ(Stamp(" FILEVERSION 1,0,0,1\r\n", CompilerVC6, ActionSetVersion), " FILEVERSION 2,1,0,7\r\n");
}

// ---- seams between reads ------------------------------------------------------------------

TEST_F(StampFileTest, AnyChunkSizeGivesTheSameBytes) {
    const std::string before = Script("1,0,3,4", "1,0,3,4", "1.0.3.4", "1.0.3.4");
    const std::string expected = Script("1,0,4,4", "1,0,4,4", "1.0.4.4", "1.0.4.4");
    const CharSteps shiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});
    for (size_t chunk : {1u, 2u, 3u, 5u, 7u, 13u, 64u, 1024u}) {
        for (const CharSteps* steps : {static_cast<const CharSteps*>(nullptr), &shiftJis}) {
            StampOptions options;
            options.chunkSize = chunk;
            options.ansiSteps = steps;
            StampResult r;
            EXPECT_EQ(Stamp(before, CompilerVC6, ActionAutoIncrement, &r, options), expected) << "chunk " << chunk;
            EXPECT_EQ(r.logLines.size(), 1u);
        }
    }
}

TEST_F(StampFileTest, DoubleByteCharactersAcrossSeamsStayWhole) {
    // Double-byte characters whose second bytes are a backslash, '@' and '|', on version lines
    // and beside them, with seams at every offset.
    const std::string before = "// \x83\x5C\x81\x40\x83\x7C\r\n VALUE \"FileVersion\", \"1.0.3.4\\0\" // \x95\x5C\r\n"
                               " FILEVERSION\x81\x40" "1,0,3,4 \x83\x5C\r\n\x83\x5C";
    const std::string expected = "// \x83\x5C\x81\x40\x83\x7C\r\n VALUE \"FileVersion\", \"1.0.4.4\\0\"\r\n"
                                 " FILEVERSION\x81\x40" "1,0,4,4\r\n\x83\x5C";
    const CharSteps shiftJis = CharSteps::DoubleByte({0x81, 0x9F, 0xE0, 0xFC});
    for (size_t chunk = 1; chunk <= 17; ++chunk) {
        StampOptions options;
        options.chunkSize = chunk;
        options.ansiSteps = &shiftJis;
        EXPECT_EQ(Stamp(before, CompilerVC6, ActionAutoIncrement, nullptr, options), expected) << "chunk " << chunk;
    }
}

// ---- Unicode files ------------------------------------------------------------------------

TEST_F(StampFileTest, Utf16ScriptsAreStampedInTheirOwnEncoding) {
    const std::wstring before = L"// \x00A9 \x30AB\x30EB\x30AF \xD83D\xDD25\r\nVS_VERSION_INFO VERSIONINFO\r\n"
                                L" FILEVERSION 1,0,3,4\r\n            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n"
                                L"\x0A0D\x0D0A\r\nEND";
    const std::wstring after = L"// \x00A9 \x30AB\x30EB\x30AF \xD83D\xDD25\r\nVS_VERSION_INFO VERSIONINFO\r\n"
                               L" FILEVERSION 1,0,4,4\r\n            VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\n"
                               L"\x0A0D\x0D0A\r\nEND";
    for (bool bigEndian : {false, true}) {
        for (size_t chunk : {1u, 3u, 64u * 1024u}) {
            StampOptions options;
            options.chunkSize = chunk;
            StampResult r;
            EXPECT_EQ(Stamp(Utf16(before, bigEndian), CompilerVC6, ActionAutoIncrement, &r, options),
                      Utf16(after, bigEndian));
            EXPECT_TRUE(r.Stamped());
            EXPECT_EQ(r.encoding, bigEndian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le);
            ASSERT_EQ(r.logLines.size(), 1u);
            EXPECT_EQ(r.logLines[0], L" -> 1.0.4.4");
        }
    }
}

TEST_F(StampFileTest, Utf16OddLastByteAndBareMarkSurvive) {
    EXPECT_EQ(Stamp(Utf16(L" FILEVERSION 1,0,0,1\r\n", false) + "X", CompilerVC6, ActionSetVersion),
              Utf16(L" FILEVERSION 2,1,0,7\r\n", false) + "X");
    EXPECT_EQ(Stamp("\xFF\xFE", CompilerVC6, ActionSetVersion), "\xFF\xFE");
    // The bytes CR LF inside UTF-16 text are not a line break.
    const std::string split = Utf16(L"\x0D00\x000A FILEVERSION 1,0,0,1", false);
    EXPECT_EQ(Stamp(split, CompilerVC6, ActionSetVersion), split);
}

TEST_F(StampFileTest, Utf8WithMarkKeepsTheMarkOutOfTheFirstLine) {
    path_ = dir_.File(L"Calc.vbp");
    StampResult r;
    // Setting replaces whole project-file lines; the mark before the first one stays.
    EXPECT_EQ(Stamp("\xEF\xBB\xBFMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nTitle=\"Caf\xC3\xA9\"\r\n",
                    CompilerVB6, ActionSetVersion, &r),
              "\xEF\xBB\xBFMajorVer=2\r\nMinorVer=1\r\nRevisionVer=0\r\nTitle=\"Caf\xC3\xA9\"\r\n");
    EXPECT_EQ(r.encoding, TextEncoding::Utf8);
    EXPECT_EQ(Stamp("\xEF\xBB\xBF", CompilerVB6, ActionSetVersion), "\xEF\xBB\xBF");
}

TEST_F(StampFileTest, ZeroBytesWithoutUtf16MarkAreSkipped) {
    version_ = Quad(9, 9, 9, 9);
    // UTF-16 without a mark, and a script with a stray zero byte far after its version line.
    std::string noMark = Utf16(L" FILEVERSION 1,0,3,4\r\n", false).substr(2);
    std::string stray = " FILEVERSION 1,0,3,4\r\n" + std::string(100000, 'x') + '\0' + "\r\n";
    for (const std::string& bytes : {noMark, stray}) {
        StampOptions options;
        options.chunkSize = 4096;
        StampResult r;
        EXPECT_EQ(Stamp(bytes, CompilerVC6, ActionAutoIncrement, &r, options), bytes);
        EXPECT_EQ(r.failure, StampFailure::HoldsZeroBytes);
        EXPECT_TRUE(r.logLines.empty());
    }
    EXPECT_EQ(version_.major, 9u) << "a skipped file leaves the run's numbers alone";
    EXPECT_EQ(version_.build, 9u);
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc");
}

// ---- files that can't be stamped ----------------------------------------------------------

TEST_F(StampFileTest, MissingFileOrFolderIsReported) {
    StampResult r = StampFile(dir_.File(L"Gone.rc"), CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::Missing);
    r = StampFile(dir_.File(L"Vanished\\Calc.rc"), CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::FolderMissing);
    r = StampFile(L"", CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::NoResourceFile);
    EXPECT_EQ(Sorted(dir_.Path()), L"");
}

TEST_F(StampFileTest, ReadOnlyFileIsLeftAsItWas) {
    const std::string before = Script("1,0,0,1", "1,0,0,1", "1.0.0.1", "1.0.0.1");
    WriteBytes(path_, before);
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    StampResult r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::ReadOnly);
    ExpectUntouched(before);
    EXPECT_NE(DescribeStampFailure(path_, r).find(L"read-only"), std::wstring::npos);
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StampFileTest, LockedFileIsLeftAsItWas) {
    const std::string before = Script("1,0,0,1", "1,0,0,1", "1.0.0.1", "1.0.0.1");
    WriteBytes(path_, before);
    {
        HeldOpen lock(path_, 0);
        ASSERT_TRUE(lock.Ok());
        StampResult r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
        EXPECT_EQ(r.failure, StampFailure::InUse);
        EXPECT_FALSE(FileExists(TemporaryPathFor(path_)));
    }
    ExpectUntouched(before);
}

TEST_F(StampFileTest, FileOpenForWritingElsewhereIsLeftAsItWas) {
    const std::string before = Script("1,0,0,1", "1,0,0,1", "1.0.0.1", "1.0.0.1");
    WriteBytes(path_, before);
    {
        // Another program lets us read but is writing the file itself.
        HeldOpen lock(path_, FILE_SHARE_READ);
        ASSERT_TRUE(lock.Ok());
        StampResult r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
        EXPECT_FALSE(r.Stamped());
        EXPECT_FALSE(FileExists(TemporaryPathFor(path_)));
    }
    ExpectUntouched(before);
}

TEST_F(StampFileTest, FileThatCantBeReplacedIsLeftAsItWas) {
    const std::string before = Script("1,0,0,1", "1,0,0,1", "1.0.0.1", "1.0.0.1");
    WriteBytes(path_, before);
    {
        // A reader that allows reading and writing but not deleting: the file reads fine, but
        // nothing may take its name.
        HeldOpen reader(path_, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ);
        ASSERT_TRUE(reader.Ok());
        StampResult r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
        EXPECT_FALSE(r.Stamped());
        EXPECT_TRUE(r.failure == StampFailure::InUse || r.failure == StampFailure::NotReplaced)
            << static_cast<int>(r.failure);
        EXPECT_TRUE(r.logLines.empty());
        EXPECT_FALSE(FileExists(TemporaryPathFor(path_)));
    }
    ExpectUntouched(before);
}

TEST_F(StampFileTest, NewFileThatCantBeCreatedLeavesTheFile) {
    const std::string before = " FILEVERSION 1,0,0,1\r\n";
    WriteBytes(path_, before);
    // A folder where the .new file would go.
    ASSERT_TRUE(CreateDirectoryW(TemporaryPathFor(path_).c_str(), nullptr));
    StampResult r = StampFile(path_, CompilerVC6, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::NotWritten);
    EXPECT_EQ(ReadBytes(path_), before);
    const std::wstring text = DescribeStampFailure(path_, r);
    EXPECT_NE(text.find(TemporaryPathFor(path_)), std::wstring::npos);
    RemoveDirectoryW(TemporaryPathFor(path_).c_str());
}

TEST_F(StampFileTest, UnknownKindIsRefusedBeforeAnythingIsWritten) {
    const std::string before = " FILEVERSION 1,0,0,1\r\nMajorVer=1\r\n";
    WriteBytes(path_, before);
    StampResult r = StampFile(path_, CompilerUnknown, ActionSetVersion, version_);
    EXPECT_EQ(r.failure, StampFailure::UnknownKind);
    ExpectUntouched(before);
}

TEST(StampFailureText, NamesThePathAndTheReason) {
    StampResult r;
    r.failure = StampFailure::Unreadable;
    r.error = ERROR_ACCESS_DENIED;
    std::wstring text = DescribeStampFailure(L"C:\\Src\\Calc.rc", r);
    EXPECT_EQ(text.rfind(L"Not stamped: C:\\Src\\Calc.rc could not be read (", 0), 0u) << kwtest::Narrow(text);
    r.failure = StampFailure::InUse;
    EXPECT_EQ(DescribeStampFailure(L"C:\\Src\\Calc.rc", r),
              L"Not stamped: C:\\Src\\Calc.rc is in use by another program; the file is unchanged.");
    r.failure = StampFailure::Missing;
    EXPECT_EQ(DescribeStampFailure(L"C:\\Src\\Calc.rc", r), L"Not stamped: C:\\Src\\Calc.rc does not exist.");
    r.failure = StampFailure::None;
    EXPECT_EQ(DescribeStampFailure(L"C:\\Src\\Calc.rc", r), L"");
}
