#include "app/MainWindow.h"

#include "app/Application.h"
#include "app/WindowPlacement.h"
#include "controls/AboutDialog.h"
#include "editor/PackageEditor.h"
#include "engine/HtmlReport.h"
#include "engine/LogText.h"
#include "engine/MakeRunRecord.h"
#include "engine/RecordFile.h"
#include "engine/RunSetup.h"
#include "resource.h"
#include "win/AtomicFile.h"
#include "win/Controls.h"
#include "win/Decimal.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <iterator>
#include <optional>
#include <utility>

namespace kw {

namespace {

constexpr int kVersionFields[] = {IDC_MAJOR, IDC_MINOR, IDC_BUILD_NUMBER, IDC_REVISION};
constexpr wchar_t kParallelBuildsValue[] = L"ParallelBuilds";

int ParallelBuildsSetting(long long number) {
    return static_cast<int>(std::clamp<long long>(number, 1, kMaxParallelBuilds));
}

// A row copied into the Targets list keeps at most this much of its name.
constexpr size_t kTargetNameChars = 255;
// The package caption shows at most this much of the package's name.
constexpr size_t kCaptionNameChars = 54;
// While a run goes on, the window also looks at its worker now and then: a WM_RUN_FINISHED that
// could not be posted must not leave the window running for ever.
constexpr UINT_PTR kRunWatchTimer = 1;
constexpr UINT kRunWatchIntervalMs = 500;

// Held log text is shown in slices of about this long; then other messages get their turn.
constexpr DWORD kLogSliceMs = 40;
// Posted to itself to show the next slice of held log text.
constexpr UINT WM_SHOW_HELD_LOG = WM_APP + 1;
// The event log is drawn again at most this often while lines come in: turning a list box's
// drawing back on costs tens of milliseconds under Wine, whatever the number of lines added.
constexpr DWORD kLogRefreshMs = 100;
constexpr UINT_PTR kLogRefreshTimer = 0x4B57;

}  // namespace

MainWindow::MainWindow(Application& application, const std::wstring& packagePath)
    : Dialog(IDD_MAINWINDOW),
      application_(application),
      packagePath_(packagePath),
      receiver_([this](HWND listBox, const std::wstring& line) { AppendLine(listBox, EscapeForDisplay(line)); }) {}

MainWindow::~MainWindow() {
    // A window that still exists here (a modeless one) shows the stopped run's end first.
    if (running_ && Handle() != nullptr) {
        runController_->StopRun();
        WaitForRunEnd();
    }
    if (Handle() != nullptr) receiver_.Discard();
    // The controller stops a run still going and waits for its worker.
    runController_.reset();
}

// ---- initialisation ------------------------------------------------------------------------

bool MainWindow::OnInitDialog() {
    HWND window = Handle();
    receiver_.Attach(window);
    packageList_.Attach(window, IDC_PACKAGE_LIST);
    targetList_.Attach(window, IDC_TARGET_LIST);
    eventLog_.Attach(Item(IDC_EVENT_LOG));

    HMENU systemMenu = GetSystemMenu(window, FALSE);
    std::wstring about = LoadResourceString(IDS_ABOUTBOX);
    if (systemMenu != nullptr && !about.empty()) {
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    windowIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KILNWORKS), IMAGE_ICON, 16, 16, LR_SHARED));
    Window(window).SetIcon(windowIcon_, ICON_BIG);
    Window(window).SetIcon(windowIcon_, ICON_SMALL);

    projectImages_ = CreateProjectImages();
    ListView(window, IDC_PACKAGE_LIST).SetImageList(projectImages_.Get());
    ListView(window, IDC_TARGET_LIST).SetImageList(projectImages_.Get());

    const std::pair<int, int> iconButtons[] = {
        {IDC_NEW_PACKAGE, IDI_NEW_PACKAGE}, {IDC_OPEN_PACKAGE, IDI_OPEN_PACKAGE}, {IDC_EDIT_PACKAGE, IDI_EDIT_PACKAGE}};
    for (const auto& [button, icon] : iconButtons) {
        Button(window, button).SetIcon(
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON, 32, 32, LR_SHARED)));
    }

    const std::pair<int, unsigned> texts[] = {{IDC_TARGET_GROUP, IDS_TARGET_SELECTION},
                                              {IDC_EVENT_LOG_LABEL, IDS_EVENT_LOG},
                                              {IDC_ACTIONS_GROUP, IDS_ACTIONS},
                                              {IDC_CLEAR_TARGETS, IDS_CLEAR_SELECTION},
                                              {IDC_EXIT, IDS_EXIT},
                                              {IDC_SET_VERSION, IDS_SET_VERSION},
                                              {IDC_AUTO_INCREMENT, IDS_AUTO_INCREMENT}};
    for (const auto& [id, text] : texts) Window(window, id).SetText(LoadResourceString(text));
    hintText_ = LoadResourceString(IDS_TARGET_HINT);

    packageListId_ = IDC_PACKAGE_LIST;

    // The template size is the smallest the window may be; remember where the stretching
    // controls stand at it.
    RECT frame;
    GetWindowRect(window, &frame);
    minimumSize_ = {frame.right - frame.left, frame.bottom - frame.top};
    RECT client;
    GetClientRect(window, &client);
    templateClient_ = {client.right, client.bottom};
    const std::pair<int, RECT*> stretching[] = {{IDC_EVENT_LOG, &logRect_}, {IDC_EXIT, &exitRect_}};
    for (const auto& [id, rect] : stretching) {
        GetWindowRect(Item(id), rect);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(rect), 2);
    }

    // Where the user left the window last time, and the packages opened lately.
    RestoreWindowPlacement(window, settings_, minimumSize_);
    recent_.Load(settings_);
    UpdateRecentMenu();
    parallelBuilds_ = std::to_wstring(ParallelBuildsSetting(settings_.ReadNumber(L"", kParallelBuildsValue).value_or(1)));
    SendMessageW(Item(IDC_PARALLEL_BUILDS), EM_SETLIMITTEXT, 2, 0);
    SetDlgItemTextW(window, IDC_PARALLEL_BUILDS, parallelBuilds_.c_str());  // before anything reads the fields
    DragAcceptFiles(window, TRUE);
    // Explorer runs without elevation: let its drops reach an elevated window.
    ChangeWindowMessageFilterEx(window, WM_DROPFILES, MSGFLT_ALLOW, nullptr);
    ChangeWindowMessageFilterEx(window, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
    ChangeWindowMessageFilterEx(window, 0x0049 /* WM_COPYGLOBALDATA */, MSGFLT_ALLOW, nullptr);

    // The start-up package becomes the window's only once it opens.
    if (!packagePath_.empty()) LoadPackage(std::exchange(packagePath_, std::wstring()));
    WriteControls();
    return true;
}

