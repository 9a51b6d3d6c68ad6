// What kilnworks-cli says about how it was called, about packages it can't open and, by show,
// about those it can; and the one escaping every printed name goes through.
#include <gtest/gtest.h>

#include "cli/RunOptions.h"
#include "common/TestSupport.h"
#include "win/Text.h"

namespace {

kwtest::Captured Cli(const std::wstring& arguments) {
    return kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" " + arguments);
}

TEST(EscapeForDisplay, KeepsTextReadableAndEveryLineWhole) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Caf\u00E9 \u20AC\\\U0001F600\u00A0.dsp", L"C:\\Caf\u00E9 \u20AC\\\U0001F600\u00A0.dsp"},  // as written
        {L"a\r\nSummary: 0", L"a\\r\\nSummary: 0"},
        {L"\tx\x01\x1B[2J\x7F", L"\\tx\\u0001\\u001B[2J\\u007F"},
        {L"a\u2028b\u2029c\x85\x9F\xA0", L"a\\u2028b\\u2029c\\u0085\\u009F\xA0"},  // C1 controls, NEL included
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

// The run command's option table: what each option takes, and the one line naming the first
// mistake, its word shown safely.
TEST(RunOptions, ReadsEveryOptionAndNamesTheFirstMistake) {
    using kw::cli::ParseResult;
    kw::cli::RunOptions options;
    std::wstring problem;
    ASSERT_EQ(kw::cli::ParseRunOptions({L"p.kwp", L"--targets", L"3,-1", L"--rebuild-all", L"--set-version",
                                        L"1.2.3.65535", L"--timeout", L"86400", L"--jobs", L"64", L"--with-dependencies"},
                                       options, problem),
              ParseResult::Parsed);
    EXPECT_TRUE(options.targets == std::vector<int>({3, -1}) && options.rebuildAll && options.setVersion);
    EXPECT_TRUE(options.version.revision == 65535u && options.timeoutSeconds == 86400u && options.jobs == 64u &&
                options.withDependencies);
    ASSERT_EQ(kw::cli::ParseRunOptions({L"--auto-increment", L"--", L"-p.kwp"}, options, problem), ParseResult::Parsed);
    EXPECT_TRUE(options.allTargets && options.autoIncrement && options.package == L"-p.kwp");
    EXPECT_TRUE(options.jobs == 1u && !options.withDependencies);
    EXPECT_EQ(kw::cli::ParseRunOptions({L"p", L"--jobs", L"65", L"-h"}, options, problem), ParseResult::HelpAsked);

    std::vector<std::pair<std::vector<std::wstring>, std::wstring>> refused = {
        {{}, L"'run' needs a PACKAGE"},
        {{L"--debug"}, L"'run' needs a PACKAGE"},
        {{L"p", L"other.kwp"}, L"unexpected argument 'other.kwp'"},
        {{L"p", L"--frob\u2028x", L"--jobs", L"0"}, L"unknown option '--frob\\u2028x'"},
        {{L"p", L"--targets"}, L"option '--targets' needs a value (all|ID[,ID...])"},
        {{L"p", L"--report"}, L"option '--report' needs a value (FILE.html)"},
        {{L"p", L"--set-version", L"1.2.3.4", L"--auto-increment"},
         L"'--set-version' and '--auto-increment' can't be used together"},
    };
    const struct { std::wstring option, expected; std::vector<std::wstring> values; } invalid[] = {
        {L"--targets", L"all|ID[,ID...]", {L"3,x", L"1,,2", L"0", L"2147483648"}},
        {L"--set-version", L"A.B.C.D", {L"1.2.3", L"1.2.3.65536", L"1.2.3.-1", L"1.2. 3.4"}},
        {L"--timeout", L"SECONDS", {L"0", L"1s", L"86401"}},
        {L"--jobs", L"N", {L"0", L"65", L"2x"}},
        {L"--junit", L"FILE", {L""}},
    };
    for (const auto& [option, expected, values] : invalid) {
        for (const std::wstring& value : values) {
            refused.push_back({{L"p", option, value},
                               L"invalid value '" + value + L"' for '" + option + L"' (expected " + expected + L")"});
        }
    }
    for (const auto& [args, what] : refused) {
        EXPECT_EQ(kw::cli::ParseRunOptions(args, options, problem), ParseResult::Refused) << kwtest::Narrow(what);
        EXPECT_EQ(problem, L"kilnworks-cli: " + what + L"; see 'kilnworks-cli --help'.");
    }
}

// Asked for, the usage goes to standard output; called with nothing, to standard error as a mistake.
TEST(CommandLine, HelpGoesToStandardOutputAndSucceeds) {
    for (const wchar_t* help : {L"", L"--help", L"-h", L"/?", L"run --help", L"show /?", L"run p.kwp --jobs 65 -h"}) {
        kwtest::Captured r = Cli(help);
        SCOPED_TRACE(kwtest::Narrow(help));
        const bool asked = *help != L'\0';
        EXPECT_EQ(r.exitCode, asked ? 0 : 2);
        EXPECT_NE((asked ? r.out : r.err).find("usage: kilnworks-cli show PACKAGE\r\n"), std::string::npos);
        EXPECT_EQ(asked ? r.err : r.out, "");
    }
}

