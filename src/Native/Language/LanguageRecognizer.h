#pragma once

// Which language a text is written in. Short texts (fewer than about four words) often give no
// answer: callers need another signal for them (a configured source language, a default).

#include <QString>

#include <memory>
#include <optional>

namespace Lumivox::Native {

class LanguageRecognizer
{
public:
    virtual ~LanguageRecognizer() = default;

    /// The dominant language as a BCP 47 code ("en", "es", "zh-Hans", "zh-Hant"), or none when the
    /// recogniser is not confident. Fast (well under a millisecond); safe on any thread.
    virtual std::optional<QString> dominantLanguage(const QString &text) = 0;

    static std::shared_ptr<LanguageRecognizer> makeDefault();
};

} // namespace Lumivox::Native
