// Log text on its way to the event log: lines split at CR LF and joined whole however the pieces
// were cut (double-byte characters included), tagged lines of parallel builders, the runner's
// reading of a builder's log, and the one receiver of WM_LOG_TEXT that frees every record once
// and throttles its posters.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/BuildCommands.h"
#include "engine/LineTagger.h"
#include "engine/LogLines.h"
#include "engine/LogText.h"
#include "engine/ProcessRunner.h"
#include "win/Text.h"

#include <process.h>

#include <algorithm>
#include <cstring>

namespace kw {
namespace {

using Lines = std::vector<std::wstring>;

// Shift-JIS text: double-byte characters whose second byte is '\\' or an ASCII letter get cut
// between pieces.
std::string LongLog() {
    std::string log;
    for (int i = 0; log.size() < 6000; ++i)
        log += "line " + std::to_string(i) + " \x83\x5C\x83\x74\x83\x67 \x95\x5C " + std::string(i % 37, 'x') + "\r\n";
    return log + "last line without end";
}

// What the whole log shows as, converted in one go and split into lines as the run's own text is.
Lines WholeLines(const std::string& log, unsigned codePage = CP_ACP) {
    int n = MultiByteToWideChar(codePage, 0, log.data(), static_cast<int>(log.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, log.data(), static_cast<int>(log.size()), text.data(), n);
    Lines lines;
    for (std::wstring line; TakeNextLine(text, line);) lines.push_back(line);
    return lines;
}

// One rule for the wide lines the run posts, a builder's pieces joined for the event log, and the
// tagged lines of a parallel run: only the pair CR LF ends a line, empty lines are left out, a
// lone CR or LF stays inside its line, and text after the last pair is a line of its own. A
// double-byte character cut between pieces arrives whole.
TEST(LogLines, OnlyCrLfEndsALineWhereverThePiecesAreCut) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\n\r\nb", {L"a", L"b"}},        {"first\r\nsecond\r\n", {L"first", L"second"}},
        {"\r\n\r\nlate", {L"late"}},          {"Compiling...", {L"Compiling..."}},
        {"\r\n\r\n\r\n", {}},                 {"", {}},
        {"a\rb\nc\r\nd", {L"a\rb\nc", L"d"}}, {"\n\r", {L"\n\r"}},
        {LongLog(), WholeLines(LongLog(), 932)},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 20));
        EXPECT_EQ(WholeLines(text, 932), expected);
        std::string tagged;
        for (const std::wstring& line : expected) {
            std::string bytes(line.size() * 2, '\0');
            bytes.resize(WideCharToMultiByte(932, 0, line.data(), static_cast<int>(line.size()), bytes.data(),
                                             static_cast<int>(bytes.size()), nullptr, nullptr));
            tagged += "3>" + bytes + "\r\n";
        }
        for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, size_t{2048}}) {
            LogLineJoiner joiner(932);
            LineTagger tagger(3);
            Lines joined;
            std::string out;
            for (size_t at = 0; at < text.size(); at += piece) {
                for (const std::wstring& line : joiner.Feed(text.substr(at, piece))) joined.push_back(line);
                std::string lines = tagger.Feed(text.substr(at, piece));
                EXPECT_TRUE(lines.empty() || lines.substr(lines.size() - 2) == "\r\n") << "whole lines only";
                out += lines;
            }
            for (const std::wstring& line : joiner.Flush()) joined.push_back(line);
            EXPECT_FALSE(joiner.Pending());
            EXPECT_EQ(joined, expected) << piece;
            EXPECT_EQ(out + tagger.Flush(), tagged) << piece;
        }
    }
    // A log without line ends can't pile up: beyond the bound it goes out as a line of its own.
    EXPECT_EQ(LogLineJoiner().Feed(std::string(LogLineJoiner::kMaxPendingBytes + 10, 'y')),
              Lines{std::wstring(LogLineJoiner::kMaxPendingBytes + 10, L'y')});
    EXPECT_EQ(LineTagger(12).Feed(std::string(LineTagger::kMaxPendingBytes + 1, 'x')),
              "12>" + std::string(LineTagger::kMaxPendingBytes + 1, 'x') + "\r\n");
}

