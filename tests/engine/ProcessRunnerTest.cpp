// The process runner: log capture in pieces, full delivery after the child has ended, and the
// children that misbehave (missing, crashing, hanging, exit code 259, flooding their log).
#include <gtest/gtest.h>

#include "engine/BuildCommands.h"
#include "common/RunSupport.h"
#include "engine/ProcessRunner.h"
#include "engine/RunSettings.h"
#include "win/Text.h"

#include <stdexcept>

namespace kw {
namespace {

using kwtest::RunReceiver;
using kwtest::ScratchDir;

std::vector<size_t> PieceSizes(const RunReceiver& collector) {
    std::vector<size_t> sizes;
    for (const kwtest::Piece& piece : collector.Pieces()) {
        if (!piece.wide) sizes.push_back(piece.bytes.size());
    }
    return sizes;
}

std::string Filler(size_t bytes) {
    std::string text;
    for (size_t i = 0; text.size() < bytes; ++i) text += "line " + std::to_string(i) + " of the log\r\n";
    text.resize(bytes);
    return text;
}

TEST(ReadNewLogText, PostsWhatIsNewInPiecesOf2048Bytes) {
    ScratchDir dir(L"pace");
    RunReceiver collector;
    std::wstring log = dir.File(L"1412.log");
    std::uint32_t position = 0;
    auto read = [&] { ReadNewLogText(log, position, collector.Window(), collector.ListBox()); };
    read();  // no log yet
    kwtest::WriteBytes(log, "Compiling...\r\nCa");
    read();
    read();  // nothing new
    // A zero byte would end a narrow text early; it is posted as a blank.
    std::string text = "Compiling...\r\nCalc.cpp" + std::string(1, '\0') + "\r\n" + Filler(5000);
    kwtest::WriteBytes(log, text);
    for (int i = 0; i < 4; ++i) read();
    collector.Pump();
    EXPECT_EQ(PieceSizes(collector), (std::vector<size_t>{16, 2048, 2048, 913}));
    EXPECT_EQ(position, text.size());
    text[22] = ' ';
    EXPECT_EQ(collector.NarrowBytes(), text);
    EXPECT_FALSE(collector.ForeignListBox());
    // The side copy is gone, the log itself is left to the runner.
    EXPECT_FALSE(kwtest::FileExists(log + L"-2"));
    EXPECT_TRUE(kwtest::FileExists(log));
}

TEST(ReadRemainingLogText, PostsEverythingInPiecesWhileAnyoneReceives) {
    ScratchDir dir(L"rest");
    std::wstring log = dir.File(L"1.log");
    std::string text = Filler(100000);
    kwtest::WriteBytes(log, text);
    HWND gone;
    {
        RunReceiver collector;
        gone = collector.Window();
        std::uint32_t position = 2048;
        ReadRemainingLogText(log, position, collector.Window(), collector.ListBox());
        collector.Pump();
        EXPECT_EQ(position, 100000u);
        EXPECT_EQ(collector.NarrowBytes(), text.substr(2048));
        EXPECT_EQ(PieceSizes(collector).size(), (100000u - 2048u + 2047u) / 2048u);
    }
    // Nobody to receive: the rest is dropped, nothing stays behind.
    std::uint32_t position = 0;
    ReadRemainingLogText(log, position, gone, nullptr);
    EXPECT_FALSE(kwtest::FileExists(log + L"-2"));
}

// A child run the way a build step runs one, in a stand-in project folder.
class RunBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath_ = dir_.File(L"4242.log");
        project_.id = L"1";
        project_.name = L"Calc";
        project_.folder = dir_.File(L"Calc");
    }

    std::wstring MakeCommand() const {
        BuildCommandInput input;
        std::wstring folder = kwtest::StandInVisualStudioFolder();
        input.visualStudioFolder = folder;
        input.projectName = project_.name;
        input.sourceFolder = project_.folder;
        input.configuration = L"Win32 Debug";
        input.logPath = logPath_;
        return ComposeVisualCppCommandLine(input, ActionDebug, false);
    }

    // Runs the stand-in as a build step does; what it posts is received afterwards.
    void Run(std::wstring commandLine, std::wstring workingFolder = {}) {
        kwtest::WriteProjects({project_});
        RunBuilder(commandLine, workingFolder.empty() ? project_.folder : workingFolder, logPath_, collector_.Window(),
                   collector_.ListBox());
        collector_.Pump();
    }

    ScratchDir dir_{L"runner"};
    RunReceiver collector_;
    std::wstring logPath_;
    kwtest::TestProject project_;
};

