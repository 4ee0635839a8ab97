// The Linux backend of language recognition: cld2.

#include "Native/Language/LanguageRecognizer.h"

// cld2's header uses FILE and std::vector without including what declares them.
#include <cstdio>
#include <vector>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <map>

namespace Lumivox::Native {

namespace {

// Enough text for a confident answer; the rest only costs time.
constexpr qsizetype sampleLength = 4000;

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
};

} // namespace

std::shared_ptr<LanguageRecognizer> LanguageRecognizer::makeDefault()
{
    return std::make_shared<Cld2LanguageRecognizer>();
}

} // namespace Lumivox::Native
