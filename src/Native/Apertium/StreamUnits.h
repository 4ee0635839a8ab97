#pragma once

// Apertium's stream format, read and written: a lexical unit is ^surface/analysis/analysis…$, an
// analysis is lemma<tag><tag>…, optionally followed by #queue (the rest of a multi-word lemma), and
// joined words ("do<vbdo><pres>+not<adv>") are parts of one analysis. A backslash makes the next
// character literal. The analyser, the tagger, the bilingual dictionary and the generator all speak it.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace Lumivox::Native::Apertium {

/// One lexical unit as it stands in a stream.
struct StreamUnit
{
    /// The text the unit was read from, unescaped; the source lemma in a bilingual dictionary's reply.
    QString surface;
    /// Each analysis as written, escapes kept, so that it can be read further or sent on unchanged.
    QStringList analyses;

    bool operator==(const StreamUnit &) const = default;
};

/// One word of an analysis.
struct ReadingPart
{
    /// Unescaped.
    QString lemma;
    QStringList tags;
    /// The rest of a multi-word lemma, after its '#', unescaped (" cuenta" in "dar<vblex><inf># cuenta").
    QString queue;

    bool operator==(const ReadingPart &) const = default;
};

/// The complete units of a stream, in order; text between units and a unit cut off before its '$'
/// are left out.
std::vector<StreamUnit> readUnits(QStringView stream);

/// The words of one analysis; none for an unknown word ("*zorblax") or an untranslated one ("@casa").
std::vector<ReadingPart> readAnalysis(QStringView analysis);

/// One part written back as a lexical unit, escaped: ^lemma<tag>…#queue$.
QString writeUnit(const ReadingPart &part);

} // namespace Lumivox::Native::Apertium
