// What the program remembers per user (the settings store, the recent packages, the window
// placement) at the layer that owns each rule.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/RecentPackages.h"
#include "app/SettingsStore.h"
#include "app/WindowPlacement.h"
#include "common/TestSupport.h"
#include "win/Handles.h"
#include "win/Text.h"

#include <windows.h>

#include <vector>

using kw::RecentPackages;
using kw::SettingsStore;
using kwtest::ScratchKey;

namespace {

using Strings = std::vector<std::wstring>;

// Round trips are pinned where the window keeps its recent packages and placement in the store;
// here, what the store makes of values it did not write, and of a registry it cannot use.
TEST(SettingsStoreTest, TakesDamagedValuesAsMissingAndAnAbsentOrUnwritableRegistryJustForgets) {
    ScratchKey scratch(L"store");
    SettingsStore store = scratch.Store();
    EXPECT_FALSE(store.ReadText(L"", L"Name"));  // nothing there yet
    EXPECT_FALSE(store.ReadNumber(L"Window", L"Left"));
    ASSERT_TRUE(store.WriteNumber(L"Window", L"Left", 0xFFFFFF9C));
    EXPECT_EQ(store.ReadNumber(L"Window", L"Left").value_or(0), 0xFFFFFF9Cu);

    // Values someone else wrote: of another kind, without a terminator, absurdly long.
    kw::RegKeyHandle key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, scratch.Path().c_str(), 0, KEY_SET_VALUE, key.Out()), ERROR_SUCCESS);
    DWORD number = 5;
    RegSetValueExW(key.Get(), L"Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof(number));
    RegSetValueExW(key.Get(), L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"abc"), 3 * sizeof(wchar_t));
    RegSetValueExW(key.Get(), L"Odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"ab"), 3);
    std::wstring huge(SettingsStore::kMaxTextChars + 1, L'x');
    RegSetValueExW(key.Get(), L"Huge", 0, REG_SZ, reinterpret_cast<const BYTE*>(huge.c_str()),
                   static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)));
    EXPECT_FALSE(store.ReadText(L"", L"Number"));
    EXPECT_FALSE(store.ReadNumber(L"", L"Text"));
    EXPECT_EQ(store.ReadText(L"", L"Text").value_or(L"?"), L"abc");
    EXPECT_EQ(store.ReadText(L"", L"Odd").value_or(L"?"), L"a");
    EXPECT_FALSE(store.ReadText(L"", L"Huge"));
    EXPECT_FALSE(store.WriteText(L"", L"Huge", huge));

    // The window over such a store is in the window's tests.
    const SettingsStore stores[] = {SettingsStore(nullptr, L"Software\\Kilnworks"), scratch.UnwritableStore()};
    for (const SettingsStore& unusable : stores) {
        EXPECT_FALSE(unusable.WriteText(L"", L"Name", L"x"));
        EXPECT_FALSE(unusable.WriteNumber(L"Window", L"Left", 1));
        EXPECT_FALSE(unusable.WriteList(L"Recent", {L"a"}, 8));
        EXPECT_FALSE(unusable.ReadText(L"", L"Name"));
        EXPECT_FALSE(kw::ReadPlacement(unusable));
        EXPECT_FALSE(kw::WritePlacement(unusable, {{0, 0, 10, 10}, false}));
    }
}

TEST(RecentPackagesTest, MostRecentFirstAtMostEightAndEachFileOnceHoweverItIsSpelt) {
    kwtest::ScratchDir dir(L"recent");
    CreateDirectoryW(dir.File(L"sub").c_str(), nullptr);
    RecentPackages recent;
    Strings files;
    for (int i = 1; i <= 10; ++i) {
        files.push_back(dir.File(L"package number " + std::to_wstring(i) + L".kwp"));
        kwtest::WriteBytes(files.back(), "<Package/>");
        recent.Add(files.back());
    }
    EXPECT_EQ(recent.Paths(), Strings(files.rbegin(), files.rend() - 2));  // 1 and 2 fell off the end

    // The same file by other names: it moves to the front, and only its newest spelling stays.
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(files[4].c_str(), shortName, MAX_PATH), 0u);
    const std::wstring upper = dir.File(L"PACKAGE NUMBER 6.KWP"), slashes = dir.Path() + L"/package number 7.kwp";
    const std::wstring link = dir.File(L"sub\\link.kwp");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), files[7].c_str(), nullptr));
    const Strings spellings = {shortName, upper, slashes, dir.File(L"sub\\..\\package number 9.kwp"), link};
    for (const std::wstring& spelling : spellings) recent.Add(spelling);
    // Made whole and long: the short name, the slashes, "sub\..".
    EXPECT_EQ(recent.Paths(), (Strings{link, files[8], files[6], upper, files[4], files[9], files[3], files[2]}));

    // Repeats and blanks someone put in the store are dropped.
    ScratchKey scratch(L"recent");
    ASSERT_TRUE(scratch.Store().WriteList(L"Recent", {L"C:\\A.kwp", L"", L"c:\\a.KWP", L"C:\\B.kwp"}, 8));
    recent.Load(scratch.Store());
    EXPECT_EQ(recent.Paths(), (Strings{L"C:\\A.kwp", L"C:\\B.kwp"}));
}

