#pragma once

// Whether the language recogniser may name a translation's source language. It is reliable on a
// few words, and on one word of a script few languages write (Greek, Thai, kana); on one word of the
// Latin script it is often sure and wrong: common English words come back as Czech ("heavy"),
// Norwegian ("angry"), Danish ("finger"), Portuguese ("recall") or Spanish ("volcano"), and a word
// sent to a pair it does not belong to is not translated at all. Such a word's language is left
// unknown; on-device translation then reads it as English, whose analyser tells whether it is a
// word of its own.

#include <QStringView>

namespace Lumivox::SourceLanguage {

bool mayRecognize(QStringView text);

} // namespace Lumivox::SourceLanguage
