// Log delivery: a stand-in writes a log over a few seconds; every byte it wrote must arrive, and
// each line's delay from being written to arriving is measured against the 256 ms poll.
#include "EngineBench.h"

#include "engine/ProcessRunner.h"
#include "win/Com.h"

#include <algorithm>
#include <cstdlib>

using namespace kwbench;

namespace {

struct Figures {
    size_t written = 0;
    size_t delivered = 0;
    bool same = false;
    size_t lines = 0;
    double worstMs = 0;
    double medianMs = 0;
    double totalMs = 0;
    size_t pieces = 0;
};

Figures Measure(const std::wstring& temporaryFolder, const std::wstring& root, const std::string& standIn) {
    Figures figures;
    std::wstring package = MakeVisualCppPackage(root, 1, standIn + "mirror=mirror.log\n");
    kw::PackageDocument document;
    if (document.OpenPackage(package) != 0) return figures;
    Receiver receiver;
    figures.totalMs = RunThroughEngine(document, temporaryFolder, {1}, receiver) * 1000;

    std::string stream;
    std::vector<std::pair<size_t, long long>> ends;  // end offset of each piece, arrival
    const std::vector<kwtest::Piece> arrivals = NarrowArrivals(receiver);
    for (const kwtest::Piece& arrival : arrivals) {
        stream += arrival.bytes;
        ends.emplace_back(stream.size(), arrival.ticks);
    }
    HANDLE mirror = CreateFileW((root + L"\\P1\\mirror.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    std::string written;
    char buffer[65536];
    DWORD got = 0;
    while (mirror != INVALID_HANDLE_VALUE && ReadFile(mirror, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        written.append(buffer, got);
    }
    if (mirror != INVALID_HANDLE_VALUE) CloseHandle(mirror);
    figures.written = written.size();
    figures.delivered = stream.size();
    figures.same = written == stream;
    figures.pieces = arrivals.size();

    // Each generated line carries the counter value of the moment it was written.
    std::vector<double> delays;
    const std::string marker = " written at ";
    size_t piece = 0;
    for (size_t at = stream.find(marker); at != std::string::npos; at = stream.find(marker, at + 1)) {
        size_t lineEnd = stream.find("\r\n", at);
        if (lineEnd == std::string::npos) break;
        long long writtenAt = std::strtoll(stream.c_str() + at + marker.size(), nullptr, 10);
        while (piece < ends.size() && ends[piece].first < lineEnd + 2) ++piece;
        if (piece == ends.size()) break;
        delays.push_back(Seconds(ends[piece].second - writtenAt) * 1000);
    }
    figures.lines = delays.size();
    if (!delays.empty()) {
        std::sort(delays.begin(), delays.end());
        figures.worstMs = delays.back();
        figures.medianMs = delays[delays.size() / 2];
    }
    document.ClosePackage();
    return figures;
}

void Print(const char* title, const Figures& f) {
    std::printf("%s\n", title);
    std::printf("  bytes written / delivered      %zu / %zu  (%s)\n", f.written, f.delivered,
                f.same ? "equal, same bytes" : "DIFFERENT");
    std::printf("  pieces                         %zu\n", f.pieces);
    std::printf("  child run                      %.0f ms\n", f.totalMs);
    std::printf("  line delay median / worst      %.0f ms / %.0f ms  (%zu lines)\n", f.medianMs, f.worstMs, f.lines);
    std::printf("  worst delay / poll (256 ms)    %.2f\n", f.worstMs / kw::kLogPollIntervalMs);
}

}  // namespace

int wmain() {
    kw::ComApartment com;
    std::wstring temporaryFolder = TemporaryFolder();
    std::wstring root = temporaryFolder + L"\\kw-bench-log-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);

    // Within the pace of one 2048-byte piece per poll (8 KB/s): lines arrive within about a poll.
    Figures steady = Measure(temporaryFolder, root + L"\\steady", "flood=20000\nfloodms=4000\n");
    Print("steady log, 20 KB over 4 s", steady);
    // A flood outruns the pace: the rest arrives, all of it, as soon as the child has ended.
    Figures flood = Measure(temporaryFolder, root + L"\\flood", "flood=5000000\nfloodms=3000\n");
    Print("flooded log, 5 MB over 3 s", flood);

    RemoveTree(root);
    return steady.same && flood.same ? 0 : 1;
}
