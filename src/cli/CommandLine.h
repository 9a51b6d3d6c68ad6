// Reading a command's words: options from a table, the rest as positional words, and one plain
// line naming the first word that is wrong. Adding an option is one entry in its command's table.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace kw::cli {

using Arguments = std::vector<std::wstring>;

template <class Options>
struct OptionSpec {
    const wchar_t* name;   // "--debug"
    const wchar_t* value;  // the value's name in the usage ("SECONDS"); nullptr for a flag
    const wchar_t* help;   // one short line for the usage
    // Takes the value (empty for a flag); false when the value is malformed.
    bool (*apply)(Options& options, const std::wstring& value);
};

enum class ParseResult { Parsed, HelpAsked, Refused };

// --help, -h and /?.
bool IsHelpWord(const std::wstring& word);

// "kilnworks-cli: <what>; see 'kilnworks-cli --help'."
std::wstring UsageProblem(const std::wstring& what);
// A word the user typed, quoted and made safe to print.
std::wstring Quoted(const std::wstring& word);

// Words starting with '-' are options ("--" ends them); the others are positional. A help word
// among the options wins over any mistake; otherwise the first mistake is named in problem.
template <class Options>
ParseResult ParseArguments(const Arguments& args, const std::vector<OptionSpec<Options>>& table, Options& options,
                           Arguments& positional, std::wstring& problem) {
    problem.clear();
    positional.clear();
    bool help = false, optionsEnded = false;
    auto refuse = [&problem](const std::wstring& what) {
        if (problem.empty()) problem = UsageProblem(what);
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& word = args[i];
        if (optionsEnded || word.size() < 2 || (word[0] != L'-' && word != L"/?")) {
            positional.push_back(word);
            continue;
        }
        if (word == L"--") {
            optionsEnded = true;
            continue;
        }
        if (IsHelpWord(word)) {
            help = true;
            continue;
        }
        const OptionSpec<Options>* entry = nullptr;
        for (const OptionSpec<Options>& candidate : table) {
            if (word == candidate.name) entry = &candidate;
        }
        if (!entry) {
            refuse(L"unknown option " + Quoted(word));
            continue;
        }
        std::wstring value;
        if (entry->value) {
            if (i + 1 >= args.size()) {
                refuse(L"option " + Quoted(word) + L" needs a value (" + entry->value + L")");
                continue;
            }
            value = args[++i];
        }
        if (!entry->apply(options, value)) {
            refuse(L"invalid value " + Quoted(value) + L" for " + Quoted(word) + L" (expected " + entry->value + L")");
        }
    }
    if (help) return ParseResult::HelpAsked;
    return problem.empty() ? ParseResult::Parsed : ParseResult::Refused;
}

// ParseArguments for a command that takes one PACKAGE and nothing else positional.
template <class Options>
ParseResult ParsePackageCommand(const wchar_t* command, const Arguments& args,
                                const std::vector<OptionSpec<Options>>& table, Options& options, std::wstring& package,
                                std::wstring& problem) {
    Arguments positional;
    ParseResult result = ParseArguments(args, table, options, positional, problem);
    if (result != ParseResult::Parsed) return result;
    if (positional.empty() || positional[0].empty()) {
        problem = UsageProblem(L"'" + std::wstring(command) + L"' needs a PACKAGE");
    } else if (positional.size() > 1) {
        problem = UsageProblem(L"unexpected argument " + Quoted(positional[1]));
    } else {
        package = positional[0];
        return ParseResult::Parsed;
    }
    return ParseResult::Refused;
}

// The usage lines of a table's options: "  --name VALUE   help", the helps in one column.
template <class Options>
std::wstring DescribeOptions(const std::vector<OptionSpec<Options>>& table) {
    auto synopsis = [](const OptionSpec<Options>& entry) {
        return std::wstring(entry.name) + (entry.value ? std::wstring(L" ") + entry.value : std::wstring());
    };
    size_t width = 0;
    for (const OptionSpec<Options>& entry : table) width = std::max(width, synopsis(entry).size());
    std::wstring lines;
    for (const OptionSpec<Options>& entry : table) {
        std::wstring left = synopsis(entry);
        lines += L"  " + left + std::wstring(width - left.size() + 2, L' ') + entry.help + L"\n";
    }
    return lines;
}

}  // namespace kw::cli
