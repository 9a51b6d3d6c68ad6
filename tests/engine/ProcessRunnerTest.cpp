// The process runner: builders that never start, and one that leaves no log of its own.
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