// One line on standard error naming the word, or the file and why it can't be opened.
TEST(CommandLine, NamesTheWrongWordOrThePackageAndWhy) {
    kwtest::ScratchDir dir(L"cli words");
    auto file = [&dir](const std::wstring& name, const std::string& bytes) {
        kwtest::WriteBytes(dir.File(name), bytes);
        return L"\"" + dir.File(name) + L"\"";
    };
    file(L"locked.kwp", "<Package><Projects/></Package>");
    HANDLE lock = CreateFileW(dir.File(L"locked.kwp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::string see = "; see 'kilnworks-cli --help'.\r\n";
    // Mistakes are named before the package is looked at. Arguments starting with a package are
    // given to both commands. The line is found in standard error, whole when it ends in "\r\n".
    const struct { std::wstring arguments; int exitCode; std::string line; } cases[] = {
        {L"run missing.kwp --debug --set-version 1.2.3", 2,
         "kilnworks-cli: invalid value '1.2.3' for '--set-version' (expected A.B.C.D)" + see},
        {L"show missing.kwp --debug", 2, "kilnworks-cli: unknown option '--debug'" + see},
        {L"show", 2, "kilnworks-cli: 'show' needs a PACKAGE" + see},
        {L"frobnicate x", 2, "kilnworks-cli: unknown command 'frobnicate'" + see},
        {L"--jobs 4", 2, "kilnworks-cli: unknown option '--jobs'" + see},
        {L"\"" + dir.File(L"missing.kwp") + L"\"", 1, "missing.kwp': it does not exist.\r\n"},
        {L"\"" + dir.File(L"no folder\\p.kwp") + L"\"", 1, "p.kwp': it does not exist.\r\n"},
        {L"\"" + dir.Path() + L"\"", 1, "': it is a folder, not a file.\r\n"},
        {L"\"" + dir.File(L"locked.kwp") + L"\"", 1,
         "kilnworks-cli: can't open the package '" + kwtest::Narrow(dir.File(L"locked.kwp")) + "': it can't be read: "},
        {file(L"empty's.kwp", ""), 1, "empty's.kwp': it is empty.\r\n"},
        {file(L"broken.kwp", "<Package>\r\n  <Name>P</Nam>\r\n</Package>"), 1,
         "broken.kwp': it is not well-formed XML at line 2 column 12"},
        {file(L"other.kwp", "<Other><Name>P</Name></Other>"), 1,
         "other.kwp': it is not a package: its document element has no Projects.\r\n"},
        {file(L"doctype.kwp", "<!DOCTYPE Package [<!ENTITY e 'x'>]><Package><Projects/></Package>"), 1,
         "doctype.kwp': it is not a package: it holds a document type declaration.\r\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> commands = {c.arguments};
        if (c.exitCode == 1) commands = {L"show " + c.arguments, L"run " + c.arguments + L" --debug"};
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

TEST(ShowCommand, PrintsPackageAndEveryProjectInUtf8OrSaysWhyNot) {
    kwtest::ScratchDir dir(L"show");
    const std::wstring package = dir.File(L"my package.kwp");
    const struct { std::string xml; int exitCode; std::string out, err; } cases[] = {
        // Control characters in a value can't start lines of their own. Dependencies as numbers,
        // only under a project that has any; a text that doesn't read, quoted.
        {"<Package><Name>Suite \xE2\x82\xAC&#13;&#10;Version: 9&#9;\xC2\x85</Name><CurrentVersion>1.2</CurrentVersion>"
         "<Projects><Project><ProjectID>3</ProjectID><Name>\xC3\x9C" "ber</Name>"
         "<SourceLocation>C:\\S p</SourceLocation>"
         "<Compiler>VB6</Compiler><DebugConfig>D</DebugConfig><ReleaseConfig>R</ReleaseConfig>"
         "<ResourceFile>C:\\S p\\x.vbp</ResourceFile><Registrable>yes</Registrable>"
         "<Dependencies> 4 ,1, 2</Dependencies></Project>"
         "<Project><ProjectID>4</ProjectID><Name>Half</Name><Compiler>cpp</Compiler><Dependencies>1,,x</Dependencies></Project>"
         "<Project><ProjectID>5</ProjectID><Name>B</Name><Compiler>VC6</Compiler><Dependencies> </Dependencies></Project>"
         // Reordering and line-separating characters are shown, not obeyed; the ProjectID as written.
         "<Project><ProjectID>99999999999</ProjectID><Name>a\xE2\x80\xAE" "b\xE2\x80\xA8" "c</Name>"
         "<Compiler>VC6</Compiler></Project></Projects></Package>",
         0,
         "Package: Suite \xE2\x82\xAC\\r\\nVersion: 9\\t\\u0085\r\nVersion: 1.2.0.0\r\n3 VB6 \xC3\x9C" "ber\r\n"
         "    SourceLocation: C:\\S p\r\n    DebugConfig: D\r\n    ReleaseConfig: R\r\n"
         "    ResourceFile: C:\\S p\\x.vbp\r\n    Registrable: Y\r\n    Dependencies: 1, 2, 4\r\n"
         "4 ? Half\r\n    (settings unreadable: -1)\r\n    Dependencies: '1,,x' (not a list of project numbers)\r\n"
         "5 VC6 B\r\n    (settings unreadable: -1)\r\n99999999999 VC6 a\\u202Eb\\u2028c\r\n    (settings unreadable: -1)\r\n",
         ""},
        {"<Package><Name>Empty</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects/></Package>", 0,
         "Package: Empty\r\nVersion: 1.0.0.0\r\nHint: This package doesn't contain any project.\r\n", ""},
        {"<Package><Name>x</Name><Projects/></Package>", 1, "", "Error while calling GetPackageInfo.\r\n"},
    };
    for (const auto& c : cases) {
        kwtest::WriteBytes(package, c.xml);
        kwtest::Captured r = Cli(L"show \"" + package + L"\"");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.xml;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

}  // namespace
