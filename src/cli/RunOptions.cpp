#include "cli/RunOptions.h"

#include "win/Decimal.h"

#include <cstdint>

namespace kw::cli {

namespace {

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

// A whole signed 32-bit decimal number, nothing else; 0 ends the target list, so it can't name
// a target.
bool ParseTargetId(const std::wstring& text, int& value) {
    std::int32_t number = 0;
    if (!ParseWholeInt32(text, number) || number == 0) return false;
    value = number;
    return true;
}

// Plain decimal digits, at most max.
bool ParseBounded(const std::wstring& text, unsigned long max, unsigned long& value) {
    std::uint32_t number = 0;
    if (!ParseDigits(text, static_cast<std::uint32_t>(max), number)) return false;
    value = number;
    return true;
}

}  // namespace

bool ParseRunOptions(const std::vector<std::wstring>& args, RunOptions& options) {
    options = RunOptions{};
    bool havePackage = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--targets") {
            if (++i >= args.size()) return false;
            options.targets.clear();
            if (args[i] == L"all") {
                options.allTargets = true;
                continue;
            }
            options.allTargets = false;
            for (const std::wstring& part : Split(args[i], L',')) {
                int id = 0;
                if (!ParseTargetId(part, id)) return false;
                options.targets.push_back(id);
            }
        } else if (arg == L"--debug") {
            options.debug = true;
        } else if (arg == L"--release") {
            options.release = true;
        } else if (arg == L"--rebuild-all") {
            options.rebuildAll = true;
        } else if (arg == L"--clean") {
            options.clean = true;
        } else if (arg == L"--auto-increment") {
            options.autoIncrement = true;
        } else if (arg == L"--set-version") {
            if (++i >= args.size()) return false;
            // The resource compiler keeps 16 bits of each part.
            std::vector<std::wstring> parts = Split(args[i], L'.');
            if (parts.size() != 4) return false;
            unsigned long numbers[4] = {};
            for (int p = 0; p < 4; ++p) {
                if (!ParseBounded(parts[p], 65535, numbers[p])) return false;
            }
            options.setVersion = true;
            options.version = VersionQuad{numbers[0], numbers[1], numbers[2], numbers[3]};
        } else if (arg == L"--timeout") {
            if (++i >= args.size() || !ParseBounded(args[i], 86400, options.timeoutSeconds)) return false;
            if (options.timeoutSeconds == 0) return false;
        } else if (!arg.empty() && arg[0] == L'-' && arg.size() > 1 && arg[1] == L'-') {
            return false;
        } else if (!havePackage && !arg.empty()) {
            options.package = arg;
            havePackage = true;
        } else {
            return false;
        }
    }
    if (options.setVersion && options.autoIncrement) return false;
    return havePackage;
}

}  // namespace kw::cli
