// Splitting event-log text into lines, as every receiver of WM_LOG_TEXT shows it.
#include <gtest/gtest.h>

#include "engine/LogLines.h"

#include <objbase.h>

#include <cstring>

namespace kw {
namespace {

std::vector<std::wstring> Split(std::wstring buffer) {
    std::vector<std::wstring> lines;
    std::wstring line;
    while (TakeNextLine(buffer, line)) lines.push_back(line);
    EXPECT_TRUE(buffer.empty());
    return lines;
}

using Lines = std::vector<std::wstring>;

TEST(TakeNextLine, SplitsAtCrLfAndSkipsEmptyLines) {
    EXPECT_EQ(Split(L"a\r\n\r\nb"), (Lines{L"a", L"b"}));
    EXPECT_EQ(Split(L"first\r\nsecond\r\n"), (Lines{L"first", L"second"}));
    EXPECT_EQ(Split(L"\r\n\r\nlate"), (Lines{L"late"}));
}

TEST(TakeNextLine, TextWithoutBreakIsOneLine) {
    EXPECT_EQ(Split(L"Compiling..."), (Lines{L"Compiling..."}));
}

TEST(TakeNextLine, BreaksOnlyYieldNothing) {
    EXPECT_EQ(Split(L"\r\n"), Lines{});
    EXPECT_EQ(Split(L"\r\n\r\n\r\n"), Lines{});
    EXPECT_EQ(Split(L""), Lines{});
}

TEST(TakeNextLine, LoneCrOrLfStaysInsideItsLine) {
    EXPECT_EQ(Split(L"a\rb\nc\r\nd"), (Lines{L"a\rb\nc", L"d"}));
    EXPECT_EQ(Split(L"\n\r"), (Lines{L"\n\r"}));
}

TEST(TakeNextLine, PiecesSplitLinesWherePiecesEnd) {
    // A word cut by the end of a piece shows as two lines; a CR LF pair cut in two separates nothing.
    Lines lines = Split(L"Linking.");
    Lines more = Split(L"..\r\nCalc.exe");
    lines.insert(lines.end(), more.begin(), more.end());
    EXPECT_EQ(lines, (Lines{L"Linking.", L"..", L"Calc.exe"}));

    Lines cut = Split(L"abc\r");
    Lines rest = Split(L"\ndef");
    cut.insert(cut.end(), rest.begin(), rest.end());
    EXPECT_EQ(cut, (Lines{L"abc\r", L"\ndef"}));
}

TEST(TakeNextLine, EmptyBufferLeavesLineUntouched) {
    std::wstring buffer;
    std::wstring line = L"kept";
    EXPECT_FALSE(TakeNextLine(buffer, line));
    EXPECT_EQ(line, L"kept");
}

// A LogText as PostLogText makes it.
LogText* MakeLogText(const void* text, size_t bytes, bool wide) {
    auto* logText = static_cast<LogText*>(CoTaskMemAlloc(sizeof(LogText)));
    size_t terminator = wide ? 2 : 1;
    auto* copy = static_cast<char*>(CoTaskMemAlloc(bytes + terminator));
    std::memcpy(copy, text, bytes);
    std::memset(copy + bytes, 0, terminator);
    logText->listBox = nullptr;
    logText->isWide = wide ? 1 : 0;
    logText->text = copy;
    return logText;
}

TEST(LogTextLines, WideTextIsOneLineNarrowTextIsSplit) {
    std::wstring wide = L"Building Tool ...";
    LogText* line = MakeLogText(wide.c_str(), wide.size() * 2, true);
    EXPECT_EQ(LogTextLines(line), (Lines{L"Building Tool ..."}));
    FreeLogText(line);

    const char narrow[] = "Compiling...\r\nCalc.cpp\r\nHel";
    LogText* piece = MakeLogText(narrow, sizeof(narrow) - 1, false);
    EXPECT_EQ(LogTextLines(piece), (Lines{L"Compiling...", L"Calc.cpp", L"Hel"}));
    FreeLogText(piece);
}

TEST(LogTextLines, NarrowTextIsReadInTheAnsiCodePage) {
    const char narrow[] = "caf\xE9\r\n";
    LogText* piece = MakeLogText(narrow, sizeof(narrow) - 1, false);
    wchar_t expected[8] = {};
    MultiByteToWideChar(CP_ACP, 0, "caf\xE9", 4, expected, 8);
    EXPECT_EQ(LogTextLines(piece), (Lines{expected}));
    FreeLogText(piece);
}

TEST(LogTextLines, NothingForNullRecordOrText) {
    EXPECT_TRUE(LogTextLines(nullptr).empty());
    LogText empty{nullptr, 0, nullptr};
    EXPECT_TRUE(LogTextLines(&empty).empty());
}

}  // namespace
}  // namespace kw