void MainWindow::ExchangeControls(Exchange direction) {
    ExchangeCheck(direction, IDC_BUILD, build_);
    ExchangeCheck(direction, IDC_DEBUG, debug_);
    ExchangeCheck(direction, IDC_RELEASE, release_);
    ExchangeCheck(direction, IDC_REBUILD_ALL, rebuildAll_);
    ExchangeCheck(direction, IDC_CLEAN, clean_);
    ExchangeCheck(direction, IDC_VERSION, version_);
    ExchangeCheck(direction, IDC_SET_VERSION, setVersion_);
    ExchangeCheck(direction, IDC_AUTO_INCREMENT, autoIncrement_);
    ExchangeText(direction, IDC_MAJOR, major_);
    ExchangeText(direction, IDC_MINOR, minor_);
    ExchangeText(direction, IDC_BUILD_NUMBER, buildNumber_);
    ExchangeText(direction, IDC_REVISION, revision_);
    ExchangeText(direction, IDC_TARGET_HINT, hintText_);
    ExchangeText(direction, IDC_PARALLEL_BUILDS, parallelBuilds_);
}

// ---- routing -------------------------------------------------------------------------------

bool MainWindow::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_ADD_SELECTED: AddSelectedTargets(); return true;
    case IDC_ADD_ALL: AddAllTargets(); return true;
    case IDC_REMOVE_SELECTED: RemoveSelectedTargets(); return true;
    case IDC_CLEAR_TARGETS: ClearTargets(); return true;
    case IDC_BUILD: OnBuildToggled(); return true;
    case IDC_VERSION: OnVersionToggled(); return true;
    case IDC_SET_VERSION: OnSetVersionToggled(); return true;
    case IDC_AUTO_INCREMENT: OnAutoIncrementToggled(); return true;
    case IDC_START: OnStart(); return true;
    case IDC_STOP: OnStop(); return true;
    case IDC_OPEN_PACKAGE:
    case IDM_OPEN_PACKAGE: OnOpenPackage(); return true;
    case IDC_EDIT_PACKAGE:
    case IDM_EDIT_PACKAGE: OnEditPackage(); return true;
    case IDC_NEW_PACKAGE:
    case IDM_NEW_PACKAGE: OnNewPackage(); return true;
    case IDM_ABOUT: ShowAbout(); return true;
    case IDC_EVENT_LOG:
        if (code == LBN_DBLCLK) eventLog_.OpenSource(static_cast<int>(ListBox(control).Send(LB_GETCURSEL)), Handle());
        return true;
    case IDC_EXIT:
    case IDM_EXIT_PROGRAM:
    case IDCANCEL: RequestExit(false); return true;
    case IDOK: RequestExit(true); return true;
    default:
        if (id >= IDM_RECENT_FIRST && id <= IDM_RECENT_LAST) {
            OnRecentPackage(static_cast<size_t>(id - IDM_RECENT_FIRST));
            return true;
        }
        return false;
    }
}

bool MainWindow::OnNotify(int id, NMHDR* header, LRESULT& result) {
    result = 0;
    if (!OnListNotify(id, header)) return false;
    // No LVN_DELETEITEM for each row of a list being emptied: nothing here listens for them.
    if (header->code == LVN_DELETEALLITEMS) {
        result = TRUE;
        return true;
    }
    // Answering a notification as handled costs a trip to the window server (DWLP_MSGRESULT),
    // and the lists notify for every row they gain: the rest are left to the default answer,
    // which is the same 0.
    return header->code == LVN_USERINPUT;
}

bool MainWindow::OnListNotify(int id, NMHDR* header) {
    if (!IsWindow(packageList_.Handle())) return false;
    if (header != nullptr && id == packageListId_) {
        if (header->code == LVN_USERINPUT) UpdatePackageButtons();
        return true;
    }
    if (header != nullptr && id == IDC_TARGET_LIST) {
        if (header->code == LVN_USERINPUT) UpdateTargetButtons();
        return true;
    }
    return false;
}

bool MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_LOG_TEXT:
        OnLogText(wParam);
        return true;
    case WM_SHOW_HELD_LOG:
        ShowHeldLog();
        return true;
    case WM_RUN_FINISHED:
        // Log text taken off the queue ahead of it is shown first.
        if (receiver_.NextHeld() != nullptr) {
            runFinishedHeld_ = true;
            return true;
        }
        OnRunFinished();
        RefreshLog();
        return true;
    case WM_RUN_PROGRESS:
        OnRunProgress(wParam, lParam);
        return true;
    case WM_TIMER:
        if (wParam == kLogRefreshTimer) {
            RefreshLog();
            return true;
        }
        // A worker that ended without being able to say so still ends the run here.
        if (wParam != kRunWatchTimer) return false;
        if (running_ && runController_ && runController_->EndedUnannounced()) OnRunFinished();
        return true;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
        ShowAbout();
        return true;
    case WM_PAINT:
        if (!IsIconic(Handle())) return false;
        PaintMinimised();
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(windowIcon_);
        return true;
    case WM_DRAWITEM:
        if (wParam != IDC_EVENT_LOG) return false;
        eventLog_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_VKEYTOITEM:
        if (reinterpret_cast<HWND>(lParam) != eventLog_.Handle()) return false;
        result = eventLog_.OnKey(wParam);
        return true;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != Item(IDC_EVENT_LOG)) return false;
        ShowLogMenu(lParam);
        return true;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) Layout(LOWORD(lParam), HIWORD(lParam));
        return false;
    case WM_GETMINMAXINFO:
        if (minimumSize_.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {minimumSize_.cx, minimumSize_.cy};
            return true;
        }
        return false;
    case WM_DROPFILES:
        OnDropFiles(wParam);
        return true;
    case WM_DESTROY:
        SaveWindowPlacement(Handle(), settings_);
        // The run's last lines go to this window: it ends them before it goes.
        exitPending_ = false;
        if (running_) {
            runController_->StopRun();
            WaitForRunEnd();
        }
        receiver_.Discard();
        document_.ClosePackage();
        return false;
    default:
        return false;
    }
}

