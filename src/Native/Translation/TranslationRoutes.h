#pragma once

// How this computer gets from one language to another on the device. Apertium translates per pair, so
// a language is reached through the installed mode from the source to it, or else through a language
// in between: two installed modes, the first's output read by the second (released pairs are commonly
// chained through a pivot this way). Found from the installed mode names, named the way the translator
// looks its modes up; nothing is started.

#include <QString>
#include <QStringList>

#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace Lumivox::Native {

struct TranslationRoute
{
    QString source;
    QString target;
    /// The installed modes the text goes through, in order: one, or two with `middle` between them.
    QStringList modes;
    /// The language between the two modes of a route through one.
    std::optional<QString> middle;

    bool operator==(const TranslationRoute &) const = default;
};

class TranslationRoutes
{
public:
    TranslationRoutes() = default;
    /// Over the names of the installed modes ("eng-spa", "es-fr", … without ".mode"). Modes of a
    /// regional variant ("spa-eng_US") or of more than two parts ("eco-es-fr") name no language the
    /// program translates and count for nothing.
    explicit TranslationRoutes(const QStringList &installedModes);

    /// The modes installed on this computer, read once when called.
    static TranslationRoutes installed();

    /// The installed mode from the source to the target a route takes first; a route through a
    /// language in between only when there is none. Among the languages in between, the first by
    /// code that both modes reach is taken, so that the choice never depends on the order the modes
    /// were found in. Codes are the language table's lower-case codes ("en", "es", "pt").
    std::optional<TranslationRoute> route(const QString &source, const QString &target) const;

    /// The pairs among `codes` that a route joins (a language is never paired with itself).
    std::set<std::pair<QString, QString>> pairsAmong(const QStringList &codes) const;

private:
    std::optional<QString> installedMode(const QString &source, const QString &target) const;

    std::set<QString> m_modes;
    /// The languages the installed modes translate between, by code: the possible middles.
    std::set<QString> m_languages;
};

} // namespace Lumivox::Native
