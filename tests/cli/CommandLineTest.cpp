// What kilnworks-cli says about how it was called and about packages it can't open, and the one
// escaping every printed name goes through.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "win/Text.h"

namespace {

kwtest::Captured Cli(const std::wstring& arguments) {
    return kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" " + arguments);
}

TEST(EscapeForDisplay, KeepsTextReadableAndEveryLineWhole) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", L""},
        {L"C:\\Src\\Calc Suite\\Calc.dsp", L"C:\\Src\\Calc Suite\\Calc.dsp"},  // paths as written
        {L"Caf\u00E9 \u20AC \U0001F600 \u00A0", L"Caf\u00E9 \u20AC \U0001F600 \u00A0"},
        {L"a\r\nSummary: 0", L"a\\r\\nSummary: 0"},
        {L"\tx\x01\x1B[2J\x7F", L"\\tx\\u0001\\u001B[2J\\u007F"},
        {L"\x85\x9F\xA0", L"\\u0085\\u009F\xA0"},  // C1 controls, NEL included
        {L"a\u2028b\u2029c", L"a\\u2028b\\u2029c"},
        {L"\u202Eexe.txt\u202A\u202C\u200E\u200F\u061C", L"\\u202Eexe.txt\\u202A\\u202C\\u200E\\u200F\\u061C"},
        {L"\u2066\u2067\u2068\u2069\u2065\u206A", L"\\u2066\\u2067\\u2068\\u2069\u2065\u206A"},
        {std::wstring(L"\xD800x\xDC00", 3), L"\\uD800x\\uDC00"},  // unpaired surrogates
        {std::wstring(L"a\0b", 3), L"a\\u0000b"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(kw::EscapeForDisplay(text), shown) << kwtest::Narrow(shown);
        // The window escapes lines the engine already escaped: twice must be once.
        EXPECT_EQ(kw::EscapeForDisplay(shown), shown) << kwtest::Narrow(shown);
    }
}

TEST(CommandLine, HelpGoesToStandardOutputAndSucceeds) {
    for (const wchar_t* help : {L"--help", L"-h", L"/?", L"run --help", L"show /?", L"run p.kwp --jobs 4 -h"}) {
        kwtest::Captured r = Cli(help);
        EXPECT_EQ(r.exitCode, 0) << kwtest::Narrow(help);
        EXPECT_NE(r.out.find("usage: kilnworks-cli show PACKAGE\r\n"), std::string::npos) << kwtest::Narrow(help);
        EXPECT_NE(r.out.find("  --timeout SECONDS "), std::string::npos) << "options are listed";
        EXPECT_NE(r.out.find("5 the run was stopped"), std::string::npos) << "exit codes are listed";
        EXPECT_EQ(r.err, "");
    }
    kwtest::Captured bare = Cli(L"");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_NE(bare.err.find("usage:"), std::string::npos);
}

// One line on standard error naming the word, or the file and why it can't be opened.
TEST(CommandLine, NamesTheWrongWordOrThePackageAndWhy) {
    kwtest::ScratchDir dir(L"cli words");
    auto file = [&dir](const std::wstring& name, const std::string& bytes) {
        kwtest::WriteBytes(dir.File(name), bytes);
        return L"\"" + dir.File(name) + L"\"";
    };
    const std::wstring good = file(L"good.kwp", "<Package><Name>P</Name><CurrentVersion>1</CurrentVersion>"
                                                "<Projects/></Package>");
    const std::wstring locked = file(L"locked.kwp", "<Package><Projects/></Package>");
    const std::string lockedPath = kwtest::Narrow(dir.File(L"locked.kwp"));
    HANDLE lock = CreateFileW(dir.File(L"locked.kwp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::string see = "; see 'kilnworks-cli --help'.\r\n";
    struct Case {
        std::wstring arguments;  // for both commands when it starts with a package
        int exitCode;
        std::string line;        // in the line; whole when it ends in "\r\n"
    } cases[] = {
        {L"run " + good + L" --jobs 65", 2, "kilnworks-cli: invalid value '65' for '--jobs' (expected N)" + see},
        {L"run " + good + L" --debug --set-version 1.2.3", 2,
         "kilnworks-cli: invalid value '1.2.3' for '--set-version' (expected A.B.C.D)" + see},
        {L"run " + good + L" --targets 3,x", 2, "kilnworks-cli: invalid value '3,x' for '--targets'"},
        {L"run " + good + L" --timeout 0", 2, "kilnworks-cli: invalid value '0' for '--timeout' (expected SECONDS)"},
        {L"run " + good + L" --targets", 2, "kilnworks-cli: option '--targets' needs a value (all|ID[,ID...])" + see},
        {L"run " + good + L" --set-version 1.2.3.4 --auto-increment", 2,
         "kilnworks-cli: '--set-version' and '--auto-increment' can't be used together" + see},
        {L"run --debug", 2, "kilnworks-cli: 'run' needs a PACKAGE" + see},
        {L"run " + good + L" other.kwp", 2, "kilnworks-cli: unexpected argument 'other.kwp'" + see},
        {L"show " + good + L" --debug", 2, "kilnworks-cli: unknown option '--debug'" + see},
        {L"show", 2, "kilnworks-cli: 'show' needs a PACKAGE" + see},
        {L"frobnicate x", 2, "kilnworks-cli: unknown command 'frobnicate'" + see},
        {L"--jobs 4", 2, "kilnworks-cli: unknown option '--jobs'" + see},
        {L"run \"" + dir.File(L"new\u202Eline") + L"\" --debug --frob\u2028x", 2,
         "kilnworks-cli: unknown option '--frob\\u2028x'" + see},
        {L"\"" + dir.File(L"missing.kwp") + L"\"", 1,
         "kilnworks-cli: can't open the package '" + kwtest::Narrow(dir.File(L"missing.kwp")) +
             "': it does not exist.\r\n"},
        {L"\"" + dir.File(L"no folder\\p.kwp") + L"\"", 1, "kilnworks-cli: can't open the package '"},
        {L"\"" + dir.Path() + L"\"", 1, "': it is a folder, not a file.\r\n"},
        {L"\"" + dir.File(L"locked.kwp") + L"\"", 1,
         "kilnworks-cli: can't open the package '" + lockedPath + "': it can't be read: "},
        {file(L"empty's.kwp", ""), 1, "empty's.kwp': it is empty.\r\n"},
        {file(L"broken.kwp", "<Package>\r\n  <Name>P</Nam>\r\n</Package>"), 1,
         "broken.kwp': it is not well-formed XML at line 2 column 12.\r\n"},
        {file(L"other.kwp", "<Other><Name>P</Name></Other>"), 1,
         "other.kwp': it is not a package: its document element has no Projects.\r\n"},
        {file(L"doctype.kwp", "<!DOCTYPE Package [<!ENTITY e 'x'>]><Package><Projects/></Package>"), 1,
         "doctype.kwp': it is not a package: it holds a document type declaration.\r\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> commands;
        if (c.exitCode == 1) {
            commands = {L"show " + c.arguments, L"run " + c.arguments + L" --debug"};
        } else {
            commands = {c.arguments};
        }
        for (const std::wstring& command : commands) {
            kwtest::Captured r = Cli(command);
            SCOPED_TRACE(kwtest::Narrow(command) + "\n" + r.err);
            EXPECT_EQ(r.exitCode, c.exitCode);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find(c.line), std::string::npos);
            EXPECT_EQ(r.err.find("\r\n"), r.err.size() - 2) << "one line";
        }
    }
    CloseHandle(lock);
}

}  // namespace
