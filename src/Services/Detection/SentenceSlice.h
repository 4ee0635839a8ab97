#pragma once

// The sentence around a word, cut from a window of text that may begin or end mid-sentence.
// Shared by the accessibility lookup and the text recogniser.

#include <QString>
#include <QStringView>

#include <optional>

namespace Lumivox::AccessibilityTextService {

struct SentenceSlice
{
    QString text;
    qsizetype wordOffset = 0; // UTF-16 offset of the word in `text`
    bool operator==(const SentenceSlice &) const = default;
};

/// `location` and `length` give the word's UTF-16 range in `text`. `startsText` / `endsText` say
/// whether the window begins / ends where the whole text does; when it does not, a partial word at
/// that edge is cut off.
std::optional<SentenceSlice> sentenceSlice(QStringView text, qsizetype location, qsizetype length, bool startsText,
                                           bool endsText);

} // namespace Lumivox::AccessibilityTextService
