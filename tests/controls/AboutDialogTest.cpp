// The About box: the link to the user guide beside the program, and the ways the box ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "common/TestSupport.h"
#include "controls/AboutDialog.h"
#include "controls/ControlsTestSupport.h"
#include "resource.h"
#include "win/UserPrompt.h"

namespace {

TEST(AboutDialogTest, LinksToTheGuideBesideTheProgramAndStaysWhenItCannotBeOpened) {
    kw::AboutDialog about;
    ASSERT_NE(about.Create(nullptr), nullptr) << "the tests need an X display";
    kwtest::FakeLinkShell shell;
    kw::ScriptedPrompt prompt;
    kw::ScopedPrompt scope(prompt);
    about.Link().SetShell(shell);
    // The build puts the guide next to every program, this test program included.
    std::wstring guide = kwtest::ProgramFolder() + L"\\" + kw::kUserGuideFileName;
    EXPECT_EQ(about.Link().Target(), kw::FileUrlFromPath(guide));
    EXPECT_TRUE(kwtest::FileExists(guide)) << kwtest::Narrow(guide);
    EXPECT_TRUE(about.Link().Underlined());

    shell.shellResult = SE_ERR_PNF;
    SendMessageW(about.Handle(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_LINK, STN_CLICKED),
                 reinterpret_cast<LPARAM>(about.Item(IDC_ABOUT_LINK)));
    EXPECT_EQ(shell.opened.at(0).first, kw::AboutDialog::UserGuideAddress());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].owner, about.Handle());
    EXPECT_FALSE(about.Ended());
}

TEST(AboutDialogTest, OkEnterEscapeAndTheCloseBoxEndTheBox) {
    struct Case {
        const char* what;
        void (*press)(kw::AboutDialog& about);
        INT_PTR result;
    } cases[] = {
        {"OK button", [](kw::AboutDialog& a) { SendMessageW(a.Item(IDOK), BM_CLICK, 0, 0); }, IDOK},
        {"Enter", [](kw::AboutDialog& a) { PostMessageW(a.Item(IDOK), WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
        {"Escape", [](kw::AboutDialog& a) { PostMessageW(a.Item(IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
        {"close box", [](kw::AboutDialog& a) { SendMessageW(a.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        kw::AboutDialog about;
        HWND window = about.Create(nullptr);
        ASSERT_NE(window, nullptr) << "the tests need an X display";
        c.press(about);
        kwtest::Pump(window);
        EXPECT_EQ(about.Ended() ? about.Result() : -1, c.result) << c.what;
        EXPECT_FALSE(IsWindow(window)) << c.what;
    }
}

TEST(FileUrlFromPathTest, DrivePathsUncPathsAndSpecialCharacters) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Kilnworks\\kilnworks-guide.html", L"file:///C:/Kilnworks/kilnworks-guide.html"},
        {L"C:\\Program Files\\Kiln #2\\guide.html", L"file:///C:/Program%20Files/Kiln%20%232/guide.html"},
        {L"\\\\server\\share\\guide.html", L"file://server/share/guide.html"},
        {L"C:\\Caf\u00e9\\100%.html", L"file:///C:/Caf%C3%A9/100%25.html"},
    };
    for (const auto& [path, url] : cases) EXPECT_EQ(kw::FileUrlFromPath(path), url);
}

}  // namespace
