// The one receiver of WM_LOG_TEXT: lines split at CR LF, pieces joined whole (CR LF and double-byte
// characters cut between pieces included), every record freed once, and the throttle.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/LineTagger.h"
#include "engine/LogLines.h"
#include "engine/LogText.h"
#include "engine/ProcessRunner.h"
#include "win/Text.h"

#include <process.h>

#include <cstring>

namespace kw {
namespace {

using Lines = std::vector<std::wstring>;

Lines Split(std::wstring buffer) {
    Lines lines;
    std::wstring line;
    while (TakeNextLine(buffer, line)) lines.push_back(line);
    return lines;
}

TEST(TakeNextLine, OnlyCrLfSeparatesAndEmptyLinesAreSkipped) {
    const std::pair<const wchar_t*, Lines> cases[] = {
        {L"a\r\n\r\nb", {L"a", L"b"}},        {L"first\r\nsecond\r\n", {L"first", L"second"}},
        {L"\r\n\r\nlate", {L"late"}},          {L"Compiling...", {L"Compiling..."}},
        {L"\r\n\r\n\r\n", {}},                 {L"", {}},
        {L"a\rb\nc\r\nd", {L"a\rb\nc", L"d"}}, {L"\n\r", {L"\n\r"}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Split(text), expected) << ToUtf8(text);
}

// Shift-JIS text: double-byte characters whose second byte is '\\' or an ASCII letter get cut
// between pieces.
std::string LongLog() {
    std::string log;
    for (int i = 0; log.size() < 6000; ++i) {
        log += "line " + std::to_string(i) + " \x83\x5C\x83\x74\x83\x67 \x95\x5C " + std::string(i % 37, 'x') + "\r\n";
    }
    return log + "last line without end";
}

// What the whole log shows as, converted in one go.
Lines WholeLines(const std::string& log, unsigned codePage = CP_ACP) {
    int n = MultiByteToWideChar(codePage, 0, log.data(), static_cast<int>(log.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, log.data(), static_cast<int>(log.size()), text.data(), n);
    return Split(text);
}

TEST(LogLineJoiner, LinesCutAnywhereArriveWhole) {
    const std::string log = LongLog();
    for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, size_t{2048}}) {
        LogLineJoiner joiner(932);  // Shift-JIS
        Lines lines;
        for (size_t at = 0; at < log.size(); at += piece) {
            for (const std::wstring& line : joiner.Feed(std::string_view(log).substr(at, piece))) lines.push_back(line);
        }
        for (const std::wstring& line : joiner.Flush()) lines.push_back(line);
        EXPECT_EQ(lines, WholeLines(log, 932)) << piece;
    }
    // A CR LF pair cut in two separates the lines; nothing stays behind after a flush.
    LogLineJoiner joiner;
    EXPECT_EQ(joiner.Feed("abc\r"), Lines{});
    EXPECT_EQ(joiner.Feed("\ndef"), Lines{L"abc"});
    EXPECT_EQ(joiner.Flush(), Lines{L"def"});
    EXPECT_FALSE(joiner.Pending());
    // A log without line ends can't pile up.
    Lines flood = joiner.Feed(std::string(LogLineJoiner::kMaxPendingBytes + 10, 'y'));
    ASSERT_EQ(flood.size(), 1u);
    EXPECT_EQ(flood[0].size(), LogLineJoiner::kMaxPendingBytes + 10);
}

// A 6 KB log posted in 2 KB pieces (as the runner posts it) with wide lines between builders.
// With several builders in one log, each builder's pieces leave its tagger as whole lines only.
TEST(LineTagger, PiecesCutAnywhereLeaveAsWholeTaggedLines) {
    const struct {
        std::vector<std::string> pieces;
        std::string out;  // everything fed, then the flush
    } cases[] = {
        {{"Compiling...\r\nCalc.cpp\r\n"}, "3>Compiling...\r\n3>Calc.cpp\r\n"},
        {{"Comp", "iling...\r", "\nCalc", ".cpp"}, "3>Compiling...\r\n3>Calc.cpp\r\n"},
        {{"\r\n\r\na\rb\nc\r\n"}, "3>a\rb\nc\r\n"},  // empty lines left out, lone CR and LF kept
        {{"", ""}, ""},
    };
    for (const auto& c : cases) {
        LineTagger tagger(3);
        std::string out;
        for (const std::string& piece : c.pieces) {
            std::string lines = tagger.Feed(piece);
            EXPECT_TRUE(lines.empty() || lines.substr(lines.size() - 2) == "\r\n");
            out += lines;
        }
        EXPECT_EQ(out + tagger.Flush(), c.out);
    }
    // A log without line ends can't pile up: beyond the bound it goes out as a line of its own.
    LineTagger tagger(12);
    std::string out = tagger.Feed(std::string(LineTagger::kMaxPendingBytes + 1, 'x'));
    EXPECT_EQ(out.size(), LineTagger::kMaxPendingBytes + 1 + 5);
    EXPECT_EQ(out.substr(0, 3), "12>");
}

TEST(LogReceiver, ShowsEveryLineWholeThroughTheWindow) {
    kwtest::RunReceiver receiver;
    const std::string log = LongLog();
    HWND window = receiver.Window();
    for (size_t at = 0; at < log.size(); at += kLogPieceBytes) {
        std::string piece = log.substr(at, kLogPieceBytes);
        PostLogText(piece.data(), static_cast<std::uint32_t>(piece.size()), false, window, receiver.ListBox());
    }
    PostLogLine(L"Building Tool ...", window, receiver.ListBox());  // shows the unfinished tail first
    PostLogText("tail of the next builder", 24, false, window, receiver.ListBox());
    PostLogEnd(window, receiver.ListBox());
    PostLogText("and one more", 12, false, window, receiver.ListBox());
    PostRunFinished(window);
    ASSERT_TRUE(receiver.PumpUntilFinished());
    Lines expected = WholeLines(log);
    expected.insert(expected.end(), {L"Building Tool ...", L"tail of the next builder", L"and one more"});
    EXPECT_EQ(receiver.Lines(), expected);
    EXPECT_EQ(LogTextInFlight(window), 0);
}

TEST(LogReceiver, HeldRecordsKeepTheirOrderAndAreFreedOnceHoweverTheyEnd) {
    MessageOnlyWindow window(nullptr, nullptr);
    HWND w = window.Handle();
    Lines shown;
    for (bool discard : {true, false}) {
        shown.clear();
        {
            LogReceiver receiver([&](HWND, const std::wstring& line) { shown.push_back(line); });
            receiver.Attach(w);
            for (const char* piece : {"one\r\ntw", "o\r\n", "three\r\n"}) {
                PostLogText(piece, static_cast<std::uint32_t>(std::strlen(piece)), false, w, nullptr);
            }
            PostLogLine(L"four", w, nullptr);
            receiver.HoldQueued();
            EXPECT_EQ(LogTextInFlight(w), 4);  // held, not yet taken
            MSG left;
            EXPECT_FALSE(PeekMessageW(&left, w, WM_LOG_TEXT, WM_LOG_TEXT, PM_NOREMOVE));
            ASSERT_NE(receiver.NextHeld(), nullptr);
            EXPECT_EQ(receiver.NextHeld()->isWide, 0);
            EXPECT_TRUE(receiver.ReceiveHeld() && receiver.ReceiveHeld());
            EXPECT_EQ(shown, (Lines{L"one", L"two"}));
            if (discard) receiver.Discard();
        }
        EXPECT_EQ(shown, (Lines{L"one", L"two"}));
        EXPECT_EQ(LogTextInFlight(w), 0);
    }
}

unsigned __stdcall PostThreePiecesPerBound(void* window) {
    for (long i = 0; i < 3 * kMaxLogTextInFlight; ++i) PostLogText("x\r\n", 3, false, static_cast<HWND>(window), nullptr);
    return 0;
}

TEST(LogReceiver, ThrottleWaitsForTheReceiverAndForgetsAGoneOne) {
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

    // A receiver that goes with records still queued frees them, and its window's count with them.
    HWND gone;
    {
        kwtest::RunReceiver doomed;
        gone = doomed.Window();
        for (int i = 0; i < 10; ++i) PostLogText("y", 1, false, gone, nullptr);
        PostLogText("x", 1, false, window, nullptr);  // another window's record stays queued
        EXPECT_EQ(LogTextInFlight(gone), 10);
    }
    EXPECT_EQ(LogTextInFlight(gone), 0);
    receiver.Pump();
    EXPECT_EQ(receiver.Lines().back(), L"x");
}

TEST(PostLogText, NoWindowIsNoDelivery) {
    EXPECT_FALSE(PostLogText("x", 1, false, nullptr, nullptr));
    EXPECT_FALSE(PostLogLine(L"Building Tool ...", nullptr, nullptr));
    EXPECT_FALSE(PostRunFinished(nullptr));
    MSG message;  // nothing went to this thread's own queue, where nobody would free it
    EXPECT_FALSE(PeekMessageW(&message, reinterpret_cast<HWND>(-1), WM_RUN_FINISHED, WM_LOG_TEXT, PM_REMOVE));
}

}  // namespace
}  // namespace kw