// ---- target selection ----------------------------------------------------------------------

namespace {

// A row of a project list, as the Targets list is rebuilt from it.
struct ListRow {
    int projectId;
    int image;
    std::wstring text;
    bool selected;
};

}  // namespace

void MainWindow::CopyToTargets(const std::vector<int>& packageRows) {
    ListView packages(Handle(), IDC_PACKAGE_LIST), targets(targetList_.Handle());
    std::optional<EmptyAwareListView::Bypass> packagesDirect(std::in_place, packageList_),
        targetsDirect(std::in_place, targetList_);
    // The Targets list's numbers are read once and looked up by binary search: a row-by-row search
    // per copied project costs ages on a large package.
    std::vector<int> present;
    const int targetCount = std::max(targets.Count(), 0);
    present.reserve(static_cast<size_t>(targetCount));
    for (int row = 0; row < targetCount; ++row) present.push_back(static_cast<int>(targets.ItemData(row)));
    std::vector<int> lookup = present;
    std::sort(lookup.begin(), lookup.end());

    // The package rows not yet among the targets, each project once (its first row counts), read
    // in one message each: name (as much as a target keeps), image and ProjectID.
    std::vector<ListRow> added;
    wchar_t text[kTargetNameChars + 1];
    for (int row : packageRows) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM | LVIF_IMAGE | LVIF_TEXT;
        item.iItem = row;
        item.pszText = text;
        item.cchTextMax = static_cast<int>(kTargetNameChars + 1);
        text[0] = L'\0';
        if (!packages.Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) continue;
        int id = static_cast<int>(item.lParam);
        if (std::binary_search(lookup.begin(), lookup.end(), id)) continue;
        const wchar_t* name = item.pszText != nullptr ? item.pszText : L"";
        added.push_back({id, item.iImage, Prefix(name, kTargetNameChars), false});
    }
    const auto byId = [](const ListRow& a, const ListRow& b) { return a.projectId < b.projectId; };
    std::stable_sort(added.begin(), added.end(), byId);
    added.erase(std::unique(added.begin(), added.end(),
                            [](const ListRow& a, const ListRow& b) { return a.projectId == b.projectId; }),
                added.end());
    const bool copied = !added.empty();

    if (copied) {
        const bool inOrder = std::is_sorted(present.begin(), present.end());
        RedrawPause pause(targets.Handle());
        if (inOrder && (present.empty() || added.front().projectId > present.back())) {
            // All after the last target: appended as they are.
            targets.Reserve(targetCount + static_cast<int>(added.size()));
            int index = targetCount;
            for (const ListRow& row : added) targets.InsertRow(row.text, row.image, row.projectId, index++);
        } else {
            // Otherwise the list is rebuilt once in order, keeping its rows' selection: rows put
            // in the middle of a small-icon view would still be drawn after the others.
            std::vector<ListRow> rows;
            rows.reserve(present.size() + added.size());
            for (int row = 0; row < targetCount; ++row) {
                rows.push_back({present[static_cast<size_t>(row)], targets.Image(row), targets.RowText(row),
                                targets.Selected(row)});
            }
            std::stable_sort(rows.begin(), rows.end(), byId);
            std::vector<ListRow> merged;
            merged.reserve(rows.size() + added.size());
            std::merge(rows.begin(), rows.end(), added.begin(), added.end(), std::back_inserter(merged), byId);
            targets.DeleteAll();
            targets.Reserve(static_cast<int>(merged.size()));
            int index = 0;
            for (const ListRow& row : merged) targets.InsertRow(row.text, row.image, row.projectId, index++, row.selected);
        }
    }
    packagesDirect.reset();
    targetsDirect.reset();
    if (copied) packageList_.ClearSelection();
    UpdatePackageButtons();
    UpdateTargetButtons();
}

void MainWindow::AddSelectedTargets() {
    ListView packages(Handle(), IDC_PACKAGE_LIST);
    std::vector<int> rows;
    for (int row = packages.NextSelected(-1); row >= 0; row = packages.NextSelected(row)) rows.push_back(row);
    if (rows.empty()) return;
    CopyToTargets(rows);
}

void MainWindow::AddAllTargets() {
    std::vector<int> rows(static_cast<size_t>(std::max(ListView(Handle(), IDC_PACKAGE_LIST).Count(), 0)));
    for (size_t row = 0; row < rows.size(); ++row) rows[row] = static_cast<int>(row);
    CopyToTargets(rows);
}

void MainWindow::RemoveSelectedTargets() {
    ListView targets(targetList_.Handle());
    int selected = targets.SelectedCount();
    if (selected <= 0) return;
    if (selected == targets.Count()) {
        targets.DeleteAll();
    } else {
        EmptyAwareListView::Bypass direct(targetList_);
        RedrawPause pause(targets.Handle());
        std::vector<int> rows;
        for (int row = targets.NextSelected(-1); row >= 0; row = targets.NextSelected(row)) rows.push_back(row);
        // From the end, so the rows still to delete keep their indexes.
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) targets.DeleteRow(*row);
    }
    UpdateTargetButtons();
}

