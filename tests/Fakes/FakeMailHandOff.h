#pragma once

// A mail hand-off that records what it is given and answers with a chosen outcome, from the event
// loop as the real one does.

#include "Native/Session/MailHandOff.h"

#include <QCoreApplication>
#include <QTimer>

#include <vector>

namespace Lumivox::Testing {

class FakeMailHandOff final : public Native::MailHandOff
{
public:
    /// What findHandler answers.
    HandlerInfo handler {Handler::mailProgram, QStringLiteral("mail.desktop")};
    /// What compose answers.
    Outcome composeOutcome {Status::composed, 0, QString()};
    /// What showFolder and copyToClipboard answer.
    bool folderOpens = true;
    bool clipboardTakes = true;

    std::vector<Draft> drafts;
    std::vector<QString> folders;
    std::vector<QString> clipboard;

    void findHandler(std::function<void(HandlerInfo)> done) override
    {
        QTimer::singleShot(0, QCoreApplication::instance(), [done = std::move(done), found = handler] { done(found); });
    }

    void compose(const Draft &draft, std::chrono::milliseconds, std::function<void(Outcome)> done) override
    {
        drafts.push_back(draft);
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [done = std::move(done), outcome = composeOutcome] { done(outcome); });
    }

    void showFolder(const QString &path, std::chrono::milliseconds, std::function<void(bool)> done) override
    {
        folders.push_back(path);
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [done = std::move(done), opens = folderOpens] { done(opens); });
    }

    bool copyToClipboard(const QString &text) override
    {
        clipboard.push_back(text);
        return clipboardTakes;
    }
};

} // namespace Lumivox::Testing
