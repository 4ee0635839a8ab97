#include "Services/Detection/SentenceSlice.h"

#include "Shared/Text/TextUtils.h"

namespace Lumivox::AccessibilityTextService {

namespace {

bool isBreakingSpace(QChar c)
{
    return Text::isWhitespaceOrNewline(c.unicode());
}

} // namespace

std::optional<SentenceSlice> sentenceSlice(QStringView text, qsizetype location, qsizetype length, bool startsText,
                                           bool endsText)
{
    if (location < 0 || length < 1 || location + length > text.size())
        return std::nullopt;

    qsizetype sentenceStart = 0;
    qsizetype sentenceEnd = text.size();
    Text::enumerateSentences(text, [&](const Text::Segment &s) {
        if (location >= s.start && location < s.end()) {
            sentenceStart = s.start;
            sentenceEnd = s.end();
            return false;
        }
        return true;
    });

    qsizetype begin = sentenceStart;
    if (sentenceStart == 0 && !startsText) {
        begin = 0;
        for (qsizetype i = 0; i < location; ++i) {
            if (isBreakingSpace(text[i])) {
                begin = i + 1;
                break;
            }
        }
    }

    qsizetype end = sentenceEnd;
    if (sentenceEnd == text.size() && !endsText) {
        for (qsizetype i = text.size() - 1; i >= location + length; --i) {
            if (isBreakingSpace(text[i])) {
                end = i;
                break;
            }
        }
    }

    if (begin >= end)
        return std::nullopt;
    const QStringView cut = text.mid(begin, end - begin);
    qsizetype lead = 0;
    while (lead < cut.size() && isBreakingSpace(cut[lead]))
        ++lead;
    if (lead == cut.size())
        lead = 0;
    const qsizetype offset = location - begin - lead;
    QString sliceText = Text::trimmed(cut);
    if (offset < 0 || offset + length > sliceText.size())
        return std::nullopt;
    return SentenceSlice {std::move(sliceText), offset};
}

} // namespace Lumivox::AccessibilityTextService
