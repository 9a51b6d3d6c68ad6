// The main window: the open package and its projects, the Targets list, the actions panel with
// Start and Stop, the event log, and the package commands. It owns the PackageDocument that the
// editor uses by reference, and the BuildController of a run, which owns everything the run uses.
#pragma once

#include "app/RecentPackages.h"
#include "app/SettingsStore.h"
#include "app/EventLogView.h"
#include "controls/EmptyAwareListView.h"
#include "engine/BuildController.h"
#include "engine/LogReceiver.h"
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

    // ---- target selection ----
    void AddSelectedTargets();
    void AddAllTargets();
    void RemoveSelectedTargets();
    void ClearTargets();
    void UpdatePackageButtons();
    void UpdateTargetButtons();
    // Orders the Targets list: -1 when first <= second, else 1; never equal.
    static int CALLBACK CompareProjectIds(LPARAM first, LPARAM second, LPARAM sortValue);

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
    bool LoadPackage();
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
    EventLogView& EventLog() { return eventLog_; }

protected:
    bool OnInitDialog() override;
    void ExchangeControls(Exchange direction) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool OnListNotify(int id, NMHDR* header);
    bool CopyRow(int index, HWND source, HWND target);
    // Copies these package rows into the Targets list (each project once, sorted by ProjectID).
    void CopyToTargets(const std::vector<int>& packageRows);
    static bool ContainsProject(HWND list, int projectId);
    void OnLogText(WPARAM wParam);
    void AppendLine(HWND listBox, const std::wstring& line);
    void OnRunFinished();
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
    RunSetUp setUp_ = SetUpRun;
    bool running_ = false;
    bool runAutoIncrement_ = false;
    bool exitPending_ = false;

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
