// The process runner: log capture in pieces while the child runs and in full after it has ended,
// and builders that never start.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/BuildCommands.h"
#include "engine/ProcessRunner.h"
#include "win/Text.h"

namespace kw {
namespace {

using kwtest::RunReceiver;

std::vector<size_t> PieceSizes(const RunReceiver& receiver) {
    std::vector<size_t> sizes;
    for (const kwtest::Piece& piece : receiver.Pieces()) {
        if (!piece.wide) sizes.push_back(piece.bytes.size());
    }
    return sizes;
}

// (What is left after the child's end, and large logs, the engine's runs deliver whole.)
TEST(ReadLogText, PostsInPiecesOf2048BytesWhileAnyoneReceives) {
    kwtest::ScratchDir dir(L"pace");
    std::wstring log = dir.File(L"1412.log");
    std::uint32_t position = 0;
    HWND gone;
    {
        RunReceiver receiver;
        gone = receiver.Window();
        RunContext run;
        run.window = receiver.Window();
        run.listBox = receiver.ListBox();
        auto read = [&] { ReadNewLogText(log, position, run); };
        read();  // no log yet
        kwtest::WriteBytes(log, "Compiling...\r\nCa");
        read();
        read();  // nothing new
        // A zero byte would end a narrow text early; it is posted as a blank.
        std::string text = "Compiling...\r\nCalc.cpp" + std::string(1, '\0') + "\r\n" + std::string(5000, 'x');
        kwtest::WriteBytes(log, text);
        for (int i = 0; i < 4; ++i) read();
        receiver.Pump();
        EXPECT_EQ(PieceSizes(receiver), (std::vector<size_t>{16, 2048, 2048, 913}));
        EXPECT_EQ(position, text.size());
        text[22] = ' ';
        EXPECT_EQ(receiver.NarrowBytes(), text);
        EXPECT_FALSE(receiver.ForeignListBox());
    }
    // The side copy is gone, the log itself is left to the runner.
    EXPECT_FALSE(kwtest::FileExists(log + L"-2"));
    EXPECT_TRUE(kwtest::FileExists(log));
    // Nobody to receive: the rest is dropped, nothing stays behind.
    position = 0;
    RunContext nobody;
    nobody.window = gone;
    ReadRemainingLogText(log, position, nobody);
    EXPECT_FALSE(kwtest::FileExists(log + L"-2"));
}

// A child run the way a build step runs one, in a stand-in project folder.
class RunBuilderTest : public ::testing::Test {
protected:
    std::wstring StandInCommand() const {
        return ComposeVisualCppCommandLine({kwtest::StandInVisualStudioFolder(), project_.name, project_.folder,
                                            L"Win32 Debug", logPath_},
                                           ActionDebug, false);
    }

    // Runs a builder as a build step does; what it posts is received afterwards.
    void Run(const std::wstring& commandLine, const std::wstring& workingFolder = {}) {
        kwtest::WriteProjects({project_});
        receiver_.Clear();
        RunContext run;
        run.window = receiver_.Window();
        run.listBox = receiver_.ListBox();
        RunBuilder(run, commandLine, workingFolder.empty() ? project_.folder : workingFolder, logPath_);
        receiver_.Pump();
    }

    kwtest::ScratchDir dir_{L"runner"};
    RunReceiver receiver_;
    std::wstring logPath_ = dir_.File(L"4242.log");
    kwtest::TestProject project_{L"1", L"Calc", L"VC6", dir_.File(L"Calc")};
};

TEST_F(RunBuilderTest, BuildersThatDoNotStartDeleteNothing) {
    kwtest::WriteBytes(logPath_, "left from before\r\n");
    const std::wstring missing = dir_.File(L"nowhere\\MSDEV98\\Bin\\MSDEV");
    Run(L"\"" + missing + L"\" x.dsp /CLEAN /OUT " + logPath_);
    EXPECT_EQ(receiver_.Lines(), std::vector<std::wstring>{L"Could not start " + missing + L": File not found (error 2)."});
    EXPECT_EQ(kwtest::ReadBytes(logPath_), "left from before\r\n");

    Run(StandInCommand(), dir_.File(L"does not exist"));
    ASSERT_EQ(receiver_.Lines().size(), 1u);
    EXPECT_EQ(receiver_.Lines()[0].rfind(L"Could not start ", 0), 0u);

    // A builder that ends without writing its log, where an old log of the same name lies.
    kwtest::WriteBytes(logPath_, "Old.exe - 0 error(s), 0 warning(s)\r\n");
    Run(QuoteArgument(kwtest::ProgramFolder() + L"\\tools\\argv-echo.exe") + L" /OUT " + QuoteArgument(logPath_));
    EXPECT_EQ(PieceSizes(receiver_), std::vector<size_t>{0}) << "nothing of the old log, then the end mark";
    EXPECT_FALSE(kwtest::FileExists(logPath_));
}

}  // namespace
}  // namespace kw
