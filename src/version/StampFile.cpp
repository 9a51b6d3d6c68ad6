#include "version/StampFile.h"

#include "win/AtomicFile.h"
#include "win/Handles.h"
#include "win/Text.h"

#include <algorithm>
#include <cstring>

static_assert(sizeof(wchar_t) == 2, "UTF-16 lines are held in wchar_t");

namespace kw {

namespace {

constexpr size_t kWriteBufferBytes = 256 * 1024;

// Buffered writer for the ".new" file. Long runs of unchanged text go straight to the file.
class OutputFile {
public:
    DWORD Open(const std::wstring& path) {
        // Never over a file of the user's that happens to carry this name.
        file_.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
        if (!file_.Valid()) return error_ = GetLastError();
        buffer_.reserve(kWriteBufferBytes);
        return 0;
    }

    void Write(const void* data, size_t size) {
        if (error_ != 0 || size == 0) return;
        if (buffer_.size() + size <= kWriteBufferBytes) {
            buffer_.append(static_cast<const char*>(data), size);
            return;
        }
        FlushBuffer();
        if (size < kWriteBufferBytes) {
            buffer_.append(static_cast<const char*>(data), size);
        } else {
            WriteDirect(static_cast<const char*>(data), size);
        }
    }

    // Writes what is buffered and flushes the file to disk; 0 or the first error met.
    DWORD Finish() {
        FlushBuffer();
        if (error_ == 0 && !FlushFileBuffers(file_.Get())) error_ = GetLastError();
        file_.Reset();
        return error_;
    }

    DWORD Error() const { return error_; }
    void Close() { file_.Reset(); }

private:
    void FlushBuffer() {
        if (!buffer_.empty()) WriteDirect(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    void WriteDirect(const char* data, size_t size) {
        while (size > 0 && error_ == 0) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 24));
            DWORD written = 0;
            if (!WriteFile(file_.Get(), data, chunk, &written, nullptr)) {
                error_ = GetLastError();
            } else if (written == 0) {
                error_ = ERROR_DISK_FULL;
            }
            data += written;
            size -= written;
        }
    }

