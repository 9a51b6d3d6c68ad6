// Opening the package a command names, or saying in one line which file it was and why not.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "package/PackageDocument.h"
#include "win/AtomicFile.h"
#include "win/Text.h"

#include <windows.h>

namespace kw::cli {

namespace {

std::wstring WithoutTrailingStop(std::wstring text) {
    while (!text.empty() && (iswspace(text.back()) || text.back() == L'.')) text.pop_back();
    return text;
}

std::wstring Why(const std::wstring& path, const OpenFailure& failure) {
    switch (failure.problem) {
        case OpenProblem::Unreadable: {
            if (failure.error == ERROR_FILE_NOT_FOUND || failure.error == ERROR_PATH_NOT_FOUND) {
                return L"it does not exist";
            }
            DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                return L"it is a folder, not a file";
            }
            if (failure.error == ERROR_FILE_TOO_LARGE) return L"it is far too large to be a package";
            return FormatW(L"it can't be read: %s (error %lu)",
                           WithoutTrailingStop(DescribeWin32Error(failure.error)).c_str(), failure.error);
        }
        case OpenProblem::Empty: return L"it is empty";
        case OpenProblem::DocumentType: return L"it is not a package: it holds a document type declaration";
        case OpenProblem::TooDeep: return L"it is not a package: its elements nest too deep";
        case OpenProblem::NotWellFormed: {
            std::wstring why = L"it is not well-formed XML";
            if (failure.line > 0) why += FormatW(L" at line %ld column %ld", failure.line, failure.column);
            std::wstring reason = WithoutTrailingStop(failure.reason);
            return reason.empty() ? why : why + L" (" + reason + L")";
        }
        case OpenProblem::NoProjects: return L"it is not a package: its document element has no Projects";
        default: return L"the XML parser could not be used";
    }
}

}  // namespace

bool OpenPackageOrSayWhy(PackageDocument& document, const std::wstring& path) {
    if (document.OpenPackage(path) == 0) return true;
    Err().WriteLine(L"kilnworks-cli: can't open the package '" + EscapeForDisplay(path) + L"': " +
                    EscapeForDisplay(Why(path, document.LastOpenFailure())) + L".");
    return false;
}

}  // namespace kw::cli
