// The About box: its texts, the link to the user guide beside the program, and the ways it ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "common/TestSupport.h"
#include "controls/AboutDialog.h"
#include "controls/ControlsTestSupport.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/UserPrompt.h"

namespace {

using kw::WindowText;

class AboutDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(about_.Create(nullptr), nullptr) << "the tests need an X display";
        about_.Link().SetShell(shell_);
    }
    void ClickLink() {
        SendMessageW(about_.Handle(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_LINK, STN_CLICKED),
                     reinterpret_cast<LPARAM>(about_.Item(IDC_ABOUT_LINK)));
    }

    kw::AboutDialog about_;
    kwtest::FakeLinkShell shell_;
    kw::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
};

TEST_F(AboutDialogTest, ShowsNameVersionNoticeAndALinkToTheGuideBesideTheProgram) {
    std::wstring texts;
    for (HWND child = GetWindow(about_.Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        texts += WindowText(child) + L"|";
    EXPECT_EQ(WindowText(about_.Handle()), L"About Kilnworks");
    EXPECT_NE(texts.find(L"|Kilnworks Version 1.2|Copyright"), std::wstring::npos) << kwtest::Narrow(texts);
    EXPECT_NE(texts.find(L"|Open the Kilnworks User Guide|OK|"), std::wstring::npos) << kwtest::Narrow(texts);

    const kw::HyperlinkLabel& link = about_.Link();
    EXPECT_EQ(link.Target(), kw::AboutDialog::UserGuideAddress());
    EXPECT_TRUE(link.Underlined());
    // The build puts the guide next to every program, this test program included.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring guide = self;
    guide.erase(guide.find_last_of(L'\\') + 1);
    EXPECT_EQ(link.Target(), kw::FileUrlFromPath(guide + L"kilnworks-guide.html"));
    EXPECT_TRUE(kwtest::FileExists(guide + kw::kUserGuideFileName)) << kwtest::Narrow(guide);
}

TEST_F(AboutDialogTest, ClickingTheLinkOpensTheGuideAFailureIsReportedAndTheBoxStays) {
    ClickLink();
    ASSERT_EQ(shell_.opened.size(), 1u);
    EXPECT_EQ(shell_.opened[0].first, kw::AboutDialog::UserGuideAddress());
    EXPECT_TRUE(about_.Link().Visited());
    shell_.shellResult = SE_ERR_PNF;
    ClickLink();
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"Unable to open hyperlink:\n\nThe specified path was not found.");
    EXPECT_EQ(prompt_.messages[0].owner, about_.Handle());
    EXPECT_EQ(prompt_.beeps.size(), 1u);
    EXPECT_FALSE(about_.Ended());
}

TEST(AboutDialogEndTest, OkEnterEscapeAndTheCloseBoxEndTheBox) {
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
