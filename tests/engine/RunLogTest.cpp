// What becomes of a builder's log. In the event log: lines split at CR LF and joined whole however
// the pieces were cut (double-byte characters included), tagged lines of parallel builders, the
// runner's reading of a builder's log, and the one receiver of WM_LOG_TEXT that frees every record
// once and throttles its posters. In the run's records: wall times and actions in words, which log
// lines are errors and where they point, the JUnit file and the HTML report read back with the XML
// parser, and putting them on disk.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "SampleRecords.h"
#include "common/XmlRead.h"
#include "engine/BuildCommands.h"
#include "engine/HtmlReport.h"
#include "engine/JunitReport.h"
#include "engine/LineTagger.h"
#include "engine/LogLineKind.h"
#include "engine/LogLines.h"
#include "engine/LogText.h"
#include "engine/ProcessRunner.h"
#include "engine/RecordFile.h"
#include "win/Text.h"

#include <process.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace kw {
namespace {

using kwtest::Step;
using kwtest::Target;
using V = StepRecord;
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
    for (bool discard : {true, false}) {
        kwtest::RunReceiver other;
        Lines shown;
        MSG left;
        {
            LogReceiver receiver([&](HWND, const std::wstring& line) { shown.push_back(line); });
            receiver.Attach(w);
            for (const char* piece : {"one\r\ntw", "o\r\n", "three\r\n"})
                PostLogText(piece, static_cast<std::uint32_t>(std::strlen(piece)), false, w, nullptr);
            PostLogLine(L"four", w, nullptr);
            receiver.HoldQueued();
            EXPECT_EQ(LogTextInFlight(w), 4);  // held, not yet taken
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
        EXPECT_FALSE(PeekMessageW(&left, w, WM_LOG_TEXT, WM_LOG_TEXT, PM_NOREMOVE)) << "a queued record was left";
        EXPECT_EQ(LogTextInFlight(other.Window()), 1);
        other.Pump();
        EXPECT_EQ(other.Lines(), Lines{L"x"});
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

TEST(RunRecord, DurationsInWords) {
    const std::pair<long long, const wchar_t*> cases[] = {
        {0, L"0.0 s"},          {-5, L"0.0 s"},           {440, L"0.4 s"},         {9940, L"9.9 s"},
        {9960, L"10 s"},        {42400, L"42 s"},         {59600, L"1 min"},       {252000, L"4 min 12 s"},
        {3599600, L"1 h"},      {3720000, L"1 h 2 min"},  {7200000, L"2 h"},       {90061000, L"25 h 1 min"},
    };
    for (const auto& [ms, words] : cases) EXPECT_EQ(FormatDuration(ms), words) << ms;
    EXPECT_EQ(WithWallTime(L"Summary: 3 targets, 2 succeeded, 1 failed, 0 not run.", 252000),
              L"Summary: 3 targets, 2 succeeded, 1 failed, 0 not run, in 4 min 12 s.");
}

TEST(RunRecord, ActionsInWords) {
    const VersionQuad v{1, 2, 0, 65535};
    const std::pair<ActionSet, const wchar_t*> cases[] = {
        {ActionDebug, L"Debug"}, {ActionRebuildAll, L"nothing"},
        {ActionDebug | ActionRelease | ActionRebuildAll | ActionClean, L"Debug and Release (rebuild all), clean"},
        {ActionRelease | ActionSetVersion, L"Release, set version 1.2.0.65535"},
        {ActionAutoIncrement | ActionClean, L"clean, auto-increment the version"},
    };
    for (const auto& [actions, words] : cases) EXPECT_EQ(DescribeActions(actions, v), words) << int(actions);
}

// Which lines are errors or warnings, and the source place a diagnostic names (none: no path).
TEST(RunRecord, ErrorAndWarningLinesOfTheBuildersAndWhereTheyPoint) {
    const LogLineKind E = LogLineKind::Error, W = LogLineKind::Warning, P = LogLineKind::Plain;
    const struct {
        const wchar_t* line;
        LogLineKind kind;
        const wchar_t* path;
        long number;
    } cases[] = {
        {L"C:\\Src\\Calc\\Dlg.cpp(12) : error C2065: 'x' : undeclared identifier", E, L"C:\\Src\\Calc\\Dlg.cpp", 12},
        {L"C:\\Program Files (x86)\\Src (2)\\a.cpp(3) : fatal error C1083: Cannot open include file: 'b.h'", E,
         L"C:\\Program Files (x86)\\Src (2)\\a.cpp", 3},
        {L"C:\\Src\\a.cpp(40) : warning C4101: 'unused' : unreferenced local variable", W, L"C:\\Src\\a.cpp", 40},
        {L"  C:\\Src\\a.cpp(40): warning C4101: 'unused' : unreferenced local variable", W, L"C:\\Src\\a.cpp", 40},
        {L"Calc.rc(10) : error RC2135 : file not found: calc.ico", E, L"Calc.rc", 10},
        {L"Compile Error in File 'C:\\Src\\Reports\\Main.frm', Line 12 : Variable not defined", E,
         L"C:\\Src\\Reports\\Main.frm", 12},
        {L"Calc.obj : error LNK2001: unresolved external symbol _Foo@4", E}, {L"Error spawning cl.exe", E},
        {L"LINK : fatal error LNK1104: cannot open file \"Calc.exe\"", E}, {L"mirror C2065: not a diagnostic", P},
        {L"        C:\\Src\\a.h(7) : see declaration of 'x'", P}, {L"C:\\Src\\a.cpp(x) : error C2065: 'x'", E},
        {L"(12) : error C2065: 'x'", E}, {L"Compile Error in File '', Line 3 : Syntax error", E},
        {L"Build of 'C:\\Src\\Reports\\Reports.exe' failed.", E}, {L"Calc.exe - 2 error(s), 1 warning(s)", E},
        {L"Error executing cl.exe.", E}, {L"Error: Project configuration \"Win32 Beta\" not found in Calc.dsp.", E},
        {L"Warning: Calc.rc now holds a version part above 65535; ...", W},
        {L"LINK : warning LNK4098: defaultlib \"LIBC\" conflicts with use of other libs", W},
        {L"NMAKE : fatal error U1077: 'cl.exe' : return code '0x2'", E}, {L"Tools.dll - 0 error(s), 3 warning(s)", W},
        {L"cl : Command line error D2016 : '/ZI' and '/O2' command-line options are incompatible", E},
        {L"cl : Command line warning D4002 : ignoring unknown option '/Zq'", W},
        {L"Calc.exe - 0 error(s), 0 warning(s)", P}, {L"Build of 'C:\\Src\\Reports\\Reports.exe' succeeded.", P},
        // The run's own lines.
        {L"Could not start C:\\VS\\MSDEV98\\Bin\\MSDEV.exe: the file does not exist (error 2).", E},
        {L"MSDEV.exe crashed (exception 0xC0000005).", E}, {L"MSDEV.exe ended with exit code 259.", E},
        {L"vb6.exe timed out after 600 s and was stopped.", E}, {L"Run stopped.", W},
        {L"The run of vb6.exe failed: no memory for the log.", E},
        {L"Not stamped: C:\\Src\\Calc\\Calc.rc is read-only; the file is unchanged.", E},
        {L"No version line found in C:\\Src\\Calc\\Calc.rc; the file is unchanged.", E},
        {L"The run failed: out of memory; the remaining steps were skipped.", E},
        {L"Reports has no name or source folder; the Visual Basic builds end here.", E},
        {L"Summary: 3 targets, 1 succeeded, 1 failed, 1 not run.", E},
        {L"Summary: 2 targets, 1 succeeded, 0 failed, 1 not run.", W},
        {L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run.", P},
        {L"Summary: 3 targets, 2 succeeded, 1 failed, 0 not run, in 4 min 12 s.", E},
        {L"Summary: 3 targets, 2 succeeded, 0 failed, 1 not run, in 0.4 s.", W},
        {L"Project 'Letters' has no usable ProjectID; it is not run.", W},
        {L"Building Reports ...", P}, {L"error.cpp", P}, {L"Compiling... errors.c", P}, {L"error handling is fine", P},
        {L"--------------------Configuration: Calc - Win32 Debug--------------------", P}, {L"", P},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.line));
        EXPECT_EQ(ClassifyLogLine(c.line), c.kind);
        std::wstring path = L"-";
        long number = -1;
        EXPECT_EQ(FindSourceLocation(c.line, path, number), c.path != nullptr);
        if (c.path) {
            EXPECT_EQ(path + L"|" + std::to_wstring(number), c.path + (L"|" + std::to_wstring(c.number)));
        }
    }
}

class RecordFileTest : public testing::Test {
protected:
    kwtest::ScratchDir dir_{L"record files"};

    kwtest::XmlRead Written(const std::string& bytes, const wchar_t* name) {
        std::wstring path = dir_.File(name), problem;
        EXPECT_EQ(WriteRecordFile(path, bytes, problem), 0u) << kwtest::Narrow(problem);
        return kwtest::XmlRead(path);
    }
};

// The files of one stopped run that met every verdict, read back with the XML parser: the JUnit
// file names every planned step with its verdict and its own lines; the report carries every
// target in its table, on its timeline and in a log section, marks error lines, and needs nothing
// from elsewhere.
TEST_F(RecordFileTest, FilesOfARunNameEveryPlannedStepWithItsVerdict) {
    kwtest::XmlRead xml = Written(JunitXml(kwtest::MixedRecord()), L"kilnworks.xml");
    ASSERT_TRUE(xml.Ok()) << kwtest::Narrow(xml.Error());
    const std::wstring suite = L"/testsuites/testsuite";
    std::wstring attributes;
    for (const wchar_t* name : {L"name", L"tests", L"failures", L"errors", L"skipped", L"time", L"timestamp"})
        attributes += xml.Text(suite + L"/@" + name) + L"|";
    EXPECT_EQ(attributes, L"Kilnworks Demo Suite|10|4|1|3|15.250|2026-12-07T05:12:03|");
    const Lines names{L"Calc (version)",        L"Calc (Win32 Debug)",     L"Viewer (Win32 Debug)",
                      L"Printer (Win32 Debug)", L"Tools (version)",        L"Tools (Win32 Debug)",
                      L"Legacy",                L"Reports (Visual Basic)", L"Slow (Win32 Release)",
                      L"Last (Win32 Release)"};
    EXPECT_EQ(xml.Texts(suite + L"/testcase/@name"), names);
    auto testcase = [&](const wchar_t* name) { return suite + L"/testcase[@name='" + name + L"']"; };
    EXPECT_EQ(xml.Text(testcase(L"Calc (Win32 Debug)") + L"/@time"), L"3.680");
    EXPECT_EQ(xml.Text(testcase(L"Legacy") + L"/@time"), L"0.000");
    // What went wrong, and the lines of just that step; a success has no verdict element.
    const struct {
        const wchar_t *name, *verdict, *message, *lineSeen;
    } verdicts[] = {
        {L"Calc (Win32 Debug)", L"failure", L"failed: 1 error(s), 0 warning(s)", L"error C2065"},
        {L"Viewer (Win32 Debug)", L"failure", L"failed: crashed (exception 0xC0000005)", L"Compiling..."},
        {L"Printer (Win32 Debug)", L"error", L"not started: could not start the IDE", L""},
        {L"Tools (version)", L"failure", L"failed: the version was not stamped", L"no version line"},
        {L"Tools (Win32 Debug)", L"skipped", L"not run: its version was not stamped", L""},
        {L"Legacy", L"skipped", L"not run: ProjectID 9 is not in the package", L""},
        {L"Slow (Win32 Release)", L"failure", L"timed out: after 1 s", L"Compiling..."},
        {L"Last (Win32 Release)", L"skipped", L"stopped", L""},
    };
    for (const auto& v : verdicts) {
        const std::wstring verdict = testcase(v.name) + L"/" + v.verdict;
        EXPECT_EQ(xml.Text(verdict + L"/@message"), v.message) << kwtest::Narrow(v.name);
        EXPECT_NE(xml.Text(verdict).find(v.lineSeen), std::wstring::npos) << kwtest::Narrow(v.name);
    }
    EXPECT_EQ(xml.Text(testcase(L"Calc (Win32 Debug)") + L"/failure").find(L"1.0.0.2"), std::wstring::npos);
    EXPECT_EQ(xml.Count(testcase(L"Reports (Visual Basic)") + L"/*[name()!='system-out']"), 0u);
    EXPECT_EQ(xml.Text(testcase(L"Reports (Visual Basic)") + L"/system-out"),
              L"Build of 'C:\\Src\\Reports\\Reports.exe' succeeded.\n");
    EXPECT_EQ(xml.Text(testcase(L"Last (Win32 Release)") + L"/system-out"), L"Compiling...\n");
    EXPECT_NE(xml.Text(suite + L"/system-out").find(L"in 15 s."), std::wstring::npos);

    kwtest::XmlRead html = Written(HtmlReport(kwtest::MixedRecord()), L"report.html");
    ASSERT_TRUE(html.Ok()) << kwtest::Narrow(html.Error());
    const Lines targets{L"Calc", L"Viewer", L"Printer", L"Tools", L"Legacy", L"Reports", L"Slow", L"Last"};
    EXPECT_EQ(html.Count(L"//h:table[@id='steps']/h:tbody/h:tr"), 10u) << "a row per step, one for a target without";
    EXPECT_EQ(html.Texts(L"//h:table[@id='steps']/h:tbody/h:tr/h:td[1]/h:a"), targets);
    EXPECT_EQ(html.Count(L"//s:svg[@id='timeline']/s:rect"), 8u) << "a bar per step that began";
    Lines ran = targets;
    ran.erase(ran.begin() + 4);  // Legacy never ran
    EXPECT_EQ(html.Texts(L"//s:svg[@id='timeline']/s:text[not(@class)]"), ran);
    EXPECT_EQ(html.Texts(L"//h:details/h:summary/h:b"), targets);
    EXPECT_EQ(html.Texts(L"//h:details//h:pre/h:span[@class='e']"),
              (Lines{L"CalcDlg.cpp(12) : error C2065: 'undeclaredValue' : undeclared identifier",
                     L"Calc.exe - 1 error(s), 0 warning(s)"}));
    EXPECT_EQ(html.Text(L"//h:div[@id='verdict']"), L"Summary: 8 targets, 1 succeeded, 5 failed, 2 not run, in 15 s.");
    EXPECT_EQ(html.Text(L"//h:div[@id='verdict']/@class"), L"verdict stopped");
    EXPECT_EQ(Written(HtmlReport(kwtest::ParallelRecord()), L"parallel.html").Text(L"//h:div[@id='verdict']/@class"),
              L"verdict failed");
    EXPECT_EQ(html.Count(L"//h:script | //h:link | //h:img | //@src | //@href[not(starts-with(., '#'))]"), 0u);
    // The bars follow the clock: Printer and Reports started as Viewer ended, Slow while Reports ran.
    auto bar = [&](const wchar_t* target, const wchar_t* attribute) {
        const std::wstring xpath = std::wstring(L"//s:rect[starts-with(s:title, '") + target + L" (')]/@" + attribute;
        return std::wcstod(html.Text(xpath).c_str(), nullptr);
    };
    EXPECT_DOUBLE_EQ(bar(L"Printer", L"x"), bar(L"Reports", L"x"));
    EXPECT_GT(bar(L"Reports", L"x"), bar(L"Viewer", L"x") + bar(L"Viewer", L"width") - 1);
    EXPECT_LT(bar(L"Slow", L"x"), bar(L"Reports", L"x") + bar(L"Reports", L"width"));
    EXPECT_EQ(html.Text(L"//s:rect[starts-with(s:title, 'Viewer (')]/@class"), L"failed");
}

TEST_F(RecordFileTest, HostileBuilderTextStillGivesValidFiles) {
    std::wstring controls;
    for (wchar_t c = 0; c < 0x20; ++c) controls += c;
    const std::wstring bigLine = std::wstring(1 << 20, L'x') + L"<end>";
    Lines lines{controls, L"]]>", L"<![CDATA[ x ]]>", L"lone \xD800 \xDFFF", bigLine, L"&amp; &#0; &bogus;",
                L"\x7F \xFFFE\xFFFF \x00E9\x20AC \xD83D\xDE00"};
    // Bytes no code page maps cleanly, converted the way the log receiver does.
    LogLineJoiner utf8(CP_UTF8), ansi;
    for (const std::wstring& line : utf8.Feed("bad \xC3\x28 \xFF\xFE \xED\xA0\x80 \x80\r\n")) lines.push_back(line);
    for (const std::wstring& line : ansi.Feed("ansi \x81\x8D\x90\xFF\r\n")) lines.push_back(line);

    RunRecord record = kwtest::BaseRecord(L"Debug");
    record.packageName = L"Tom & \"Jerry\" <1>\t]]>";
    record.packagePath = L"C:\\a b\\it's \"here\".kwp";
    record.durationMs = 10;
    record.targets = {Target(1, L"A<&>\"'", CompilerVC6,
                             {Step(StepKind::Debug, L"Win32 Debug", V::Failed, 0, 10, lines, L"\a]]>\r\n\"", 1, 0),
                              Step(StepKind::Release, L"Win32 Release", V::Succeeded, 0, 10, lines)})};
    record.summary = {controls};

    kwtest::XmlRead junit = Written(JunitXml(record), L"hostile.xml");
    ASSERT_TRUE(junit.Ok()) << kwtest::Narrow(junit.Error());
    EXPECT_EQ(junit.Text(L"//testsuite/@name"), record.packageName);
    EXPECT_EQ(junit.Text(L"//testcase/@classname"), record.packageName);
    EXPECT_EQ(junit.Text(L"//property[@name='package']/@value"), record.packagePath);
    EXPECT_EQ(junit.Text(L"//failure/@message"), L"failed: \x2407]]>\r\n\"");
    const std::wstring failure = junit.Text(L"//failure");
    for (const wchar_t* piece : {L"\x2400\x2401", L"\t\n\x240B\x240C\r\x240E", L"\n]]>\n", L"<![CDATA[ x ]]>\n",
                                 L"lone \xFFFD \xFFFD\n", L"xxx<end>\n",
                                 L"&amp; &#0; &bogus;\n\x2421 \xFFFD\xFFFD \x00E9\x20AC \xD83D\xDE00"}) {
        EXPECT_NE(failure.find(piece), std::wstring::npos) << kwtest::Narrow(piece);
    }
    EXPECT_GT(failure.size(), 1u << 20);
    EXPECT_EQ(junit.Text(L"//system-out"), failure);

    kwtest::XmlRead html = Written(HtmlReport(record), L"hostile.html");
    ASSERT_TRUE(html.Ok()) << kwtest::Narrow(html.Error());
    EXPECT_EQ(html.Text(L"//h:h1"), record.packageName);
    EXPECT_NE(html.Text(L"//h:details//h:pre").find(L"xxx<end>"), std::wstring::npos);
}

TEST_F(RecordFileTest, UnwritablePlacesAreRefusedBeforeTheRunAndAFailedWriteKeepsThePreviousFile) {
    const std::wstring readOnly = dir_.File(L"read only.xml");
    kwtest::WriteBytes(readOnly, "old");
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryW(dir_.File(L"sub").c_str(), nullptr);
    const std::wstring before = kwtest::ListFolder(dir_.Path());
    const std::pair<std::wstring, const wchar_t*> cases[] = {
        {dir_.File(L"out file.xml"), L""},                   {dir_.File(L"sub\\..\\report.html"), L""},
        {dir_.File(L"missing\\out.xml"), L"does not exist"}, {dir_.File(L"sub"), L"is a folder"},
        {readOnly + L"\\x.xml", L"is a file, not a folder"}, {dir_.File(L"sub\\"), L"names a folder"},
        {readOnly, L"is read-only"},                         {L"", L"no file name"},
    };
    for (const auto& [path, why] : cases) {
        std::wstring problem;
        EXPECT_EQ(CanWriteRecordFile(path, problem), !*why) << kwtest::Narrow(path);
        EXPECT_NE(problem.find(why), std::wstring::npos) << kwtest::Narrow(problem);
    }
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), before);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A failed write keeps the previous file and says why.
    const std::wstring path = dir_.File(L"kilnworks.xml");
    std::wstring problem;
    ASSERT_EQ(WriteRecordFile(path, "first", problem), 0u);
    ASSERT_EQ(WriteRecordFile(path, "second", problem), 0u);
    EXPECT_EQ(kwtest::ReadBytes(path), "second");

    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_NE(WriteRecordFile(path, "third", problem), 0u);
    CloseHandle(lock);
    EXPECT_EQ(kwtest::ReadBytes(path), "second");
    EXPECT_EQ(problem.rfind(L"Could not write '" + path + L"': ", 0), 0u) << kwtest::Narrow(problem);

    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(WriteRecordFile(path, "fourth", problem), 0u);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(kwtest::ReadBytes(path), "second");
    EXPECT_NE(WriteRecordFile(dir_.File(L"missing\\x.xml"), "x", problem), 0u);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"kilnworks.xml " + before);
}

}  // namespace
}  // namespace kw
