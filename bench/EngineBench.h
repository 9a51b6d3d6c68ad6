// Shared by the engine benchmarks, on the tests' own support: a scratch package of stand-in
// projects, the engine's receiver, and one run through the engine.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "BenchClock.h"
#include "common/RunSupport.h"
#include "engine/BuildController.h"
#include "engine/RunSetup.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

namespace kwbench {

using kwtest::RemoveTree;
using Receiver = kwtest::RunReceiver;

inline std::wstring TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD n = GetEnvironmentVariableW(L"TEMP", buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) n = GetTempPathW(MAX_PATH, buffer);
    std::wstring folder(buffer, n);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// count VC6 projects P1..Pn under root, each with the given standin.ini; returns the package path.
inline std::wstring MakeVisualCppPackage(const std::wstring& root, int count, const std::string& standIn) {
    CreateDirectoryW(root.c_str(), nullptr);
    std::vector<kwtest::TestProject> projects;
    for (int i = 1; i <= count; ++i) {
        kwtest::TestProject project;
        project.id = std::to_wstring(i);
        project.name = L"P" + std::to_wstring(i);
        project.folder = root + L"\\" + project.name;
        project.standIn = standIn;
        projects.push_back(project);
    }
    kwtest::WriteProjects(projects);
    std::wstring package = root + L"\\bench.kwp";
    kwtest::WritePackage(package, projects);
    return package;
}

// The narrow pieces that arrived, with their arrival times.
inline std::vector<kwtest::Piece> NarrowArrivals(const Receiver& receiver) {
    std::vector<kwtest::Piece> pieces;
    for (const kwtest::Piece& piece : receiver.Pieces()) {
        if (!piece.wide && !piece.bytes.empty()) pieces.push_back(piece);
    }
    return pieces;
}

// Runs the Debug build of every target through the engine, up to parallelBuilds at once, and
// waits for its end. Seconds, counted from the set-up; -1 when the run could not be set up or
// started. What the run came to goes to outcome, if given.
inline double RunThroughEngine(kw::PackageDocument& document, const std::wstring& temporaryFolder,
                               const std::vector<int>& targets, Receiver& receiver, int parallelBuilds = 1,
                               kw::RunOutcome* outcome = nullptr) {
    long long start = Ticks();
    receiver.Clear();
    kw::RunChoices choices;
    choices.targets = targets;
    choices.debug = true;
    choices.parallelBuilds = parallelBuilds;
    kw::PreparedRun prepared = kw::SetUpRun(document, choices, kw::ReadRunEnvironment(temporaryFolder));
    if (prepared.refusal != kw::RunRefusal::None) return -1;
    kw::BuildController controller;
    if (controller.StartRun(std::move(prepared.job), receiver.Window(), nullptr) != 0) return -1;
    receiver.PumpUntilFinished();
    const double seconds = Seconds(Ticks() - start);
    if (outcome && controller.WaitForEnd(INFINITE)) *outcome = controller.Outcome();
    return seconds;
}

}  // namespace kwbench
