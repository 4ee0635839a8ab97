#pragma once

// Language recognition by a table: a text the test has named gets its code, any other the default
// (none unless set).

#include "Native/Language/LanguageRecognizer.h"

#include <map>
#include <mutex>

namespace Lumivox::Testing {

class FakeLanguageRecognizer final : public Native::LanguageRecognizer
{
public:
    void recognize(const QString &text, const QString &code)
    {
        std::lock_guard lock(m_mutex);
        m_answers[text] = code;
    }
    void setDefault(std::optional<QString> code)
    {
        std::lock_guard lock(m_mutex);
        m_default = std::move(code);
    }

    std::optional<QString> dominantLanguage(const QString &text) override
    {
        std::lock_guard lock(m_mutex);
        m_lastText = text;
        if (auto it = m_answers.find(text); it != m_answers.end())
            return it->second;
        return m_default;
    }

    QString lastText() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastText;
    }

private:
    mutable std::mutex m_mutex;
    std::map<QString, QString> m_answers;
    std::optional<QString> m_default;
    QString m_lastText;
};

} // namespace Lumivox::Testing
