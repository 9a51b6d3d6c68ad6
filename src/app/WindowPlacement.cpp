#include "app/WindowPlacement.h"

#include <algorithm>
#include <climits>

namespace kw {

namespace {

constexpr wchar_t kSection[] = L"Window";
constexpr const wchar_t* kSides[] = {L"Left", L"Top", L"Right", L"Bottom"};
constexpr wchar_t kMaximised[] = L"Maximized";
// Coordinates beyond this are taken as damaged: no screen arrangement reaches them.
constexpr long kFarthest = 1000000;

long long Overlap(const RECT& a, const RECT& b) {
    long long width = std::min(a.right, b.right) - static_cast<long long>(std::max(a.left, b.left));
    long long height = std::min(a.bottom, b.bottom) - static_cast<long long>(std::max(a.top, b.top));
    return width > 0 && height > 0 ? width * height : 0;
}

// Squared distance between the centres (twice the coordinates, to stay in whole numbers).
long long CentreDistance(const RECT& a, const RECT& b) {
    long long dx = (static_cast<long long>(a.left) + a.right) - (static_cast<long long>(b.left) + b.right);
    long long dy = (static_cast<long long>(a.top) + a.bottom) - (static_cast<long long>(b.top) + b.bottom);
    return dx * dx + dy * dy;
}

// Places a span of `size` at `start` within [low, high): pushed inside when it fits, else at low.
void Clamp(long& start, long size, long low, long high) {
    if (size >= high - low || start < low) {
        start = low;
    } else if (start + size > high) {
        start = high - size;
    }
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info = {sizeof(info)};
    if (GetMonitorInfoW(monitor, &info)) {
        auto* list = reinterpret_cast<std::vector<RECT>*>(areas);
        if (info.dwFlags & MONITORINFOF_PRIMARY) {
            list->insert(list->begin(), info.rcWork);
        } else {
            list->push_back(info.rcWork);
        }
    }
    return TRUE;
}

// WINDOWPLACEMENT speaks in workspace coordinates, which start at the primary work area's corner
// (the taskbar may sit at the top or left).
POINT WorkspaceOrigin() {
    MONITORINFO info = {sizeof(info)};
    if (!GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info)) return {0, 0};
    return {info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
}

}  // namespace

std::optional<SavedPlacement> ReadPlacement(const SettingsStore& store) {
    long sides[4] = {};
    for (int i = 0; i < 4; ++i) {
        std::optional<DWORD> value = store.ReadNumber(kSection, kSides[i]);
        if (!value) return std::nullopt;
        sides[i] = static_cast<long>(static_cast<LONG>(*value));
        if (sides[i] < -kFarthest || sides[i] > kFarthest) return std::nullopt;
    }
    SavedPlacement placement;
    placement.normal = {sides[0], sides[1], sides[2], sides[3]};
    if (placement.normal.right <= placement.normal.left || placement.normal.bottom <= placement.normal.top) {
        return std::nullopt;
    }
    placement.maximised = store.ReadNumber(kSection, kMaximised).value_or(0) != 0;
    return placement;
}

bool WritePlacement(const SettingsStore& store, const SavedPlacement& placement) {
    const LONG sides[] = {placement.normal.left, placement.normal.top, placement.normal.right, placement.normal.bottom};
    bool written = true;
    for (int i = 0; i < 4; ++i) written = store.WriteNumber(kSection, kSides[i], static_cast<DWORD>(sides[i])) && written;
    return store.WriteNumber(kSection, kMaximised, placement.maximised ? 1 : 0) && written;
}

RECT FitToWorkAreas(const RECT& saved, SIZE minimum, const std::vector<RECT>& workAreas) {
    long width = std::max<long>(saved.right - saved.left, minimum.cx);
    long height = std::max<long>(saved.bottom - saved.top, minimum.cy);
    RECT wanted = {saved.left, saved.top, saved.left + width, saved.top + height};
    if (workAreas.empty()) return wanted;

    const RECT* best = &workAreas.front();
    long long bestOverlap = -1, bestDistance = LLONG_MAX;
    for (const RECT& area : workAreas) {
        long long overlap = Overlap(wanted, area), distance = CentreDistance(wanted, area);
        if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
            best = &area;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    width = std::max<long>(std::min<long>(width, best->right - best->left), minimum.cx);
    height = std::max<long>(std::min<long>(height, best->bottom - best->top), minimum.cy);
    long left = wanted.left, top = wanted.top;
    Clamp(left, width, best->left, best->right);
    Clamp(top, height, best->top, best->bottom);
    return {left, top, left + width, top + height};
}

std::vector<RECT> CurrentWorkAreas() {
    std::vector<RECT> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

bool RestoreWindowPlacement(HWND window, const SettingsStore& store, SIZE minimum) {
    std::optional<SavedPlacement> saved = ReadPlacement(store);
    if (!saved) return false;
    RECT frame = FitToWorkAreas(saved->normal, minimum, CurrentWorkAreas());
    POINT origin = WorkspaceOrigin();
    WINDOWPLACEMENT placement = {sizeof(placement)};
    if (!GetWindowPlacement(window, &placement)) return false;
    placement.rcNormalPosition = frame;
    OffsetRect(&placement.rcNormalPosition, -origin.x, -origin.y);
    placement.flags = 0;
    placement.showCmd = saved->maximised ? SW_SHOWMAXIMIZED : IsWindowVisible(window) ? SW_SHOWNORMAL : SW_HIDE;
    return SetWindowPlacement(window, &placement) != FALSE;
}

bool SaveWindowPlacement(HWND window, const SettingsStore& store) {
    WINDOWPLACEMENT placement = {sizeof(placement)};
    if (!GetWindowPlacement(window, &placement)) return false;
    SavedPlacement saved;
    saved.normal = placement.rcNormalPosition;
    POINT origin = WorkspaceOrigin();
    OffsetRect(&saved.normal, origin.x, origin.y);
    // Closed while minimised: it comes back as it was before.
    saved.maximised = placement.showCmd == SW_SHOWMAXIMIZED ||
                      (placement.showCmd == SW_SHOWMINIMIZED && (placement.flags & WPF_RESTORETOMAXIMIZED));
    return WritePlacement(store, saved);
}

}  // namespace kw