// How each kind of builder ends shows in the event log; the log file never stays behind.
TEST_F(RunBuilderTest, EveryEndingIsShown) {
    const std::wstring program = kwtest::StandInVisualStudioFolder() + L"\\MSDEV98\\Bin\\MSDEV";
    const std::wstring done = L"Calc.exe - 0 error(s), 0 warning(s)";
    struct Case {
        std::string standIn;
        std::vector<std::wstring> lastLines;
    } cases[] = {
        {"", {L"Linking...", done}},
        {"exitcode=259\nhang=300\n", {done, program + L" ended with exit code 259."}},
        {"result=crash\n", {L"Helpers.cpp", program + L" crashed (exception 0xC0000005)."}},
    };
    for (const Case& c : cases) {
        project_.standIn = c.standIn;
        collector_.Clear();
        Run(MakeCommand());
        const auto& lines = collector_.Lines();
        ASSERT_GE(lines.size(), 2u) << c.standIn;
        EXPECT_EQ(std::vector<std::wstring>(lines.end() - 2, lines.end()), c.lastLines) << c.standIn;
        EXPECT_FALSE(kwtest::FileExists(logPath_));
        EXPECT_FALSE(kwtest::FileExists(logPath_ + L"-2"));
    }
    EXPECT_EQ(collector_.Lines().front(), L"--------------------Configuration: Calc - Win32 Debug--------------------");
    EXPECT_TRUE(kwtest::FileExists(project_.folder + L"\\Debug\\Calc.exe"));
}

TEST_F(RunBuilderTest, PiecesWhileRunningKeepTheirPace) {
    // 5000 bytes at once, then the child stays alive: 2048, 2048 and 904 bytes, then the end mark.
    project_.standIn = "exactbytes=5000\nhang=1500\n";
    Run(MakeCommand());
    EXPECT_EQ(PieceSizes(collector_), (std::vector<size_t>{2048, 2048, 904, 0}));
}

TEST_F(RunBuilderTest, BuildersThatDoNotStartDeleteNothing) {
    kwtest::WriteBytes(logPath_, "left from before\r\n");
    const std::wstring missing = dir_.File(L"nowhere\\MSDEV98\\Bin\\MSDEV");
    Run(L"\"" + missing + L"\" x.dsp /CLEAN /OUT " + logPath_);
    EXPECT_EQ(collector_.Lines(), std::vector<std::wstring>{L"Could not start " + missing + L": File not found (error 2)."});
    EXPECT_EQ(kwtest::ReadBytes(logPath_), "left from before\r\n");

    collector_.Clear();
    Run(MakeCommand(), dir_.File(L"does not exist"));
    ASSERT_EQ(collector_.Lines().size(), 1u);
    EXPECT_EQ(collector_.Lines()[0].rfind(L"Could not start ", 0), 0u);

    // A builder that ends without writing its log, where an old log of the same name lies.
    collector_.Clear();
    kwtest::WriteBytes(logPath_, "Old.exe - 0 error(s), 0 warning(s)\r\n");
    Run(QuoteArgument(kwtest::BuildTreePath("tools/argv-echo.exe")) + L" /OUT " + QuoteArgument(logPath_));
    EXPECT_EQ(collector_.NarrowBytes(), "");
    EXPECT_FALSE(kwtest::FileExists(logPath_));
}

// The runner's seam to the system, failing on request.
struct FaultyLauncher : ProcessLauncher {
    bool noEvent = false, noThread = false, throws = false;
    HANDLE CreateDoneEvent() override { return noEvent ? nullptr : ProcessLauncher::CreateDoneEvent(); }
    HANDLE StartRunnerThread(ThreadProcedure procedure, void* argument) override {
        return noThread ? nullptr : ProcessLauncher::StartRunnerThread(procedure, argument);
    }
    BOOL StartProcess(wchar_t* commandLine, const wchar_t* folder, DWORD flags, PROCESS_INFORMATION& process) override {
        if (throws) throw std::runtime_error("out of luck");
        return ProcessLauncher::StartProcess(commandLine, folder, flags, process);
    }
};

TEST_F(RunBuilderTest, SeamFailuresNeitherHangNorPass) {
    FaultyLauncher launcher;
    TheRunSettings().launcher = &launcher;
    const std::wstring done = L"Calc.exe - 0 error(s), 0 warning(s)";
    for (int fault = 0; fault < 3; ++fault) {
        launcher.noEvent = fault == 0;
        launcher.noThread = fault == 1;
        launcher.throws = fault == 2;
        collector_.Clear();
        Run(MakeCommand());
        if (fault < 2) {
            EXPECT_EQ(collector_.Lines().back(), done) << fault;  // run on the calling thread instead
        } else {
            EXPECT_EQ(collector_.Lines().back(), L"The run of " + kwtest::StandInVisualStudioFolder() +
                                                     L"\\MSDEV98\\Bin\\MSDEV failed: out of luck.");
        }
        EXPECT_FALSE(kwtest::FileExists(logPath_));
    }
    TheRunSettings().launcher = nullptr;
}

}  // namespace
}  // namespace kw
