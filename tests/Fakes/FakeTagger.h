#pragma once

// A tagger that knows only the words a test defines. It splits text into words the way ICU does
// (punctuation and spaces left out); an undefined word comes back without tags. With joinNames,
// neighbouring personal names separated by spaces come back as one word.

#include "Native/Language/Tagger.h"
#include "Shared/Text/TextUtils.h"

#include <QHash>

#include <mutex>

namespace Lumivox::Testing {

class FakeTagger final : public Native::Tagger
{
public:
    struct Entry
    {
        std::optional<QString> lexicalClass;
        std::optional<QString> lemma;
        std::optional<QString> nameType;
    };

    void define(const QString &word, Entry entry)
    {
        std::lock_guard lock(m_mutex);
        m_lexicon.insert(word, std::move(entry));
    }

    std::vector<Native::TaggedWord> words(QStringView text, Native::TextRange range,
                                          Native::TaggerOptions options = {}) override
    {
        std::lock_guard lock(m_mutex);
        ++m_calls;
        m_lastText = text.toString();
        m_lastOptions = options;
        std::vector<Native::TaggedWord> all;
        for (const Text::Segment &s : Text::words(text)) {
            Native::TaggedWord word;
            word.range = {s.start, s.length};
            if (auto it = m_lexicon.constFind(text.mid(s.start, s.length).toString()); it != m_lexicon.cend()) {
                word.lexicalClass = it->lexicalClass;
                word.lemma = it->lemma;
                word.nameType = it->nameType;
            }
            const bool isName = word.nameType == QLatin1String("PersonalName");
            if (options.joinNames && isName && !all.empty() && all.back().nameType == word.nameType
                && text.mid(all.back().range.end(), s.start - all.back().range.end()).trimmed().isEmpty()) {
                all.back().range.length = s.end() - all.back().range.start;
                continue;
            }
            all.push_back(std::move(word));
        }
        std::vector<Native::TaggedWord> out;
        for (auto &word : all) {
            if (word.range.start < range.end() && range.start < word.range.end())
                out.push_back(std::move(word));
        }
        return out;
    }

    int calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    QString lastText() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastText;
    }

    Native::TaggerOptions lastOptions() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastOptions;
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_lexicon;
    int m_calls = 0;
    QString m_lastText;
    Native::TaggerOptions m_lastOptions;
};

} // namespace Lumivox::Testing
