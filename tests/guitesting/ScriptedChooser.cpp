#include "tests/guitesting/ScriptedChooser.h"

#include <cstring>

ScriptedChooser::ScriptedChooser(Answers answers) : m_answers(std::move(answers)) {
    AfxSetOpenFileChooserForTesting(this);
}

ScriptedChooser::~ScriptedChooser() {
    AfxSetOpenFileChooserForTesting(nullptr);
}

bool ScriptedChooser::Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) {
    std::string filter;
    if (ofn.lpstrFilter != nullptr) {
        for (const char* part = ofn.lpstrFilter; *part != 0; part += std::strlen(part) + 1) {
            filter.append(part, std::strlen(part) + 1);
        }
    }
    filter.push_back('\0');
    m_asked.push_back({filter, ofn.lpstrDefExt != nullptr ? ofn.lpstrDefExt : "", ofn.Flags,
                       ofn.nMaxFile, ofn.lpstrFile != nullptr ? ofn.lpstrFile[0] : '\0'});
    if (m_next >= m_answers.size())
        return false;
    paths = m_answers[m_next++];
    return !paths.empty();
}
