// A prompt for tests: records what the program asks the user and answers from a script.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/UserPrompt.h"

namespace kwtest {

// Records every request and answers from a script. Message answers come from messageAnswers
// in order, then IDOK (or IDYES when the box has no OK button). File and folder
// requests are answered from fileAnswers / folderAnswers; an empty answer or none left means the
// user cancelled.
class ScriptedPrompt : public kw::UserPrompt {
public:
    struct MessageRecord {
        HWND owner;
        std::wstring text;
        std::wstring caption;
        UINT type;
    };

    int Message(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override;
    void Beep(UINT type) override;
    bool ChooseFile(const kw::FileRequest& request, std::wstring& path) override;
    bool ChooseFolder(const kw::FolderRequest& request, std::wstring& path) override;

    std::vector<int> messageAnswers;
    std::vector<std::wstring> fileAnswers;
    std::vector<std::wstring> folderAnswers;

    std::vector<MessageRecord> messages;
    std::vector<UINT> beeps;
    std::vector<kw::FileRequest> fileRequests;
    std::vector<kw::FolderRequest> folderRequests;
};

}  // namespace kwtest
