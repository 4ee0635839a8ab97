#pragma once

// What the Words window lists: the saved words, the history, the saved words of one language pair,
// or the saved words met in one application.

#include <QMetaType>
#include <QString>

namespace Lumivox {

struct WordsSection
{
    enum class Kind { saved, history, pair, app };

    Kind kind = Kind::saved;
    /// A pair's source code as stored ("" for words saved without one) and target code.
    QString source;
    QString target;
    /// An app's id.
    QString appID;

    static WordsSection saved() { return {}; }
    static WordsSection history() { return {Kind::history, {}, {}, {}}; }
    static WordsSection pair(QString source, QString target)
    {
        return {Kind::pair, std::move(source), std::move(target), {}};
    }
    static WordsSection app(QString appID) { return {Kind::app, {}, {}, std::move(appID)}; }

    bool operator==(const WordsSection &) const = default;
};

} // namespace Lumivox

Q_DECLARE_METATYPE(Lumivox::WordsSection)
