// Saving keeps every character and the layout: the declared encoding, comments and unknown
// markup, one element per line; an unchanged package saves to the same bytes every time.
#include <windows.h>

#include "common/WideBytes.h"
#include "package/Msxml.h"
#include "package/PackageTestSupport.h"
#include "package/PackageWriter.h"

#include <tuple>

using namespace kw;
using namespace kwtest;

namespace {

// The text as a file: 1252 / 28591 (alike for the text used here), UTF-8, or UTF-16 LE / BE (1200 / 1201).
std::string Encode(const std::wstring& text, UINT codePage, bool byteOrderMark = false) {
    if (codePage == 1200 || codePage == 1201) return WideBytes(L"\uFEFF" + text, 2, codePage == 1201);
    if (codePage == CP_UTF8) return (byteOrderMark ? "\xEF\xBB\xBF" : "") + Narrow(text);
    return std::string(text.begin(), text.end());
}

// A package in this program's layout ("\t" one indent, "\n" one line break), with a comment, an
// unknown element and an attribute of the user's, and text beyond ASCII where users have it.
std::wstring Laid(const std::wstring& encoding, const std::wstring& nl = L"\r\n", const std::wstring& in = L"  ",
                  const std::wstring& name = L"Caf\u00E9") {
    const std::wstring r = L"R\u00E9sum\u00E9";
    const std::wstring head = encoding.empty() ? L"" : L"<?xml version=\"1.0\" encoding=\"" + encoding + L"\"?>\n";
    const std::wstring layout =
        head + L"<!-- kept by hand -->\n<Package>\n\t<Name>" + name +
        L"</Name>\n\t<CurrentVersion>2.1.0.14</CurrentVersion>\n\t<Projects>\n\t\t<Project>\n"
        L"\t\t\t<ProjectID>1</ProjectID>\n\t\t\t<Name>" + r + L"</Name>\n\t\t\t<SourceLocation>C:\\Src\\" + r +
        L"</SourceLocation>\n\t\t\t<Compiler>VC6</Compiler>\n\t\t\t<DebugConfig>Win32 Debug</DebugConfig>\n"
        L"\t\t\t<ReleaseConfig>Win32 Release</ReleaseConfig>\n\t\t\t<ResourceFile>C:\\Src\\" + r + L"\\" + r +
        L".rc</ResourceFile>\n\t\t\t<Registrable>N</Registrable>\n\t\t\t<Dependencies> 2 , 4 </Dependencies>\n"
        L"\t\t\t<!-- owner: J\u00F6rg -->\n\t\t\t<Extra xmlns:k=\"urn:k\" k:kind=\"a &amp; b\">x &lt; y</Extra>\n"
        L"\t\t</Project>\n\t\t<Project>\n\t\t\t<ProjectID>2</ProjectID>\n\t\t\t<Name>Two</Name>\n"
        L"\t\t\t<Compiler>VB6</Compiler>\n\t\t\t<Dependencies/>\n\t\t</Project>\n\t</Projects>\n</Package>\n";
    std::wstring text;
    for (wchar_t c : layout) text += c == L'\n' ? nl : c == L'\t' ? in : std::wstring(1, c);
    return text;
}

// Everything the user sees of the package, as `show` prints it.
std::wstring Shown(PackageDocument& doc) { return Info(doc) + Listing(doc) + Settings(doc, 1) + Settings(doc, 2); }

class PackageSaveTest : public PackageTest {
protected:
    // Saves, reads back what was shown, and saves again; the bytes of the first save, or "<failed>".
    std::string SaveTwice(const std::wstring& path) {
        if (doc_.SavePackage() != 0) return "<failed>";
        std::string first = ReadBytes(path);
        PackageDocument reread;
        EXPECT_EQ(reread.OpenPackage(path), 0);
        EXPECT_EQ(Shown(reread), Shown(doc_));
        EXPECT_EQ(reread.SavePackage(), 0);
        EXPECT_EQ(ReadBytes(path), first) << "the second save differs";
        return first;
    }
};

// An unchanged package saves to the same bytes in its own encoding; an edit changes only its own
// lines, and characters beyond the encoding become references.
TEST_F(PackageSaveTest, SavesKeepTheEncodingAndEveryByteTheUserDidNotChange) {
    // Label, file, and what a save makes of it ("" the same bytes).
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"windows-1252", Encode(Laid(L"windows-1252"), 1252), ""},
        {"ISO-8859-1, LF, tabs", Encode(Laid(L"ISO-8859-1", L"\n", L"\t"), 28591), ""},
        {"UTF-8", Encode(Laid(L"UTF-8", L"\n", L"    "), CP_UTF8), ""},
        {"UTF-8 with mark, no declaration", Encode(Laid(L""), CP_UTF8, true), ""},
        {"UTF-16", Encode(Laid(L"UTF-16"), 1200), ""},
        {"UTF-16 big-endian, no declaration", Encode(Laid(L"", L"\n"), 1201), ""},
        {"flattened by old saves", Encode(Laid(L"windows-1252", L"", L""), 1252), Encode(Laid(L"windows-1252"), 1252)},
    };
    for (const auto& [label, original, saved] : cases) {
        SCOPED_TRACE(label);
        ASSERT_EQ(Open(original), 0);
        EXPECT_NE(Shown(doc_).find(L"|C:\\Src\\R\u00E9sum\u00E9|"), std::wstring::npos) << Narrow(Shown(doc_));
        EXPECT_EQ(SaveTwice(doc_.Path()), saved.empty() ? original : saved);
    }

    // The edit: line breaks, tabs and blanks survive as they were typed (a blank-only value as
    // CDATA, where no reader drops it).
    std::wstring edited = Laid(L"ISO-8859-1", L"\r\n", L"  ", L"@");
    for (const auto& [from, to] :
         {std::pair<std::wstring, std::wstring>{L"@", L"&#x65E5;&#x672C; &amp; Caf\u00E9&#xD;\r\n\t&#x1F600;"},
          {L"2.1.0.14", L"2.1.0.15"}, {L"Win32 Debug", L"Win32 \"Unicode\" Debug"},
          {L"Win32 Release", L"<![CDATA[ \t ]]>"}}) {
        edited.replace(edited.find(from), from.size(), to);
    }
    ASSERT_EQ(Open(Encode(Laid(L"ISO-8859-1"), 28591)), 0);
    ASSERT_EQ(doc_.SetPackageInfo(L"\u65E5\u672C & Caf\u00E9\r\n\t\U0001F600", L"2", L"1", L"0", L"15"), 0);
    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    record.debugConfig = L"Win32 \"Unicode\" Debug";
    record.releaseConfig = L" \t ";
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    EXPECT_EQ(SaveTwice(doc_.Path()), Encode(edited, 28591));
}

