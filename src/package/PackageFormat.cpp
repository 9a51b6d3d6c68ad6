#include "package/PackageFormat.h"

#include "win/Decimal.h"

namespace kw {

CompilerKind CompilerKindFromText(std::wstring_view text) {
    if (text == L"VC6") return CompilerVC6;
    if (text == L"VB6") return CompilerVB6;
    return CompilerUnknown;
}

const wchar_t* CompilerTextForStaging(int kind) { return kind == CompilerVC6 ? L"VC6" : L"VB6"; }

bool RegistrableFromText(std::wstring_view text) {
    if (text.empty()) return false;
    return !(text.size() == 1 && (text[0] == L'N' || text[0] == L'n'));
}

int ParseProjectId(std::wstring_view text) {
    if (text.size() > 19) text = text.substr(0, 19);
    return ReadRuntimeInt32(text);
}

std::array<std::wstring, 4> SplitVersionText(std::wstring_view text) {
    std::array<std::wstring, 4> parts;
    if (text.empty()) return parts;
    size_t index = 0;
    for (wchar_t c : text) {
        if (c == L'.') {
            if (++index == 4) break;
            continue;
        }
        parts[index].push_back(c);
    }
    for (auto& part : parts) {
        if (part.empty()) part = L"0";
    }
    return parts;
}

std::wstring JoinVersionText(std::wstring_view major, std::wstring_view minor,
                             std::wstring_view build, std::wstring_view revision) {
    std::wstring text;
    text.reserve(major.size() + minor.size() + build.size() + revision.size() + 3);
    text.append(major).append(L".").append(minor).append(L".").append(build).append(L".").append(revision);
    return text;
}

int SplitProjectFilePath(std::wstring_view path, ProjectFileParts& parts) {
    parts = ProjectFileParts{};
    if (path.empty()) return -1;
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos) return -2;
    std::wstring_view extension = path.substr(dot + 1);
    CompilerKind kind;
    if (extension == L"vbp") {
        kind = CompilerVB6;
    } else if (extension == L"dsp" || extension == L"dsw") {
        kind = CompilerVC6;
    } else {
        return -2;
    }
    if (dot == 0) return -2;
    size_t separator = path.find_last_of(L"\\/", dot - 1);
    if (separator == std::wstring_view::npos) return -2;
    std::wstring_view base = path.substr(separator + 1, dot - separator - 1);
    std::wstring_view folder = path.substr(0, separator);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.remove_suffix(1);
    if (base.size() > kMaxPathPart || folder.size() > kMaxPathPart) return -2;
    parts.folder.assign(folder);
    parts.baseName.assign(base);
    parts.kind = kind;
    return 0;
}

std::wstring DefaultResourceFile(const ProjectFileParts& parts) {
    return parts.folder + L"\\" + parts.baseName + (parts.kind == CompilerVB6 ? L".vbp" : L".rc");
}

}  // namespace kw
