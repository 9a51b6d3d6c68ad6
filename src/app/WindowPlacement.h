// The main window's size, position and maximised state, kept per user between starts.
#pragma once

#include "app/SettingsStore.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace kw {

struct SavedPlacement {
    RECT normal = {};  // the restored window's frame, in screen coordinates
    bool maximised = false;
};

std::optional<SavedPlacement> ReadPlacement(const SettingsStore& store);
bool WritePlacement(const SettingsStore& store, const SavedPlacement& placement);

// Where a window saved at `saved` goes on the screens there are now: at least `minimum` in size,
// and wholly on the work area it shares most with (the nearest one when it is on none), made
// smaller only when it is larger than that work area, but never below the minimum.
RECT FitToWorkAreas(const RECT& saved, SIZE minimum, const std::vector<RECT>& workAreas);

// The work areas of the monitors attached now, the primary one first.
std::vector<RECT> CurrentWorkAreas();

// Puts a window that is not shown yet where the store says, fitted to the screens; a maximised one
// is shown maximised. False (and the window left where it is) when nothing usable is stored.
bool RestoreWindowPlacement(HWND window, const SettingsStore& store, SIZE minimum);
bool SaveWindowPlacement(HWND window, const SettingsStore& store);

}  // namespace kw