void MainWindow::ClearTargets() {
    targetList_.DeleteAllRows();
    UpdateTargetButtons();
}

void MainWindow::UpdatePackageButtons() {
    ListView packages(Handle(), IDC_PACKAGE_LIST);
    if (packages.Count() == 0) {
        packageList_.SetHintState(kHintShown);
        Window(Handle(), IDC_ADD_SELECTED).Enable(false);
        Window(Handle(), IDC_ADD_ALL).Enable(false);
        return;
    }
    packageList_.SetHintState(kHintOff);
    Window(Handle(), IDC_ADD_ALL).Enable(true);
    Window(Handle(), IDC_ADD_SELECTED).Enable(packages.SelectedCount() > 0);
}

void MainWindow::UpdateTargetButtons() {
    ListView targets(targetList_.Handle());
    bool any = targets.Count() > 0;
    EnableActions(any);
    Window(Handle(), IDC_CLEAR_TARGETS).Enable(any);
    if (!any) Window(Handle(), IDC_REMOVE_SELECTED).Enable(false);
    OnBuildToggled();
    OnVersionToggled();
    if (any) Window(Handle(), IDC_REMOVE_SELECTED).Enable(targets.SelectedCount() > 0);
}

// ---- actions panel -------------------------------------------------------------------------

void MainWindow::EnableActions(bool on) {
    for (int id : {IDC_ACTIONS_GROUP, IDC_BUILD_FRAME, IDC_BUILD, IDC_VERSION, IDC_PARALLEL_LABEL, IDC_PARALLEL_BUILDS})
        Window(Handle(), id).Enable(on);
    Window(Handle(), IDC_START).Enable(on && !running_);
}

void MainWindow::OnBuildToggled() {
    ReadControls();
    bool on = build_ != 0 && Window(Handle(), IDC_BUILD_FRAME).Enabled();
    for (int id : {IDC_DEBUG, IDC_RELEASE, IDC_REBUILD_ALL, IDC_CLEAN}) Window(Handle(), id).Enable(on);
}

void MainWindow::OnVersionToggled() {
    ReadControls();
    bool on = version_ != 0 && Window(Handle(), IDC_VERSION).Enabled();
    Window(Handle(), IDC_SET_VERSION).Enable(on);
    Window(Handle(), IDC_AUTO_INCREMENT).Enable(on);
}

void MainWindow::OnSetVersionToggled() {
    ReadControls();
    bool on = setVersion_ != 0 && Window(Handle(), IDC_SET_VERSION).Enabled();
    for (int id : kVersionFields) Window(Handle(), id).Enable(on);
    if (on) {
        autoIncrement_ = 0;
        WriteControls();
    }
}

void MainWindow::OnAutoIncrementToggled() {
    ReadControls();
    if (autoIncrement_ == 0 || !Window(Handle(), IDC_AUTO_INCREMENT).Enabled()) return;
    setVersion_ = 0;
    for (int id : kVersionFields) Window(Handle(), id).Enable(false);
    WriteControls();
}