// A new package has no file until it is given one; named relative to the current folder, the
// file is created and then replaced there.
TEST_F(PackageSaveTest, NewPackagesAreDeclaredUtf8) {
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.Path().c_str()));
    ASSERT_EQ(doc_.CreatePackage(L"Caf\u00E9"), 0);
    EXPECT_EQ(doc_.SavePackage(), -1);
    doc_.SetPath(L"new.kwp");
    ASSERT_EQ(doc_.AddProject(L"C:\\Src\\A b\\A b.dsp"), 0);
    EXPECT_EQ(SaveTwice(doc_.Path()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Package>\r\n  <Name>Caf\xC3\xA9</Name>\r\n"
              "  <CurrentVersion>1.0.0.0</CurrentVersion>\r\n  <Projects>\r\n    <Project>\r\n"
              "      <ProjectID>1</ProjectID>\r\n      <Name>A b</Name>\r\n      <SourceLocation>C:\\Src\\A b"
              "</SourceLocation>\r\n      <Compiler>VC6</Compiler>\r\n      <DebugConfig>Win32 Debug</DebugConfig>\r\n"
              "      <ReleaseConfig>Win32 Release</ReleaseConfig>\r\n      <ResourceFile>C:\\Src\\A b\\A b.rc"
              "</ResourceFile>\r\n      <Registrable>N</Registrable>\r\n      <Dependencies/>\r\n    </Project>\r\n"
              "  </Projects>\r\n</Package>\r\n");
    SetCurrentDirectoryW(previous);
}

// Where no reference can stand (a comment), or the declared name is unknown, the whole file
// becomes UTF-8 and its declaration says so; text then needs no references.
TEST(PackageWriter, FallsBackToDeclaredUtf8WhereTheEncodingCannotCarryATextOrIsUnknown) {
    ComPtr<IXMLDOMDocument2> document;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                              reinterpret_cast<void**>(document.GetAddressOf())));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Bstr xml(L"<Package><!-- \u65E5 --><Name>\u65E5 \u00E9</Name><Projects/></Package>");
    ASSERT_HRESULT_SUCCEEDED(document->loadXML(xml.Get(), &loaded));

    const std::string body = "<Package>\n\t<!-- \xE6\x97\xA5 -->\n\t<Name>\xE6\x97\xA5 \xC3\xA9</Name>\n\t<Projects/>\n"
                             "</Package>\n";
    const std::pair<const char*, std::string> cases[] = {
        {"<?xml version='1.0' encoding='windows-1252' standalone='yes'?>\n<Package>\n\t<Projects/>\n</Package>",
         "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n" + body},
        {"<?xml version=\"1.0\" encoding=\"x-unknown\"?>\n\t<Package/>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body},
    };
    for (const auto& [file, saved] : cases) {
        std::string bytes;
        ASSERT_EQ(WritePackageText(document.Get(), DetectPackageLayout(file), bytes), 0);
        EXPECT_EQ(bytes, saved);
    }
}

}  // namespace