TEST(RecentPackagesTest, MenuTextNumbersTheEntryAndShortensLongPathsInTheMiddle) {
    const std::wstring longFolder = L"C:\\Users\\Developer\\Documents\\Visual Studio Projects\\Accounting Suite";
    const struct { std::wstring path; size_t index; std::wstring text; } cases[] = {
        {L"C:\\Kilnworks\\Demo\\Demo.kwp", 0, L"&1 C:\\Kilnworks\\Demo\\Demo.kwp"},
        {L"C:\\R&D\\Tools.kwp", 7, L"&8 C:\\R&&D\\Tools.kwp"},
        {longFolder + L"\\Release 2026\\Accounting.kwp", 1,
         L"&2 C:\\Users\\...\\Accounting Suite\\Release 2026\\Accounting.kwp"},
        {L"\\\\buildserver\\packages\\" + std::wstring(40, L'f') + L"\\Nightly\\Tools.kwp", 2,
         L"&3 \\\\buildserver\\packages\\...\\Nightly\\Tools.kwp"},
        {L"C:\\" + std::wstring(30, L'a') + L"\\" + std::wstring(70, L'n') + L".kwp", 3,
         L"&4 ...\\" + std::wstring(70, L'n') + L".kwp"},
    };
    for (const auto& c : cases) EXPECT_EQ(kw::RecentMenuText(c.index, c.path), c.text) << kwtest::Narrow(c.path);
}

TEST(WindowPlacementTest, KeepsTheWindowWholeOnAScreenThereIsAndNeverBelowTheTemplateSize) {
    const RECT primary = {0, 0, 1280, 1000}, right = {1280, 0, 3200, 1080};
    const SIZE minimum = {500, 400};
    const struct { const char* what; RECT saved; std::vector<RECT> areas; RECT placed; } cases[] = {
        {"where it was", {100, 50, 800, 650}, {primary}, {100, 50, 800, 650}},
        {"on the second screen", {1500, 100, 2300, 700}, {primary, right}, {1500, 100, 2300, 700}},
        {"second screen gone", {1500, 100, 2300, 700}, {primary}, {480, 100, 1280, 700}},
        {"far off to the left and up", {-5000, -4000, -4400, -3500}, {primary, right}, {0, 0, 600, 500}},
        {"half over the bottom edge", {200, 800, 900, 1300}, {primary}, {200, 500, 900, 1000}},
        {"more on the second screen", {1000, 100, 1700, 600}, {primary, right}, {1280, 100, 1980, 600}},
        {"smaller than the template", {10, 10, 20, 20}, {primary}, {10, 10, 510, 410}},
        {"larger than the screen", {-10, -10, 3000, 2000}, {primary}, {0, 0, 1280, 1000}},
        {"screen smaller than the template", {50, 50, 600, 500}, {{0, 0, 400, 300}}, {0, 0, 500, 400}},
        {"no screens known", {5000, 5000, 5010, 5010}, {}, {5000, 5000, 5500, 5400}},
    };
    auto sides = [](const RECT& r) { return std::vector<LONG>{r.left, r.top, r.right, r.bottom}; };
    for (const auto& c : cases) EXPECT_EQ(sides(kw::FitToWorkAreas(c.saved, minimum, c.areas)), sides(c.placed)) << c.what;
}

TEST(WindowPlacementTest, ASavedPlacementThatCantBeRightIsIgnored) {
    ScratchKey scratch(L"placement");
    SettingsStore store = scratch.Store();
    const struct { const wchar_t* side; DWORD value; } damage[] = {
        {L"Left", 0}, {L"Right", static_cast<DWORD>(-30)}, {L"Bottom", 30}, {L"Left", 0x7FFFFFFF}, {L"Top", 0x80000000}};
    for (const auto& d : damage) {
        ASSERT_TRUE(kw::WritePlacement(store, {{-20, 30, 700, 600}, true}));
        ASSERT_TRUE(store.WriteNumber(L"Window", d.side, d.value));
        EXPECT_EQ(kw::ReadPlacement(store).has_value(), &d == &damage[0]) << kwtest::Narrow(d.side) << d.value;
    }
}

}  // namespace
