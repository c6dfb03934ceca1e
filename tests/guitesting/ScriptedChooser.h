// Answers open-file dialogs from a script instead of a person.
#pragma once

#include <string>
#include <vector>

#include "platform/mfc/gui/OpenFileChooser.h"

using Answers = std::vector<std::vector<std::string>>;

// Takes the native chooser's place while it lives. Each dialog gets the next
// prepared selection; an empty selection, or none left, cancels.
class ScriptedChooser : public COpenFileChooser {
public:
    explicit ScriptedChooser(Answers answers);
    ~ScriptedChooser() override;
    ScriptedChooser(const ScriptedChooser&) = delete;
    ScriptedChooser& operator=(const ScriptedChooser&) = delete;

    // What an open-file dialog was asked for.
    struct Request {
        std::string filter;  // every part with its zero, and the list's final zero
        std::string defaultExtension;
        DWORD flags;
        DWORD bufferSize;
        char firstCharacter;  // of the buffer: the name the field opens with
    };

    bool Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) override;
    const std::vector<Request>& Asked() const { return m_asked; }

private:
    Answers m_answers;
    size_t m_next = 0;
    std::vector<Request> m_asked;
};
