#include "common/ScriptedPrompt.h"

namespace kwtest {

int ScriptedPrompt::Message(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    messages.push_back({owner, text, caption, type});
    size_t used = messages.size() - 1;
    if (used < messageAnswers.size()) return messageAnswers[used];
    UINT buttons = type & MB_TYPEMASK;
    return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
}

void ScriptedPrompt::Beep(UINT type) { beeps.push_back(type); }

bool ScriptedPrompt::ChooseFile(const kw::FileRequest& request, std::wstring& path) {
    fileRequests.push_back(request);
    size_t used = fileRequests.size() - 1;
    if (used >= fileAnswers.size() || fileAnswers[used].empty()) return false;
    path = fileAnswers[used];
    return true;
}

bool ScriptedPrompt::ChooseFolder(const kw::FolderRequest& request, std::wstring& path) {
    folderRequests.push_back(request);
    size_t used = folderRequests.size() - 1;
    if (used >= folderAnswers.size() || folderAnswers[used].empty()) return false;
    path = folderAnswers[used];
    return true;
}

}  // namespace kwtest
