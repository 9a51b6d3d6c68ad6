// The main window: the open package and its projects, the Targets list, the actions panel with
// Start and Stop, the event log, and the package commands. It owns the PackageDocument that the
// editor uses by reference, and the BuildController of a run, which owns everything the run uses.
#pragma once

#include "app/RecentPackages.h"
#include "app/SettingsStore.h"
#include "app/TaskbarProgress.h"
#include "app/EventLogView.h"
#include "controls/EmptyAwareListView.h"
#include "engine/BuildController.h"
#include "engine/LogReceiver.h"
#include "engine/RunProgress.h"
#include "engine/RunSetup.h"
#include "package/PackageDocument.h"
#include "win/Dialog.h"
#include "win/Handles.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw {

class Application;

class MainWindow : public Dialog {
public:
    MainWindow(Application& application, const std::wstring& packagePath);
    ~MainWindow() override;

    PackageDocument& Document() { return document_; }
    const std::wstring& PackagePath() const { return packagePath_; }
    // From a successful Start until WM_RUN_FINISHED has been handled.
    bool RunInProgress() const { return running_; }
    // What the taskbar button shows (or would, where there is no taskbar list).
    const TaskbarProgress& Taskbar() const { return taskbar_; }

    // ---- target selection ----
    void AddSelectedTargets();
    void AddAllTargets();
    void RemoveSelectedTargets();
    void ClearTargets();
    void UpdatePackageButtons();
    void UpdateTargetButtons();

    // ---- actions panel and run ----
    void EnableActions(bool on);
    void OnBuildToggled();
    void OnVersionToggled();
    void OnSetVersionToggled();
    void OnAutoIncrementToggled();
    void OnStart();
    // Asks the running run to stop; its lines and WM_RUN_FINISHED follow.
    void OnStop();
    // A version field's text as the run takes it: leading white space skipped, an optional sign,
    // decimal digits up to the first other character (0 when there are none), of the first 19
    // bytes in the 8-bit code page, saturated at the signed 32-bit limits and handed on as its
    // 32-bit pattern, so -1 gives 4294967295.
    static std::uint32_t VersionFieldNumber(const std::wstring& text);
    // The set-up Start uses; SetUpRun unless replaced (tests make it fail).
    using RunSetUp = std::function<PreparedRun(PackageDocument&, const RunChoices&, const RunEnvironment&)>;
    void SetRunSetUp(RunSetUp setUp) { setUp_ = std::move(setUp); }

    // ---- packages ----
    void OnOpenPackage();
    // Opens the package path and shows it. A file that can't be read leaves the previous package
    // loaded and shown. True when the new package is loaded.
    bool LoadPackage(const std::wstring& path);
    void FillPackageList();
    void OnEditPackage();
    void OnNewPackage();
    void ReloadPackage();

    // Exit, Escape, Enter, the close box: during a run, asks first and stops the run, ending once
    // it has finished.
    void RequestExit(bool readControlsFirst);

    // ---- remembered per user: recent packages, window placement ----
    // Where the window keeps what it remembers; before Create / RunModal (tests use their own key).
    void UseSettings(const SettingsStore& settings) { settings_ = settings; }
    const RecentPackages& Recent() const { return recent_; }
    // The File menu's index-th recent package (from 0), opened as the open command does; a file
    // that is gone is said so and leaves the list.
    void OnRecentPackage(size_t index);
    // Files dropped on the window: one package is opened as the open command does; anything else,
    // or a drop during a run, is refused with a word on what is accepted.
    void OpenDroppedFiles(const std::vector<std::wstring>& files);