void MainWindow::OnStart() {
    ReadControls();
    if (running_) return;
    ListView targets(targetList_.Handle());
    int rows = targets.Count();
    if (rows <= 0) return;

    bool failed = false;
    std::wstring reason;  // why, when the failure says
    try {
        RunChoices choices;
        for (int row = 0; row < rows; ++row) choices.targets.push_back(static_cast<int>(targets.ItemData(row)));
        // A build option that is checked counts even when "Build" is not.
        choices.debug = debug_ != 0;
        choices.release = release_ != 0;
        choices.rebuildAll = rebuildAll_ != 0;
        choices.clean = clean_ != 0;
        choices.version = version_ != 0;
        choices.autoIncrement = autoIncrement_ != 0;
        choices.numbers = VersionQuad{VersionFieldNumber(major_), VersionFieldNumber(minor_),
                                      VersionFieldNumber(buildNumber_), VersionFieldNumber(revision_)};
        // Out of range is taken as the nearest it may be, shown so and remembered for next time.
        choices.parallelBuilds = ParallelBuildsSetting(_wtoi(parallelBuilds_.c_str()));
        parallelBuilds_ = std::to_wstring(choices.parallelBuilds);
        SetDlgItemTextW(Handle(), IDC_PARALLEL_BUILDS, parallelBuilds_.c_str());
        settings_.WriteNumber(L"", kParallelBuildsValue, static_cast<DWORD>(choices.parallelBuilds));
        PreparedRun prepared = setUp_(document_, choices, ReadRunEnvironment(application_.TemporaryFolder()));
        if (prepared.refusal == RunRefusal::NothingToDo) {
            ShowMessage(IDS_NO_ACTION, IDS_CAPTION_HINT, MB_OK);
            return;
        }
        if (prepared.refusal != RunRefusal::None) {
            CurrentPrompt().Message(Handle(), prepared.message, LoadResourceString(IDS_CAPTION_ERROR),
                                    MB_OK | MB_ICONERROR);
            return;
        }
        progress_ = RunProgress(prepared.job);
        runController_ = std::make_unique<BuildController>();
        failed = runController_->StartRun(std::move(prepared.job), Handle(), Item(IDC_EVENT_LOG)) != 0;
    } catch (const std::exception& error) {
        failed = true;
        reason = FromUtf8(error.what());
    } catch (...) {
        failed = true;
    }
    if (failed) {
        // Nothing was started; the window stays as it was, and says so.
        ReleaseRun();
        std::wstring text = LoadResourceString(IDS_RUN_NOT_STARTED);
        if (!reason.empty()) text += L"\n\n" + reason;
        CurrentPrompt().Message(Handle(), text, LoadResourceString(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
        return;
    }

    running_ = true;
    runAutoIncrement_ = version_ != 0 && autoIncrement_ != 0;
    idleCaption_ = Window(Handle()).Text();
    taskbar_.Show(Handle(), 0, progress_.Planned(), false);
    SetTimer(Handle(), kRunWatchTimer, kRunWatchIntervalMs, nullptr);
    Window(Handle(), IDC_START).Enable(false);
    Window(Handle(), IDC_STOP).Enable(true);
    EnablePackageCommands(false);
}

std::uint32_t MainWindow::VersionFieldNumber(const std::wstring& text) {
    // The field is converted to the 8-bit code page in a 20-byte buffer before it is read.
    std::string bytes = ToAnsi(text);
    if (bytes.size() > 19) bytes.resize(19);
    return static_cast<std::uint32_t>(ReadRuntimeInt32(std::string_view(bytes)));
}

void MainWindow::OnStop() {
    if (!running_ || !runController_) return;
    Window(Handle(), IDC_STOP).Enable(false);
    runController_->StopRun();
}

void MainWindow::ReleaseRun() { runController_.reset(); }

// ---- event log -----------------------------------------------------------------------------

void MainWindow::OnLogText(WPARAM wParam) {
    // Every record queued behind this one comes off the queue with it, so the messages behind
    // them (a close request, a click on Stop) wait for one slice of showing at most.
    receiver_.Hold(wParam);
    receiver_.HoldQueued();
    ShowHeldLog();
}

void MainWindow::ShowHeldLog() {
    showHeldPosted_ = false;
    showingHeld_ = true;
    const DWORD start = GetTickCount();
    while (const LogText* next = receiver_.NextHeld()) {
        // System lines stay where they are put; builder text scrolls its newest line into view.
        const bool narrow = next->isWide == 0;
        lastAppended_ = -1;
        receiver_.ReceiveHeld();
        // The receiver's callback sets lastAppended_, which cppcheck can't see.
        // cppcheck-suppress knownConditionTrueFalse
        if (narrow && lastAppended_ > 0 && logBatch_.listBox == appendedTo_) logBatch_.scrollTo = lastAppended_;
        if (GetTickCount() - start >= kLogSliceMs && !showHeldPosted_) {
            showHeldPosted_ = PostMessageW(Handle(), WM_SHOW_HELD_LOG, 0, 0) != FALSE;
            if (showHeldPosted_) break;
        }
    }
    showingHeld_ = false;
    EndLogBatch();
    if (receiver_.NextHeld() == nullptr && runFinishedHeld_) {
        runFinishedHeld_ = false;
        OnRunFinished();
        RefreshLog();
    }
}

void MainWindow::AppendLine(HWND listBox, const std::wstring& line) {
    if (!IsWindow(listBox)) return;
    // A line on its own (not from held log text) is a batch of one.
    const bool single = !showingHeld_;
    if (logBatch_.listBox != listBox) {
        EndLogBatch();
        BeginLogBatch(listBox);
    }
    ListBox box(listBox);
    // Room is made in steps that double, not line by line.
    if (logBatch_.isEventLog && logBatch_.count >= logRoom_) {
        int more = std::max(logBatch_.count, 1024);
        if (box.Reserve(more, more * 64)) logRoom_ = logBatch_.count + more;
    }
    int index = box.AddLine(line);
    // A last line that could not be added leaves the view where it is.
    lastAppended_ = index;
    if (index >= 0) {
        appendedTo_ = listBox;
        logBatch_.count = index + 1;
        logBatch_.widest = std::max(logBatch_.widest, logBatch_.widths.Of(line));
    }
    if (single) EndLogBatch();
}

void MainWindow::LineWidths::Reset(HWND window) {
    if (dc_ != nullptr) {
        if (oldFont_ != nullptr) SelectObject(dc_, oldFont_);
        ReleaseDC(window_, dc_);
    }
    dc_ = nullptr;
    oldFont_ = nullptr;
    window_ = window;
    tableRead_ = false;
}

int MainWindow::LineWidths::Of(const std::wstring& line) {
    if (window_ == nullptr) return 0;
    if (dc_ == nullptr) {
        dc_ = GetDC(window_);
        if (dc_ == nullptr) return 0;
        if (auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0))) oldFont_ = SelectObject(dc_, font);
        tableRead_ = GetCharWidth32W(dc_, 0, 255, table_) != FALSE;
    }
    if (tableRead_) {
        int width = 0;
        size_t i = 0;
        for (; i < line.size() && line[i] < 256; ++i) width += table_[line[i]];
        if (i == line.size()) return width;
    }
    SIZE size = {};
    return GetTextExtentPoint32W(dc_, line.c_str(), static_cast<int>(line.size()), &size) ? size.cx : 0;
}

void MainWindow::BeginLogBatch(HWND listBox) {
    logBatch_.listBox = listBox;
    // Looked up once a batch: finding a dialog's control costs a trip to the window server under Wine.
    logBatch_.isEventLog = listBox == Item(IDC_EVENT_LOG);
    logBatch_.count = ListBox(listBox).Count();
    logBatch_.widest = 0;
    logBatch_.scrollTo = -1;
    logBatch_.widths.Reset(listBox);
    if (logUndrawn_ != listBox) {
        RefreshLog();
        SendMessageW(listBox, WM_SETREDRAW, FALSE, 0);
        logUndrawn_ = listBox;
    }
}

void MainWindow::EndLogBatch() {
    HWND listBox = logBatch_.listBox;
    if (listBox == nullptr) return;
    logBatch_.listBox = nullptr;
    logBatch_.widths.Reset(nullptr);
    ListBox box(listBox);
    // The horizontal scroll bar scrolls as far as the widest line.
    if (logBatch_.widest > 0) {
        int width = logBatch_.widest + 2 * GetSystemMetrics(SM_CXBORDER) + 4;
        if (width > box.HorizontalExtent()) box.SetHorizontalExtent(width);
    }
    // The list box keeps its top line while it is not drawn; it is shown when drawn again.
    if (logBatch_.scrollTo > 0) box.SetTopIndex(logBatch_.scrollTo);
    if (GetTickCount() - logDrawnAt_ >= kLogRefreshMs) {
        RefreshLog();
    } else if (!logTimerSet_) {
        logTimerSet_ = SetTimer(Handle(), kLogRefreshTimer, kLogRefreshMs, nullptr) != 0;
        if (!logTimerSet_) RefreshLog();
    }
}

