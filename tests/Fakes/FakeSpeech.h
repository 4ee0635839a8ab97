#pragma once

// A speech service that records what it is asked, with the voices' locales a test chooses.

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
    std::vector<Utterance> spoken;
    /// Every call in order: "stop" or "say".
    std::vector<QString> calls;

    std::vector<QLocale> locales() override { return voices; }
    void say(const QString &text, const std::optional<QLocale> &locale) override
    {
        calls.push_back(QStringLiteral("say"));
        spoken.push_back({text, locale});
    }
    void stop() override { calls.push_back(QStringLiteral("stop")); }
};

} // namespace Lumivox::Testing