// A growing log read the way the runner reads it while the builder runs: in pieces of at most
// 2048 bytes, each shown as whole lines; a wide line between builders shows the unfinished tail
// first. Before that, builders that never start leave an earlier log alone, and one that ends
// without writing its log shows nothing of an old one, which goes.
TEST(LogReceiver, ShowsTheRunnersPiecesAsWholeLines) {
    kwtest::ScratchDir dir(L"pace");
    const std::wstring log = dir.File(L"1412.log");
    std::uint32_t position = 0;
    kwtest::RunReceiver receiver;
    const RunContext run{receiver.Window(), receiver.ListBox()};
    kwtest::WriteBytes(log, "Old.exe - 0 error(s), 0 warning(s)\r\n");
    const std::wstring missing = dir.File(L"nowhere\\MSDEV98\\Bin\\MSDEV");
    const std::wstring echo = kwtest::ProgramFolder() + L"\\tools\\argv-echo.exe";
    RunBuilder(run, L"\"" + missing + L"\" x.dsp /CLEAN /OUT " + QuoteArgument(log), dir.Path(), log);
    RunBuilder(run, QuoteArgument(echo), dir.File(L"does not exist"), log);
    EXPECT_EQ(kwtest::ReadBytes(log), "Old.exe - 0 error(s), 0 warning(s)\r\n");
    RunBuilder(run, QuoteArgument(echo), dir.Path(), log);
    EXPECT_FALSE(kwtest::FileExists(log));

    ReadNewLogText(log, position, run);  // no log yet
    kwtest::WriteBytes(log, "Compiling...\r\nCa");
    ReadNewLogText(log, position, run);
    ReadNewLogText(log, position, run);  // nothing new
    // A zero byte would end a narrow text early; it is posted as a blank.
    std::string text = "Compiling...\r\nCalc.cpp" + std::string(1, '\0') + "\r\n" + LongLog();
    kwtest::WriteBytes(log, text);
    std::vector<size_t> expected{0, 16};  // nothing of the old log, then the end mark
    for (size_t at = 16; at < text.size(); at += kLogPieceBytes) {
        expected.push_back(std::min<size_t>(kLogPieceBytes, text.size() - at));
    }
    for (size_t i = 2; i < expected.size(); ++i) ReadNewLogText(log, position, run);
    PostLogLine(L"Building Tool ...", run.window, run.listBox);
    PostLogText("tail of the next builder", 24, false, run.window, run.listBox);
    PostLogEnd(run.window, run.listBox);
    PostLogText("and one more", 12, false, run.window, run.listBox);
    PostRunFinished(run.window);
    ASSERT_TRUE(receiver.PumpUntilFinished());
    std::vector<size_t> sizes;
    for (const kwtest::Piece& piece : receiver.Pieces()) {
        if (!piece.wide) sizes.push_back(piece.bytes.size());
    }
    sizes.resize(expected.size());
    EXPECT_EQ(sizes, expected);
    EXPECT_EQ(position, text.size());
    text[22] = ' ';
    Lines lines{L"Could not start " + missing + L": File not found (error 2).",
                L"Could not start " + echo + L": Directory name invalid (error 267)."};
    for (const std::wstring& line : WholeLines(text)) lines.push_back(line);
    lines.insert(lines.end(), {L"Building Tool ...", L"tail of the next builder", L"and one more"});
    EXPECT_EQ(receiver.Lines(), lines);
    EXPECT_EQ(LogTextInFlight(run.window), 0);
    EXPECT_FALSE(receiver.ForeignListBox());
    // The side copy is gone, the log itself is left to the runner.
    EXPECT_FALSE(kwtest::FileExists(log + L"-2"));
    EXPECT_TRUE(kwtest::FileExists(log));
    // Nobody to receive: the rest is dropped, nothing stays behind.
    position = 0;
    ReadRemainingLogText(log, position, RunContext{kwtest::RunReceiver().Window()});
    EXPECT_FALSE(kwtest::FileExists(log + L"-2"));
}

// Records held or still queued when the receiver stops are freed once, and another window's
// records stay queued for it.
TEST(LogReceiver, HeldRecordsKeepTheirOrderAndAreFreedOnceHoweverTheyEnd) {
    MessageOnlyWindow window(nullptr, nullptr);
    HWND w = window.Handle();
    kwtest::RunReceiver other;
    for (bool discard : {true, false}) {
        Lines shown;
        {
            LogReceiver receiver([&](HWND, const std::wstring& line) { shown.push_back(line); });
            receiver.Attach(w);
            for (const char* piece : {"one\r\ntw", "o\r\n", "three\r\n"})
                PostLogText(piece, static_cast<std::uint32_t>(std::strlen(piece)), false, w, nullptr);
            PostLogLine(L"four", w, nullptr);
            receiver.HoldQueued();
            EXPECT_EQ(LogTextInFlight(w), 4);  // held, not yet taken
            MSG left;
            EXPECT_FALSE(PeekMessageW(&left, w, WM_LOG_TEXT, WM_LOG_TEXT, PM_NOREMOVE));
            ASSERT_NE(receiver.NextHeld(), nullptr);
            EXPECT_EQ(receiver.NextHeld()->isWide, 0);
            EXPECT_TRUE(receiver.ReceiveHeld() && receiver.ReceiveHeld());
            EXPECT_EQ(shown, (Lines{L"one", L"two"}));
            PostLogText("five\r\n", 6, false, w, nullptr);
            PostLogText("x\r\n", 3, false, other.Window(), nullptr);
            if (discard) receiver.Discard();
        }
        EXPECT_EQ(shown, (Lines{L"one", L"two"}));
        EXPECT_EQ(LogTextInFlight(w), 0);
        EXPECT_EQ(LogTextInFlight(other.Window()), 1);
        other.Pump();
        EXPECT_EQ(other.Lines().back(), L"x");
    }
}

unsigned __stdcall PostThreePiecesPerBound(void* window) {
    for (long i = 0; i < 3 * kMaxLogTextInFlight; ++i) PostLogText("x\r\n", 3, false, static_cast<HWND>(window), nullptr);
    return 0;
}

TEST(LogReceiver, ThrottleWaitsForTheReceiver) {
    kwtest::RunReceiver receiver;
    HWND window = receiver.Window();
    HANDLE poster = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PostThreePiecesPerBound, window, 0, nullptr));
    ASSERT_NE(poster, nullptr);
    // Nobody receives yet: the poster stops at the bound instead of queueing the whole flood.
    while (LogTextInFlight(window) < kMaxLogTextInFlight && WaitForSingleObject(poster, 10) == WAIT_TIMEOUT) {
    }
    EXPECT_EQ(LogTextInFlight(window), kMaxLogTextInFlight);
    EXPECT_EQ(WaitForSingleObject(poster, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the poster waits";
    while (MsgWaitForMultipleObjects(1, &poster, FALSE, INFINITE, QS_ALLPOSTMESSAGE) != WAIT_OBJECT_0) receiver.Pump();
    CloseHandle(poster);
    receiver.Pump();
    EXPECT_EQ(receiver.Lines().size(), static_cast<size_t>(3 * kMaxLogTextInFlight));
    EXPECT_EQ(LogTextInFlight(window), 0);
}

}  // namespace
}  // namespace kw
