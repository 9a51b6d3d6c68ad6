// The main window at scale: opening a large package, ">>" on all of its projects, and a long
// builder log shown during a run, each against a floor measured in the same run; and, throughout,
// the longest time a message posted to the window (as a close request or a click on Stop is)
// waited before the window took it.
//
//   bench_window [PROJECTS [LOG_LINES]]     (10,000 and 100,000 when not given)
#include "EngineBench.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "resource.h"
#include "win/Com.h"
#include "win/Controls.h"
#include "common/ScriptedPrompt.h"
#include "win/UserPrompt.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace kwbench;

namespace {

// The main window handles nothing in this range: a probe taken by the pump is never dispatched.
constexpr UINT kProbe = WM_APP + 0x2A0;
constexpr DWORD kProbeEveryMs = 50;

// Posts a probe to the window whenever the last one has been taken (at most every 50 ms); the
// pump reports each probe it takes, and the longest wait is kept.
class Probe {
public:
    explicit Probe(HWND window) : window_(window), thread_([this] { Run(); }) {}
    ~Probe() {
        stop_ = true;
        thread_.join();
    }
    void Seen(const MSG& message) {
        if (message.message != kProbe || message.hwnd != window_) return;
        double waited = Seconds(Ticks() - postedAt_.load());
        worst_ = std::max(worst_, waited);
        pending_ = false;
    }
    bool Pending() const { return pending_; }
    // The longest wait since the last call.
    double TakeWorst() {
        double worst = worst_;
        worst_ = 0;
        return worst;
    }

private:
    void Run() {
        while (!stop_) {
            if (!pending_) {
                postedAt_ = Ticks();
                pending_ = true;
                PostMessageW(window_, kProbe, 0, 0);
            }
            Sleep(kProbeEveryMs);
        }
    }