    // ---- event log ----
    std::vector<std::wstring> EventLogLines() const;
    // Every line to the clipboard, CR LF separated. False when the clipboard can't be had.
    bool CopyAllLines();
    // A save dialog, then the lines as UTF-8 with a byte-order mark, replacing the file in one
    // step. False when cancelled or failed (the failure is shown).
    bool SaveLogAs();
    // The last run that has ended, kept for its report; none before the first.
    bool CanSaveReport() const { return lastRun_ != nullptr; }
    // A save dialog, then the last run's HTML report, replacing the file in one step. False when
    // there is no run yet, cancelled or failed (the failure is shown).
    bool SaveReportAs();
    EventLogView& EventLog() { return eventLog_; }

protected:
    bool OnInitDialog() override;
    void ExchangeControls(Exchange direction) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool OnListNotify(int id, NMHDR* header);
    // Copies these package rows into the Targets list (each project once, sorted by ProjectID).
    void CopyToTargets(const std::vector<int>& packageRows);
    void OnLogText(WPARAM wParam);
    // Shows held log text for one slice of time, and posts itself the rest.
    void ShowHeldLog();
    void AppendLine(HWND listBox, const std::wstring& line);
    void BeginLogBatch(HWND listBox);
    void EndLogBatch();
    // Draws the event log again if lines were added to it since it was last drawn.
    void RefreshLog();
    void OnRunFinished();
    // The caption says where the run is, the taskbar button how far it has got.
    void OnRunProgress(WPARAM wParam, LPARAM lParam);
    void ReleaseRun();
    void EnablePackageCommands(bool on);
    void ShowEditPackageControls();
    void ShowMessage(unsigned textId, unsigned captionId, UINT icon);
    void ShowLogMenu(LPARAM position);
    void ShowAbout();
    void Layout(int width, int height);
    void PaintMinimised();
    // Handles messages until the run has finished, for a window that is going away.
    void WaitForRunEnd();
    void OnDropFiles(WPARAM drop);
    // Puts the package in front of the recent list (as the store holds it now) and shows it.
    void RememberPackage(const std::wstring& path);
    void UpdateRecentMenu();

    Application& application_;
    PackageDocument document_;
    std::wstring packagePath_;
    ImageListHandle projectImages_;

    // The run, from a successful Start until WM_RUN_FINISHED (or its worker's end, should that
    // message be lost); its outcome is read from it then.
    std::unique_ptr<BuildController> runController_;
    std::unique_ptr<BuildController> lastRun_;  // ended; holds the job and outcome of its run
    RunSetUp setUp_ = SetUpRun;
    bool running_ = false;
    bool runAutoIncrement_ = false;
    bool exitPending_ = false;
    RunProgress progress_;
    std::wstring idleCaption_;  // the caption before the run, given back at its end
    TaskbarProgress taskbar_;

    int packageListId_ = 0;
    EmptyAwareListView packageList_;
    EmptyAwareListView targetList_;
    bool editMenuEnabled_ = false;
    bool editButtonShown_ = false;

    int build_ = 0, debug_ = 0, release_ = 0, rebuildAll_ = 0, clean_ = 0;
    int version_ = 0, setVersion_ = 0, autoIncrement_ = 0;
    std::wstring major_, minor_, buildNumber_, revision_;
    std::wstring hintText_;
    std::wstring parallelBuilds_ = L"1";
    HICON windowIcon_ = nullptr;

    EventLogView eventLog_;
    LogReceiver receiver_;
    int lastAppended_ = -1;
    HWND appendedTo_ = nullptr;
    bool showingHeld_ = false;
    bool showHeldPosted_ = false;
    // WM_RUN_FINISHED came while log text was still held: the run ends once that is shown.
    bool runFinishedHeld_ = false;
    // Lines the event log has room for.
    int logRoom_ = 0;
    // The list box whose drawing is off since lines were added to it, and when it was last drawn.
    HWND logUndrawn_ = nullptr;
    DWORD logDrawnAt_ = 0;
    bool logTimerSet_ = false;

    // Widths of lines in a list box's font, for its horizontal extent: a table of the first 256
    // characters is read once per batch rather than the system asked about every line.
    class LineWidths {
    public:
        ~LineWidths() { Reset(nullptr); }
        void Reset(HWND window);
        int Of(const std::wstring& line);

    private:
        HWND window_ = nullptr;
        HDC dc_ = nullptr;
        HGDIOBJ oldFont_ = nullptr;
        bool tableRead_ = false;
        INT table_[256] = {};
    };
    // The list box lines are being added to: drawn, scrolled and measured once per batch.
    struct LogBatch {
        HWND listBox = nullptr;
        bool isEventLog = false;
        int count = 0;
        int widest = 0;
        int scrollTo = -1;
        LineWidths widths;
    } logBatch_;

    // Sizes at the template size, in pixels: the window can't be made smaller; the event log and
    // Exit follow the bottom-right corner.
    SIZE minimumSize_ = {};
    SIZE templateClient_ = {};
    RECT logRect_ = {};
    RECT exitRect_ = {};

    SettingsStore settings_;
    RecentPackages recent_;
};

}  // namespace kw
