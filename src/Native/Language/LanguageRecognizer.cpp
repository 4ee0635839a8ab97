// The Linux backend of language recognition: cld2.

#include "Native/Language/LanguageRecognizer.h"

// cld2's header uses FILE and std::vector without including what declares them.
#include <cstdio>
#include <vector>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace Lumivox::Native {

namespace {

// Enough text for a confident answer; the rest only costs time.
constexpr qsizetype sampleLength = 4000;
// One hover asks about its sentence several times (the word's translation, the glance, the look-up
// kept in the word book), and read-ahead asks about the next few.
constexpr std::size_t rememberedAnswers = 16;

// cld2 keeps a few legacy codes where BCP 47 has moved on.
QString bcp47(const char *code)
{
    static const std::map<QString, QString> renamed {
        {QStringLiteral("iw"), QStringLiteral("he")},
        {QStringLiteral("zh"), QStringLiteral("zh-Hans")},
        {QStringLiteral("jw"), QStringLiteral("jv")},
    };
    const QString raw = QString::fromLatin1(code);
    if (auto it = renamed.find(raw); it != renamed.end())
        return it->second;
    return raw;
}

class Cld2LanguageRecognizer final : public LanguageRecognizer
{
public:
    std::optional<QString> dominantLanguage(const QString &text) override
    {
        QStringView sample(text);
        if (sample.size() > sampleLength) {
            qsizetype cut = sampleLength;
            if (sample[cut - 1].isHighSurrogate())
                --cut;
            sample = sample.left(cut);
        }
        // cld2 allocates and frees large tables on every call (a third of a millisecond, most of it
        // the allocator giving memory back to the system), and its answer depends on the text alone.
        std::lock_guard lock(m_lock);
        const auto known =
            std::find_if(m_recent.begin(), m_recent.end(), [&](const auto &answer) { return answer.first == sample; });
        if (known != m_recent.end()) {
            auto answer = *known;
            m_recent.erase(known);
            m_recent.push_front(answer);
            return answer.second;
        }
        const std::optional<QString> language = detect(sample);
        if (m_recent.size() == rememberedAnswers)
            m_recent.pop_back();
        m_recent.emplace_front(sample.toString(), language);
        return language;
    }

private:
    static std::optional<QString> detect(QStringView sample)
    {
        const QByteArray utf8 = sample.toUtf8();
        if (utf8.isEmpty())
            return std::nullopt;

        CLD2::CLDHints hints {nullptr, nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
        CLD2::Language language3[3];
        int percent3[3];
        double score3[3];
        int textBytes = 0;
        bool reliable = false;
        int validPrefixBytes = 0;
        const CLD2::Language language = CLD2::ExtDetectLanguageSummaryCheckUTF8(
            utf8.constData(), int(utf8.size()), true, &hints, 0, language3, percent3, score3, nullptr, &textBytes,
            &reliable, &validPrefixBytes);
        // An unreliable guess on a short text is more often wrong than right, and a wrong source
        // language gives a wrong translation rather than none.
        if (language == CLD2::UNKNOWN_LANGUAGE || !reliable)
            return std::nullopt;
        const QString code = bcp47(CLD2::LanguageCode(language));
        if (code.isEmpty() || code == QLatin1String("un") || code.startsWith(QLatin1String("xx")))
            return std::nullopt;
        return code;
    }

    std::mutex m_lock;
    std::deque<std::pair<QString, std::optional<QString>>> m_recent;
};

} // namespace

std::shared_ptr<LanguageRecognizer> LanguageRecognizer::makeDefault()
{
    return std::make_shared<Cld2LanguageRecognizer>();
}

} // namespace Lumivox::Native