    FileHandle file_;
    std::string buffer_;
    DWORD error_ = 0;
};

// Reads until want bytes or the end of the file; false on a read error.
bool ReadFully(HANDLE file, char* data, size_t want, size_t& got, DWORD& error) {
    got = 0;
    while (got < want) {
        DWORD n = 0;
        DWORD ask = static_cast<DWORD>(std::min<size_t>(want - got, 1u << 24));
        if (!ReadFile(file, data + got, ask, &n, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    return true;
}

// Splits text into lines at CR LF and hands each complete line that may hold a version to the
// rules. Text arrives in pieces of any size; a line or a character split between pieces is
// joined again before anything looks at it. Emit receives every unit exactly once, in order.
template <typename Unit, typename Rules, typename Emit>
class LineRewriter {
public:
    LineRewriter(Rules rules, Emit emit, std::vector<std::wstring>& logLines)
        : rules_(rules), emit_(emit), logLines_(logLines) {}

    // Room for n more units at the end of the pending text; Commit says how many were filled.
    Unit* Reserve(size_t n) {
        reserved_ = pending_.size();
        pending_.resize(reserved_ + n);
        return pending_.data() + reserved_;
    }

    void Commit(size_t n) {
        pending_.resize(reserved_ + n);
        ProcessCompleteLines(reserved_);
    }

    // The text after the last CR LF passes unchanged.
    void Finish() {
        if (!pending_.empty()) emit_(pending_.data(), pending_.size());
        pending_.clear();
    }

private:
    static bool IsLineEnd(const Unit* text, size_t i) { return text[i] == '\r' && text[i + 1] == '\n'; }

    void ProcessCompleteLines(size_t oldSize) {
        const Unit* text = pending_.data();
        const size_t size = pending_.size();
        // The old pending text had no CR LF; one may now end in the new text or straddle the seam.
        const size_t lowest = oldSize > 0 ? oldSize - 1 : 0;
        size_t end = 0;
        if (size >= 2 && size - 2 >= lowest) {
            for (size_t j = size - 2;; --j) {
                if (IsLineEnd(text, j)) {
                    end = j + 2;
                    break;
                }
                if (j == lowest) break;
            }
        }
        if (end == 0) return;

        const std::basic_string_view<Unit> region(text, end);
        size_t pos = 0;
        while (pos < end) {
            // Lines without a hint of a version pass in bulk. A V found here is followed by at
            // least the region's closing CR LF.
            size_t v = region.find(static_cast<Unit>('V'), pos);
            while (v != region.npos && !IsVersionHint(text[v], text[v + 1])) {
                v = region.find(static_cast<Unit>('V'), v + 1);
            }
            if (v == region.npos) {
                emit_(text + pos, end - pos);
                break;
            }
            size_t lineStart = v;
            while (lineStart >= pos + 2 && !IsLineEnd(text, lineStart - 2)) --lineStart;
            if (lineStart < pos + 2) lineStart = pos;
            size_t lineEnd = v;
            while (!IsLineEnd(text, lineEnd)) ++lineEnd;  // the region ends with CR LF
            lineEnd += 2;

            if (lineStart > pos) emit_(text + pos, lineStart - pos);
            line_.assign(text + lineStart, lineEnd - lineStart);
            std::wstring logLine = rules_(line_);
            emit_(line_.data(), line_.size());
            if (!logLine.empty()) logLines_.push_back(std::move(logLine));
            pos = lineEnd;
        }
        pending_.erase(0, end);
    }

    Rules rules_;
    Emit emit_;
    std::vector<std::wstring>& logLines_;
    std::basic_string<Unit> pending_;
    std::basic_string<Unit> line_;
    size_t reserved_ = 0;
};

template <typename Unit, typename Rules, typename Emit>
LineRewriter<Unit, Rules, Emit> MakeRewriter(Rules rules, Emit emit, std::vector<std::wstring>& logLines) {
    return LineRewriter<Unit, Rules, Emit>(rules, emit, logLines);
}

StampFailure OpenFailure(DWORD error) {
    if (IsSharingError(error)) return StampFailure::InUse;
    if (error == ERROR_FILE_NOT_FOUND) return StampFailure::Missing;
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH) {
        return StampFailure::FolderMissing;
    }
    return StampFailure::Unreadable;
}

StampResult Failed(StampFailure failure, DWORD error) {
    StampResult result;
    result.failure = failure;
    result.error = error;
    return result;
}

// What a pass over one file needs besides the files themselves.
struct Pass {
    CompilerKind kind;
    ActionSet actions;
    VersionQuad& version;
    size_t chunkSize;
    StampResult& result;
    LineReport report;  // what the version lines of the file were and held

    void Fail(StampFailure failure, DWORD error = 0) {
        result.failure = failure;
        result.error = error;
    }
};

// A UTF-16 file after its mark: lines end at the units CR LF; units go back in the file's order.
void RewriteUtf16(HANDLE input, OutputFile& output, bool bigEndian, std::string raw, Pass& pass) {
    std::string bytes;
    auto emitUnits = [&output, &bytes, bigEndian](const wchar_t* units, size_t count) {
        bytes.resize(count * 2);
        for (size_t i = 0; i < count; ++i) {
            const unsigned u = static_cast<unsigned>(units[i]);
            bytes[2 * i + (bigEndian ? 1 : 0)] = static_cast<char>(u & 0xFF);
            bytes[2 * i + (bigEndian ? 0 : 1)] = static_cast<char>(u >> 8);
        }
        output.Write(bytes.data(), bytes.size());
    };
    auto rules = [&pass](std::wstring& line) {
        return ApplyVersionRules(pass.kind, line, pass.actions, pass.version, &pass.report);
    };
    auto rewriter = MakeRewriter<wchar_t>(rules, emitUnits, pass.result.logLines);

    // The first byte of a unit split between reads waits in raw for the second.
    std::vector<char> chunk(pass.chunkSize);
    for (bool more = true; more && output.Error() == 0;) {
        size_t got = 0;
        DWORD error = 0;
        if (!ReadFully(input, chunk.data(), pass.chunkSize, got, error)) return pass.Fail(StampFailure::Unreadable, error);
        more = got == pass.chunkSize;
        raw.append(chunk.data(), got);
        const size_t units = raw.size() / 2;
        wchar_t* out = rewriter.Reserve(units);
        for (size_t i = 0; i < units; ++i) {
            const unsigned char a = static_cast<unsigned char>(raw[2 * i]);
            const unsigned char b = static_cast<unsigned char>(raw[2 * i + 1]);
            out[i] = static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
        }
        rewriter.Commit(units);
        raw.erase(0, units * 2);
    }
    rewriter.Finish();
    output.Write(raw.data(), raw.size());  // an odd last byte stays as it was
}

// An 8-bit file: lines end at the bytes CR LF, and a zero byte means it isn't text we know.
void RewriteBytes(HANDLE input, OutputFile& output, const CharSteps& steps, const std::string& start, bool more,
                  Pass& pass) {
    auto emitBytes = [&output](const char* data, size_t size) { output.Write(data, size); };
    auto rules = [&pass, &steps](std::string& line) {
        return ApplyVersionRules(pass.kind, line, pass.actions, pass.version, steps, &pass.report);
    };
    auto rewriter = MakeRewriter<char>(rules, emitBytes, pass.result.logLines);
    if (start.find('\0') != std::string::npos) return pass.Fail(StampFailure::HoldsZeroBytes);
    std::copy(start.begin(), start.end(), rewriter.Reserve(start.size()));
    rewriter.Commit(start.size());

    while (more && output.Error() == 0) {
        char* out = rewriter.Reserve(pass.chunkSize);
        size_t got = 0;
        DWORD error = 0;
        if (!ReadFully(input, out, pass.chunkSize, got, error)) return pass.Fail(StampFailure::Unreadable, error);
        if (std::memchr(out, 0, got)) return pass.Fail(StampFailure::HoldsZeroBytes);
        more = got == pass.chunkSize;
        rewriter.Commit(got);
    }
    rewriter.Finish();
}

// Recognises the encoding by its byte-order mark, copies the mark, and rewrites the rest.
void RewriteFile(HANDLE input, OutputFile& output, const StampOptions& options, Pass& pass) {
    char head[3];
    size_t headSize = 0;
    DWORD error = 0;
    if (!ReadFully(input, head, sizeof head, headSize, error)) return pass.Fail(StampFailure::Unreadable, error);
    const bool more = headSize == sizeof head;

    if (headSize >= 2 && (std::memcmp(head, "\xFF\xFE", 2) == 0 || std::memcmp(head, "\xFE\xFF", 2) == 0)) {
        const bool bigEndian = head[0] == '\xFE';
        pass.result.encoding = bigEndian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
        output.Write(head, 2);
        return RewriteUtf16(input, output, bigEndian, std::string(head + 2, headSize - 2), pass);
    }
    if (headSize == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0) {
        pass.result.encoding = TextEncoding::Utf8;
        output.Write(head, 3);  // the mark is not part of the first line
        return RewriteBytes(input, output, CharSteps::Utf8(), std::string(), more, pass);
    }
    const CharSteps& steps = options.ansiSteps ? *options.ansiSteps : AnsiCodePageSteps();
    RewriteBytes(input, output, steps, std::string(head, headSize), more, pass);
}

}  // namespace

std::wstring TemporaryPathFor(const std::wstring& path) { return path + L".new"; }

const CharSteps& AnsiCodePageSteps() {
    static const CharSteps steps = [] {
        CPINFO info{};
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return CharSteps::SingleByte();
        if (GetACP() == CP_UTF8) return CharSteps::Utf8();
        // Up to five ranges of lead bytes, ended by a pair of zeros.
        const BYTE* r = info.LeadByte;
        return CharSteps::DoubleByte({r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9]});
    }();
    return steps;
}

StampResult StampFile(const std::wstring& path, CompilerKind kind, ActionSet actions, VersionQuad& version,
                      const StampOptions& options) {
    if (path.empty()) return Failed(StampFailure::NoResourceFile, 0);
    if (kind != CompilerVC6 && kind != CompilerVB6) return Failed(StampFailure::UnknownKind, 0);
    // Checked here because Wine lets root replace read-only files.
    if (IsReadOnlyFile(path)) return Failed(StampFailure::ReadOnly, ERROR_ACCESS_DENIED);

    // Readers may share the file; a writer or a deleter may not, so it can't change under us.
    FileHandle input(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!input.Valid()) {
        DWORD error = GetLastError();
        return Failed(OpenFailure(error), error);
    }

    const std::wstring tempPath = TemporaryPathFor(path);
    OutputFile output;
    if (DWORD error = output.Open(tempPath)) {
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return Failed(StampFailure::TemporaryExists, error);
        return Failed(StampFailure::NotWritten, error);
    }

    // The rules work on a copy; a skipped file must not leave its numbers in the run settings.
    VersionQuad working = version;
    StampResult result;
    Pass pass{kind, actions, working, std::max<size_t>(options.chunkSize, 1), result};
    try {
        RewriteFile(input.Get(), output, options, pass);
    } catch (...) {
        // Out of memory on a huge line, for instance: the ".new" file is ours and goes.
        output.Close();
        DeleteFileW(tempPath.c_str());
        throw;
    }
    input.Reset();
    // Nothing to stamp: the file keeps its bytes and its time stamp.
    if (result.failure == StampFailure::None && !pass.report.versionLine) result.failure = StampFailure::NoVersionLine;
    if (result.failure == StampFailure::None) {
        if (DWORD error = output.Finish()) {
            result.failure = StampFailure::NotWritten;
            result.error = error;
        }
    }
    if (result.failure != StampFailure::None) {
        output.Close();
        DeleteFileW(tempPath.c_str());
        result.logLines.clear();
        return result;
    }

    if (DWORD error = CommitReplacement(tempPath, path)) {  // removes the ".new" file on failure
        result.failure = IsReadOnlyFile(path) ? StampFailure::ReadOnly
                         : IsSharingError(error) ? StampFailure::InUse
                                                 : StampFailure::NotReplaced;
        result.error = error;
        result.logLines.clear();
        return result;
    }
    // Only a file that was really replaced hands its numbers on to the run.
    version = working;
    result.partAbove16Bits = pass.report.wroteAbove16Bits;
    result.numberOutOfRange = pass.report.readOutOfRange;
    result.written = pass.report.wroteVersion ? pass.report.written : working;
    return result;
}

std::vector<std::wstring> DescribeStampWarnings(const std::wstring& path, const StampResult& result) {
    std::vector<std::wstring> warnings;
    if (!result.Stamped()) return warnings;
    if (result.numberOutOfRange) {
        warnings.push_back(L"Warning: " + path + L" held a negative or too large version number; what was stamped "
                           L"from it is not a valid version.");
    }
    if (result.partAbove16Bits) {
        warnings.push_back(L"Warning: " + path + L" now holds a version part above 65535; the resource compiler "
                           L"keeps only 16 bits of each part.");
    }
    return warnings;
}

std::wstring DescribeStampFailure(const std::wstring& path, const StampResult& result) {
    const std::wstring reason = DescribeWin32Error(result.error);
    const std::wstring unchanged = L"; the file is unchanged.";
    switch (result.failure) {
    case StampFailure::None:
        return {};
    case StampFailure::NoResourceFile:
        return L"Not stamped: the package names no resource file for this project.";
    case StampFailure::UnknownKind:
        return L"Not stamped: " + path + L" belongs to a project that is neither VC6 nor VB6" + unchanged;
    case StampFailure::ReadOnly:
        return L"Not stamped: " + path + L" is read-only" + unchanged;
    case StampFailure::InUse:
        return L"Not stamped: " + path + L" is in use by another program" + unchanged;
    case StampFailure::Missing:
        return L"Not stamped: " + path + L" does not exist.";
    case StampFailure::FolderMissing:
        return L"Not stamped: the folder of " + path + L" does not exist.";
    case StampFailure::Unreadable:
        return L"Not stamped: " + path + L" could not be read (" + reason + L")" + unchanged;
    case StampFailure::HoldsZeroBytes:
        return L"Not stamped: " + path + L" holds zero bytes and is not UTF-16 text, so it was skipped" + unchanged;
    case StampFailure::NotWritten:
        return L"Not stamped: the new text of " + path + L" could not be written to " + TemporaryPathFor(path) +
               L" (" + reason + L")" + unchanged;
    case StampFailure::NoVersionLine:
        return L"No version line found in " + path + unchanged;
    case StampFailure::TemporaryExists:
        return L"Not stamped: " + TemporaryPathFor(path) + L" already exists and is kept" + unchanged;
    case StampFailure::NotReplaced:
        return L"Not stamped: " + path + L" could not be replaced (" + reason + L")" + unchanged;
    }
    return {};
}

}  // namespace kw
