// Writes the sample run records as report and JUnit files, to look at them in a browser:
//   report_preview OUTFOLDER  ->  sequential.html, parallel.html, mixed.html,
//                                  sequential.xml
#include "SampleRecords.h"
#include "engine/HtmlReport.h"
#include "engine/JunitReport.h"
#include "engine/RecordFile.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: report_preview OUTFOLDER\n", stderr);
        return 2;
    }
    const std::wstring folder = argv[1];
    struct {
        const wchar_t* name;
        std::string bytes;
    } files[] = {
        {L"sequential.html", kw::HtmlReport(kwtest::SequentialRecord())},
        {L"parallel.html", kw::HtmlReport(kwtest::ParallelRecord())},
        {L"mixed.html", kw::HtmlReport(kwtest::MixedRecord())},
        {L"sequential.xml", kw::JunitXml(kwtest::SequentialRecord())},
    };
    int result = 0;
    for (const auto& file : files) {
        std::wstring problem;
        if (kw::WriteRecordFile(folder + L"\\" + file.name, file.bytes, problem) != 0) {
            std::fwprintf(stderr, L"%ls\n", problem.c_str());
            result = 1;
        }
    }
    return result;
}
