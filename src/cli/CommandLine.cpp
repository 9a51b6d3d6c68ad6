#include "cli/CommandLine.h"

#include "win/Text.h"

namespace kw::cli {

bool IsHelpWord(const std::wstring& word) { return word == L"--help" || word == L"-h" || word == L"/?"; }

std::wstring UsageProblem(const std::wstring& what) {
    return L"kilnworks-cli: " + what + L"; see 'kilnworks-cli --help'.";
}

std::wstring Quoted(const std::wstring& word) { return L"'" + EscapeForDisplay(word) + L"'"; }

}  // namespace kw::cli