void MainWindow::RefreshLog() {
    if (logTimerSet_) KillTimer(Handle(), kLogRefreshTimer);
    logTimerSet_ = false;
    logDrawnAt_ = GetTickCount();
    HWND listBox = logUndrawn_;
    if (listBox == nullptr) return;
    logUndrawn_ = nullptr;
    if (!IsWindow(listBox)) return;
    SendMessageW(listBox, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listBox, nullptr, TRUE);
    // Drawn now: a flood of log text keeps the queue from ever being empty enough to paint.
    UpdateWindow(listBox);
}

void MainWindow::OnRunFinished() {
    // A piece cut in the middle of its last line shows that line now.
    receiver_.Flush();
    // The run's closing lines (its summary) are what the user looks for when it ends.
    if (running_) {
        ListBox log(Item(IDC_EVENT_LOG));
        if (log.Count() > 0) log.SetTopIndex(log.Count() - 1);
    }

    KillTimer(Handle(), kRunWatchTimer);
    // The worker posts this message as its last act: its outcome is complete once it has ended.
    if (running_ && runController_) runController_->WaitForEnd(INFINITE);
    if (running_ && runController_ && runAutoIncrement_ && runController_->Outcome().anyStamped) {
        // The numbers the last stamped file now holds.
        const VersionQuad stamped = runController_->Outcome().lastStamped;
        ReadControls();
        major_ = FormatW(L"%u", stamped.major);
        minor_ = FormatW(L"%u", stamped.minor);
        buildNumber_ = FormatW(L"%u", stamped.build);
        revision_ = FormatW(L"%u", stamped.revision);
        WriteControls();
    }
    // Kept for "Save report as..." until the next run has ended.
    if (running_ && runController_) lastRun_ = std::move(runController_);
    ReleaseRun();
    if (running_) {
        Window(Handle()).SetText(idleCaption_);
        taskbar_.Clear(Handle());
    }
    running_ = false;
    runAutoIncrement_ = false;
    Window(Handle(), IDC_START).Enable(true);
    Window(Handle(), IDC_STOP).Enable(false);
    EnablePackageCommands(true);
    if (exitPending_) End(0);
}

void MainWindow::OnRunProgress(WPARAM wParam, LPARAM lParam) {
    if (!running_) return;
    progress_.Note(wParam, lParam);
    if (!progress_.Text().empty()) Window(Handle()).SetText(idleCaption_ + L" - " + progress_.Text());
    taskbar_.Show(Handle(), progress_.Ended(), progress_.Planned(), progress_.AnyFailed());
}

void MainWindow::WaitForRunEnd() {
    // The stop has ended every builder, so the worker only posts its last lines now.
    while (running_) {
        if (runController_->EndedUnannounced()) {
            OnRunFinished();
            break;
        }
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
}

std::vector<std::wstring> MainWindow::EventLogLines() const {
    ListBox log(Item(IDC_EVENT_LOG));
    std::vector<std::wstring> lines;
    int count = log.Count();
    lines.reserve(static_cast<size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) lines.push_back(log.Line(i));
    return lines;
}

bool MainWindow::CopyAllLines() {
    std::wstring text;
    for (const std::wstring& line : EventLogLines()) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    if (!OpenClipboard(Handle())) return false;
    EmptyClipboard();
    bool done = false;
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        // The clipboard owns the memory only once it has taken it.
        if (!done) GlobalFree(memory);
    }
    CloseClipboard();
    return done;
}

bool MainWindow::SaveLogAs() {
    FileRequest request;
    request.owner = Handle();
    request.save = true;
    request.title = LoadResourceString(IDS_SAVE_LOG_TITLE);
    request.filters = {{LoadResourceString(IDS_LOG_FILES), L"*.log"},
                       {LoadResourceString(IDS_TEXT_FILES), L"*.txt"},
                       {LoadResourceString(IDS_ALL_FILES), L"*.*"}};
    request.defaultExtension = L"log";
    request.flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                    OFN_ENABLESIZING;
    request.bufferChars = 1024;
    std::wstring path;
    if (!CurrentPrompt().ChooseFile(request, path)) return false;

    std::string bytes = "\xEF\xBB\xBF";
    for (const std::wstring& line : EventLogLines()) bytes += ToUtf8(line) + "\r\n";
    DWORD error = ReplaceFileContents(path, bytes);
    if (error == 0) return true;
    CurrentPrompt().Message(Handle(),
                            LoadResourceString(IDS_ERR_SAVE_LOG) + L"\n\n" + path + L"\n" + DescribeWin32Error(error),
                            LoadResourceString(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
    return false;
}

bool MainWindow::SaveReportAs() {
    if (!lastRun_) return false;
    FileRequest request;
    request.owner = Handle();
    request.save = true;
    request.title = LoadResourceString(IDS_SAVE_REPORT_TITLE);
    request.filters = {{LoadResourceString(IDS_REPORT_FILES), L"*.html"}, {LoadResourceString(IDS_ALL_FILES), L"*.*"}};
    request.defaultExtension = L"html";
    request.flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                    OFN_ENABLESIZING;
    request.bufferChars = 1024;
    std::wstring path;
    if (!CurrentPrompt().ChooseFile(request, path)) return false;

    std::wstring problem;
    if (WriteRecordFile(path, HtmlReport(MakeRunRecord(lastRun_->Job(), lastRun_->Outcome())), problem) == 0) {
        return true;
    }
    CurrentPrompt().Message(Handle(), LoadResourceString(IDS_ERR_SAVE_REPORT) + L"\n\n" + problem,
                            LoadResourceString(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
    return false;
}

void MainWindow::ShowLogMenu(LPARAM position) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_EVENTLOG_MENU));
    if (menu == nullptr) return;
    POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (position == static_cast<LPARAM>(-1)) {
        // From the keyboard: at the log's top-left corner.
        RECT rect;
        GetWindowRect(Item(IDC_EVENT_LOG), &rect);
        at = {rect.left + 4, rect.top + 4};
    }
    if (!eventLog_.AnyErrors()) {
        EnableMenuItem(menu, IDM_NEXT_ERROR, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(menu, IDM_PREVIOUS_ERROR, MF_BYCOMMAND | MF_GRAYED);
    }
    if (!CanSaveReport()) EnableMenuItem(menu, IDM_SAVE_REPORT_AS, MF_BYCOMMAND | MF_GRAYED);
    UINT command = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, at.x, at.y, 0,
                                  Handle(), nullptr);
    DestroyMenu(menu);
    if (command == IDM_COPY_ALL_LINES) CopyAllLines();
    if (command == IDM_SAVE_LOG_AS) SaveLogAs();
    if (command == IDM_SAVE_REPORT_AS) SaveReportAs();
    if (command == IDM_NEXT_ERROR || command == IDM_PREVIOUS_ERROR) {
        // So that F8 goes on from there; the dialog's way, so the default button stays right.
        SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(eventLog_.Handle()), TRUE);
        eventLog_.GoToError(command == IDM_NEXT_ERROR);
    }
}