    HWND window_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> pending_{false};
    std::atomic<long long> postedAt_{0};
    double worst_ = 0;
    std::thread thread_;
};

Probe* gProbe = nullptr;

void PumpQueued() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (gProbe) gProbe->Seen(message);
        if (message.message == kProbe) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, double limitSeconds = 1800) {
    for (double start = Now(); !done();) {
        if (Now() - start > limitSeconds) return false;
        PumpQueued();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

// The worst probe wait of the phase just ended, once the window has taken its last probe.
double WorstWait() {
    PumpUntil([] { return !gProbe->Pending(); }, 120);
    return gProbe->TakeWorst();
}

// Until everything queued now (painting included) has been handled. Seconds since start.
double Settle(HWND window, double start) {
    UpdateWindow(window);
    PumpQueued();
    return Now() - start;
}

double TimeCli(const std::wstring& arguments, std::string* out = nullptr) {
    double start = Now();
    kwtest::Captured captured =
        kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\..\\kilnworks-cli.exe\" " + arguments);
    double seconds = Now() - start;
    if (out) *out = captured.out;
    return captured.exitCode < 0 ? -1 : seconds;
}

struct Row {
    std::wstring text;
    int image;
    LPARAM data;
};

void Print(const char* what, double window, double floor, const char* floorName, double wait) {
    std::printf("%-26s %9.2f s %9.2f s %-22s %6.2f %10.2f s\n", what, window, floor, floorName,
                floor > 0 ? window / floor : 0.0, wait);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int projects = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10000;
    const int logLines = argc > 2 ? std::max(1, _wtoi(argv[2])) : 100000;
    kw::ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    const std::wstring temporaryFolder = TemporaryFolder();
    const std::wstring root = temporaryFolder + L"\\kw-bench-window-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);

    // A large package in a shuffled order (the Targets list must sort it), names of mixed length.
    std::vector<kwtest::TestProject> big;
    for (int i = 0; i < projects; ++i) {
        int id = static_cast<int>((static_cast<long long>(i) * 7919) % projects) + 1;
        kwtest::TestProject project;
        project.id = std::to_wstring(id);
        project.name = L"Project " + std::to_wstring(id) + std::wstring(static_cast<size_t>(id % 23), L'x');
        project.compiler = id % 3 == 0 ? L"VB6" : L"VC6";
        project.folder = root + L"\\big\\P" + project.id;
        big.push_back(project);
    }
    const std::wstring bigPackage = root + L"\\big.kwp";
    kwtest::WritePackage(bigPackage, big, L"Bench", L"1.0.0.0");
    // One builder whose log has logLines lines of 64 bytes.
    const std::wstring logPackage =
        MakeVisualCppPackage(root + L"\\log", 1, "flood=" + std::to_string(64LL * logLines) + "\n");

    kwtest::ScriptedPrompt prompt;
    kw::ScopedPrompt promptScope(prompt);
    kw::Application application;
    application.SetTemporaryFolder(temporaryFolder);
    kw::MainWindow window(application, L"");
    if (window.Create(nullptr) == nullptr) {
        std::printf("the main window could not be created (no display?)\n");
        return 1;
    }
    HWND h = window.Handle();
    ShowWindow(h, SW_SHOW);
    Settle(h, Now());
    Probe probe(h);
    gProbe = &probe;
    kw::ListView packages(h, IDC_PACKAGE_LIST), targets(h, IDC_TARGET_LIST);
    bool ok = true;

    std::printf("main window: %d projects, a log of %d lines\n", projects, logLines);
    std::printf("%-26s %11s %11s %-22s %6s %12s\n", "", "window", "floor", "(floor is)", "ratio", "worst wait");

    // ---- opening the package, against `show` ----
    std::string shown;
    double show = TimeCli(L"show \"" + bigPackage + L"\"", &shown);
    WorstWait();
    // The scripted prompt answers by request number.
    prompt.fileRequests.clear();
    prompt.fileAnswers = {bigPackage};
    double start = Now();
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDM_OPEN_PACKAGE, 0), 0);
    double open = Settle(h, start);
    Print("open package", open, show, "kilnworks-cli show", WorstWait());
    if (packages.Count() != projects || !prompt.messages.empty()) {
        std::printf("  WRONG: %d rows listed, %zu messages\n", packages.Count(), prompt.messages.size());
        ok = false;
    }

    // ---- ">>", against filling a list view like the package list, in the same window, with the
    // same rows as fast as the control allows: drawing off, room for every row made first ----
    std::vector<Row> rows;
    for (int i = 0; i < packages.Count(); ++i) rows.push_back({packages.RowText(i), packages.Image(i), packages.ItemData(i)});
    RECT place;
    GetWindowRect(targets.Handle(), &place);
    MapWindowPoints(HWND_DESKTOP, h, reinterpret_cast<POINT*>(&place), 2);
    HWND plain = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_SMALLICON | LVS_NOCOLUMNHEADER,
                                 place.left, place.top, place.right - place.left, place.bottom - place.top, h, nullptr,
                                 nullptr, nullptr);
    kw::ListView floorList(plain);
    floorList.SetFont(packages.Font(), false);
    floorList.SetImageList(reinterpret_cast<HIMAGELIST>(packages.Send(LVM_GETIMAGELIST, LVSIL_SMALL)));
    WorstWait();
    start = Now();
    floorList.Send(WM_SETREDRAW, FALSE);
    floorList.Reserve(static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) floorList.InsertRow(rows[i].text, rows[i].image, rows[i].data, static_cast<int>(i));
    floorList.Send(WM_SETREDRAW, TRUE);
    InvalidateRect(plain, nullptr, TRUE);
    double fill = Settle(h, start);
    // The image list is the window's: the list must not take it along.
    floorList.SetImageList(nullptr);
    DestroyWindow(plain);
    Settle(h, Now());
    WorstWait();
    start = Now();
    kw::Button(h, IDC_ADD_ALL).Click();
    double addAll = Settle(h, start);
    Print(">> all projects", addAll, fill, "list view filled", WorstWait());
    bool ascending = targets.Count() == projects;
    for (int i = 0; ascending && i < projects; ++i) ascending = targets.ItemData(i) == i + 1;
    if (!ascending) {
        std::printf("  WRONG: the Targets list has %d rows, not 1..%d in order\n", targets.Count(), projects);
        ok = false;
    }

    // ---- a builder's long log, against `run` printing it ----
    std::string printed;
    double cli = TimeCli(L"run \"" + logPackage + L"\" --debug", &printed);
    size_t printedLines = static_cast<size_t>(std::count(printed.begin(), printed.end(), '\n'));
    prompt.fileRequests.clear();
    prompt.fileAnswers = {logPackage};
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDM_OPEN_PACKAGE, 0), 0);
    for (int id : {IDC_ADD_ALL, IDC_BUILD, IDC_DEBUG}) kw::Button(h, id).Click();
    kw::ListBox log(h, IDC_EVENT_LOG);
    const int before = log.Count();
    Settle(h, Now());
    WorstWait();
    start = Now();
    kw::Button(h, IDC_START).Click();
    bool finished = PumpUntil([&] { return !window.RunInProgress(); });
    double shownLog = Settle(h, start);
    Print("builder log", shownLog, cli, "kilnworks-cli run", WorstWait());
    const int added = log.Count() - before;
    std::printf("  lines: %d in the window, %zu printed by kilnworks-cli\n", added, printedLines);
    if (!finished || added < logLines || log.Line(log.Count() - 1).rfind(L"Summary: 1 target, 1 succeeded", 0) != 0) {
        std::printf("  WRONG: the run %s; last line \"%s\"\n", finished ? "finished" : "did not finish",
                    kw::ToUtf8(log.Line(log.Count() - 1)).c_str());
        ok = false;
    }

    std::printf("goals: each ratio at most 2.00, each worst wait at most 0.50 s\n");
    gProbe = nullptr;
    DestroyWindow(h);
    RemoveTree(root);
    return ok ? 0 : 1;
}
