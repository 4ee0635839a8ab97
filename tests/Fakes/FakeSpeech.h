#pragma once

// A speech service that records what it is asked, choosing voices among locales a test sets.

#include "Native/Session/Speech.h"

#include <vector>

namespace Lumivox::Testing {

class FakeSpeech final : public Native::Speech
{
public:
    struct Utterance
    {
        QString text;
        std::optional<QLocale> locale;
    };

    std::vector<QLocale> voices;
    bool available = true;
    int availabilityChecks = 0;
    std::vector<Utterance> spoken;
    /// Every call in order: "stop" or "say".
    std::vector<QString> calls;

    void say(const QString &text, VoiceChoice chooseVoice) override
    {
        calls.push_back(QStringLiteral("say"));
        spoken.push_back({text, chooseVoice ? chooseVoice(voices) : std::nullopt});
    }
    void stop() override { calls.push_back(QStringLiteral("stop")); }
    void checkAvailable(std::function<void(bool)> answer) override
    {
        ++availabilityChecks;
        answer(available);
    }
};

} // namespace Lumivox::Testing