// ---- packages ------------------------------------------------------------------------------

void MainWindow::OnOpenPackage() {
    if (running_) return;
    FileRequest request;
    request.owner = Handle();
    request.title = LoadResourceString(IDS_SELECT_PACKAGE);
    request.filters = {{L"Packages (*.kwp)", L"*.kwp"}};
    request.initialName = packagePath_;
    request.flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    request.bufferChars = 511;
    std::wstring path;
    if (CurrentPrompt().ChooseFile(request, path)) LoadPackage(path);
    WriteControls();
}

bool MainWindow::LoadPackage(const std::wstring& path) {
    if (running_) return false;
    // Check boxes the user ticked without a handler must survive the WriteControls below.
    ReadControls();
    {
        // Read into a document of its own: a file that can't be read leaves the open package as it
        // is; one that can takes its place without being read twice.
        PackageDocument loaded;
        if (loaded.OpenPackage(path) != 0) {
            ShowMessage(IDS_ERR_PARSE_PACKAGE, IDS_CAPTION_ERROR, MB_OK);
            return false;
        }
        document_.Swap(loaded);
    }
    // Only now: a file that failed to open must not become the package the window names.
    packagePath_ = path;
    FillPackageList();
    RememberPackage(packagePath_);
    editMenuEnabled_ = true;
    EnableMenuItem(GetMenu(Handle()), IDM_EDIT_PACKAGE, MF_BYCOMMAND | MF_ENABLED);
    ShowEditPackageControls();
    ClearTargets();
    UpdatePackageButtons();
    UpdateTargetButtons();
    return true;
}

void MainWindow::FillPackageList() {
    std::wstring name, major, minor, build, revision;
    int info = document_.GetPackageInfo(name, major, minor, build, revision);
    if (info < 0) {
        ShowMessage(IDS_ERR_GETPACKAGEINFO, IDS_CAPTION_ERROR, MB_OK);
        return;
    }
    if (info == 1) {
        major_.clear();
        minor_.clear();
        buildNumber_.clear();
        revision_.clear();
        Window(Handle(), IDC_PACKAGE_GROUP).SetText(L"Package");
        packageList_.SetHintState(kHintOff);
        WriteControls();
        return;
    }
    major_ = major;
    minor_ = minor;
    buildNumber_ = build;
    revision_ = revision;
    Window(Handle(), IDC_PACKAGE_GROUP).SetText(LoadResourceString(IDS_PACKAGE_CAPTION) + Prefix(name, kCaptionNameChars));
    ListView packages(Handle(), IDC_PACKAGE_LIST);
    packages.DeleteAll();
    // The version fields show the package's numbers at once, also when a message follows.
    WriteControls();

    std::vector<ProjectRow> rows;
    unsigned problem = ListProjects(document_, rows);
    if (problem == IDS_HINT_NO_PROJECTS) {
        ShowMessage(IDS_HINT_NO_PROJECTS, IDS_CAPTION_HINT, MB_OK);
        return;
    }
    if (problem != 0) {
        ShowMessage(problem, IDS_CAPTION_ERROR, MB_OK);
        return;
    }
    {
        EmptyAwareListView::Bypass direct(packageList_);
        RedrawPause pause(packages.Handle());
        packages.Reserve(static_cast<int>(rows.size()));
        int index = 0;
        for (const ProjectRow& row : rows) packages.InsertRow(row.name, row.kind, row.projectId, index++);
    }
    WriteControls();
}

void MainWindow::OnEditPackage() {
    if (running_) return;
    ReadControls();
    {
        PackageEditor editor(document_, Handle());
        editor.Run();
    }
    ReloadPackage();
    WriteControls();
    // Saved by the editor: a recent package too.
    if (GetFileAttributesW(document_.Path().c_str()) != INVALID_FILE_ATTRIBUTES) RememberPackage(document_.Path());
}

void MainWindow::OnNewPackage() {
    if (running_) return;
    ReadControls();
    PackageEditor editor(document_, Handle());
    if (editor.PromptNewPackageFile() != 0) return;
    editor.Run();
    ReloadPackage();
    ShowEditPackageControls();
    if (GetFileAttributesW(document_.Path().c_str()) != INVALID_FILE_ATTRIBUTES) RememberPackage(document_.Path());
}

