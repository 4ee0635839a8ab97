#pragma once

// A tagger that knows only the words a test defines. It splits text into words the way ICU does
// (punctuation and spaces left out); an undefined word comes back without tags. With joinNames,
// neighbouring personal names separated by spaces come back as one word.

#include "Fakes/Guarded.h"
#include "Native/Language/Tagger.h"
#include "Shared/Text/TextUtils.h"

#include <QHash>

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
        m_lexicon.with([&](QHash<QString, Entry> &lexicon) { lexicon.insert(word, std::move(entry)); });
    }

    std::vector<Native::TaggedWord> words(QStringView text, Native::TextRange range,
                                          Native::TaggerOptions options = {}) override
    {
        m_calls.with([](int &calls) { ++calls; });
        m_lastText.set(text.toString());
        m_lastOptions.set(options);
        const QHash<QString, Entry> lexicon = m_lexicon.get();
        std::vector<Native::TaggedWord> all;
        for (const Text::Segment &s : Text::words(text)) {
            Native::TaggedWord word;
            word.range = {s.start, s.length};
            if (auto it = lexicon.constFind(text.mid(s.start, s.length).toString()); it != lexicon.cend()) {
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

    int calls() const { return m_calls.get(); }
    QString lastText() const { return m_lastText.get(); }
    Native::TaggerOptions lastOptions() const { return m_lastOptions.get(); }

private:
    Guarded<QHash<QString, Entry>> m_lexicon;
    Guarded<int> m_calls;
    Guarded<QString> m_lastText;
    Guarded<Native::TaggerOptions> m_lastOptions;
};

} // namespace Lumivox::Testing
