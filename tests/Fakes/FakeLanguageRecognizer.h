#pragma once

// Language recognition by a table: a text the test has named gets its code, any other the default
// (none unless set).

#include "Fakes/Guarded.h"
#include "Native/Language/LanguageRecognizer.h"

#include <map>

namespace Lumivox::Testing {

class FakeLanguageRecognizer final : public Native::LanguageRecognizer
{
public:
    void recognize(const QString &text, const QString &code)
    {
        m_answers.with([&](std::map<QString, QString> &answers) { answers[text] = code; });
    }
    void setDefault(std::optional<QString> code) { m_default.set(std::move(code)); }

    std::optional<QString> dominantLanguage(const QString &text) override
    {
        m_lastText.set(text);
        const auto answer = m_answers.with([&](const std::map<QString, QString> &answers) -> std::optional<QString> {
            if (auto it = answers.find(text); it != answers.end())
                return it->second;
            return std::nullopt;
        });
        return answer ? answer : m_default.get();
    }

    QString lastText() const { return m_lastText.get(); }

private:
    Guarded<std::map<QString, QString>> m_answers;
    Guarded<std::optional<QString>> m_default;
    Guarded<QString> m_lastText;
};

} // namespace Lumivox::Testing
