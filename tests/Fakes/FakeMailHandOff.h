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
    /// What compose answers.
    Outcome composeOutcome {Status::composed, 0, QString()};
    /// What openLink answers.
    bool linkOpens = true;

    std::vector<Draft> drafts;
    std::vector<QUrl> links;
    std::vector<QString> clipboard;

    void compose(const Draft &draft, std::chrono::milliseconds, std::function<void(Outcome)> done) override
    {
        drafts.push_back(draft);
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [done = std::move(done), outcome = composeOutcome] { done(outcome); });
    }

    bool openLink(const QUrl &link) override
    {
        links.push_back(link);
        return linkOpens;
    }

    bool copyToClipboard(const QString &text) override
    {
        clipboard.push_back(text);
        return true;
    }
};

} // namespace Lumivox::Testing
