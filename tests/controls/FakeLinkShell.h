// A LinkShell that records what the label asks of the system and answers from a script.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "controls/HyperlinkLabel.h"

namespace kwtest {

class FakeLinkShell : public kw::LinkShell {
public:
    int ShellOpen(const std::wstring& address, int showCommand) override {
        opened.emplace_back(address, showCommand);
        return shellResult;
    }
    bool ReadClassesRootDefault(const std::wstring& key, std::wstring& value) override {
        keysRead.push_back(key);
        auto found = keys.find(key);
        if (found == keys.end()) return false;
        value = found->second;
        return true;
    }
    int Exec(const std::wstring& command, int showCommand) override {
        executed.emplace_back(command, showCommand);
        return execResult;
    }

    int shellResult = 42;
    int execResult = 33;
    std::map<std::wstring, std::wstring> keys;

    std::vector<std::pair<std::wstring, int>> opened;
    std::vector<std::wstring> keysRead;
    std::vector<std::pair<std::wstring, int>> executed;
};

}  // namespace kwtest
