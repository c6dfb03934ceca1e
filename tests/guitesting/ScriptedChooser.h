// Answers open-file dialogs from a script instead of a person.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/user32-wx/OpenFileChooser.h"

using Answers = std::vector<std::vector<std::string>>;

// Takes the native chooser's place while it lives. Each dialog gets the next
// prepared selection; an empty selection, or none left, cancels.
class ScriptedChooser : public COpenFileChooser {
public:
    explicit ScriptedChooser(Answers answers) : m_answers(std::move(answers)) {
        AfxSetOpenFileChooserForTesting(this);
    }
    ~ScriptedChooser() override { AfxSetOpenFileChooserForTesting(nullptr); }

    bool Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) override {
        std::string filter;  // every part with its zero, and the list's final zero
        for (const char* part = ofn.lpstrFilter; part && *part; part += std::strlen(part) + 1)
            filter.append(part, std::strlen(part) + 1);
        m_asked.push_back({ofn.Flags, filter + '\0'});
        if (m_asked.size() > m_answers.size())
            return false;
        paths = m_answers[m_asked.size() - 1];
        return !paths.empty();
    }
    // The flags and filter of each open-file dialog asked for.
    std::vector<std::pair<DWORD, std::string>> m_asked;

private:
    Answers m_answers;
};