void MainWindow::ReloadPackage() {
    ListView packages(Handle(), IDC_PACKAGE_LIST);
    packages.DeleteAll();
    RedrawWindow(packages.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    FillPackageList();
    UpdatePackageButtons();
    ClearTargets();
}

void MainWindow::ShowEditPackageControls() {
    editButtonShown_ = true;
    Window button(Handle(), IDC_EDIT_PACKAGE);
    button.Show(true);
    button.Enable(!running_);
}

void MainWindow::EnablePackageCommands(bool on) {
    HMENU menu = GetMenu(Handle());
    UINT enabled = MF_BYCOMMAND | MF_ENABLED, greyed = MF_BYCOMMAND | MF_GRAYED;
    EnableMenuItem(menu, IDM_OPEN_PACKAGE, on ? enabled : greyed);
    EnableMenuItem(menu, IDM_NEW_PACKAGE, on ? enabled : greyed);
    EnableMenuItem(menu, IDM_EDIT_PACKAGE, on && editMenuEnabled_ ? enabled : greyed);
    DrawMenuBar(Handle());
    for (int id = IDM_RECENT_FIRST; id <= IDM_RECENT_LAST; ++id) EnableMenuItem(menu, id, on ? enabled : greyed);
    Window(Handle(), IDC_OPEN_PACKAGE).Enable(on);
    Window(Handle(), IDC_NEW_PACKAGE).Enable(on);
    Window(Handle(), IDC_EDIT_PACKAGE).Enable(on && editButtonShown_);
}

// ---- remembered per user -------------------------------------------------------------------

void MainWindow::RememberPackage(const std::wstring& path) {
    recent_.Load(settings_);
    recent_.Add(path);
    recent_.Save(settings_);
    UpdateRecentMenu();
}

void MainWindow::UpdateRecentMenu() {
    HMENU file = GetSubMenu(GetMenu(Handle()), 0);
    if (file == nullptr) return;
    // Everything between "Edit Package" and "Exit Program" is the recent list and its separators.
    auto position = [&](UINT id) {
        for (int i = 0; i < GetMenuItemCount(file); ++i) {
            if (GetMenuItemID(file, i) == id) return i;
        }
        return -1;
    };
    int first = position(IDM_EDIT_PACKAGE) + 1, exit = position(IDM_EXIT_PROGRAM);
    if (first <= 0 || exit < first) return;
    for (int i = exit - 1; i >= first; --i) DeleteMenu(file, i, MF_BYPOSITION);
    const std::vector<std::wstring>& paths = recent_.Paths();
    if (!paths.empty()) {
        UINT at = static_cast<UINT>(first);
        UINT state = running_ ? MF_GRAYED : MF_ENABLED;
        InsertMenuW(file, at++, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        for (size_t i = 0; i < paths.size() && i < RecentPackages::kLimit; ++i) {
            InsertMenuW(file, at++, MF_BYPOSITION | MF_STRING | state, IDM_RECENT_FIRST + i,
                        RecentMenuText(i, paths[i]).c_str());
        }
        InsertMenuW(file, at, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
    DrawMenuBar(Handle());
}

void MainWindow::OnRecentPackage(size_t index) {
    if (running_ || index >= recent_.Paths().size()) return;
    std::wstring path = recent_.Paths()[index];
    DWORD attributes = GetFileAttributesW(path.c_str());
    DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        CurrentPrompt().Message(Handle(), FormatW(LoadResourceString(IDS_RECENT_MISSING).c_str(), path.c_str()),
                                LoadResourceString(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
        recent_.Load(settings_);
        recent_.Remove(path);
        recent_.Save(settings_);
        UpdateRecentMenu();
        return;
    }
    // Anything else (a locked or unreadable file, a share that is away) is the open command's to report.
    LoadPackage(path);
    WriteControls();
}

void MainWindow::OnDropFiles(WPARAM wParam) {
    auto drop = reinterpret_cast<HDROP>(wParam);
    std::vector<std::wstring> files;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
        files.push_back(name);
    }
    DragFinish(drop);
    OpenDroppedFiles(files);
}

void MainWindow::OpenDroppedFiles(const std::vector<std::wstring>& files) {
    if (running_) {
        ShowMessage(IDS_DROP_DURING_RUN, IDS_CAPTION_HINT, MB_ICONINFORMATION);
        return;
    }
    auto isPackage = [](const std::wstring& path) {
        size_t dot = path.find_last_of(L".\\/");
        return dot != std::wstring::npos && lstrcmpiW(path.c_str() + dot, L".kwp") == 0 &&
               !(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    };
    if (files.size() != 1 || !isPackage(files[0])) {
        ShowMessage(IDS_DROP_ONE_PACKAGE, IDS_CAPTION_HINT, MB_ICONINFORMATION);
        return;
    }
    LoadPackage(files[0]);
    WriteControls();
}

// ---- window --------------------------------------------------------------------------------

void MainWindow::RequestExit(bool readControlsFirst) {
    if (exitPending_) return;
    if (running_) {
        int answer = CurrentPrompt().Message(Handle(), LoadResourceString(IDS_RUN_IN_PROGRESS),
                                             LoadResourceString(IDS_APP_TITLE), MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES) return;
        // The window ends when the stopped run has finished; until then it goes on pumping.
        exitPending_ = true;
        OnStop();
        return;
    }
    if (readControlsFirst) ReadControls();
    End(0);
}

void MainWindow::ShowMessage(unsigned textId, unsigned captionId, UINT icon) {
    CurrentPrompt().Message(Handle(), LoadResourceString(textId), LoadResourceString(captionId), MB_OK | icon);
}

void MainWindow::ShowAbout() {
    AboutDialog about;
    about.RunModal(Handle());
}

void MainWindow::Layout(int width, int height) {
    if (templateClient_.cx == 0) return;
    int dx = std::max(0, width - static_cast<int>(templateClient_.cx));
    int dy = std::max(0, height - static_cast<int>(templateClient_.cy));
    MoveWindow(Item(IDC_EVENT_LOG), logRect_.left, logRect_.top, logRect_.right - logRect_.left + dx,
               logRect_.bottom - logRect_.top + dy, TRUE);
    MoveWindow(Item(IDC_EXIT), exitRect_.left + dx, exitRect_.top + dy, exitRect_.right - exitRect_.left,
               exitRect_.bottom - exitRect_.top, TRUE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void MainWindow::PaintMinimised() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    if (dc == nullptr) return;
    SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Handle(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, windowIcon_);
    EndPaint(Handle(), &paint);
}

}  // namespace kw
