#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringList>

#include <optional>

namespace Lumivox {

/// The labels of the tooltip's save and copy keys and the symbol of the held modifier key
/// (absent when no key needs holding). Built without arguments: the keys of the Alt hold key.
///
/// The labels keep the compact modifier symbols ("⌃S", "⌥") that the hold-key table is written in;
/// keyCapText() turns them into the words a Linux user reads on a key cap.
struct TooltipKeyLabels
{
    QString save = QStringLiteral("S");
    QString copy = QStringLiteral("C");
    std::optional<QString> hold = QStringLiteral("⌥");

    bool operator==(const TooltipKeyLabels &) const = default;
};

inline size_t qHash(const TooltipKeyLabels &labels, size_t seed = 0)
{
    return qHashMulti(seed, labels.save, labels.copy, labels.hold.value_or(QString()), labels.hold.has_value());
}

/// A key label as a Linux keyboard names it: "⌃S" is "Ctrl+S", "⌥" is "Alt", "⌘" is "Super",
/// "⇧" is "Shift"; anything else is kept as it is.
inline QString keyCapText(const QString &label)
{
    QStringList parts;
    qsizetype i = 0;
    for (; i < label.size(); ++i) {
        const char16_t c = label.at(i).unicode();
        if (c == u'⌃')
            parts << QStringLiteral("Ctrl");
        else if (c == u'⌥')
            parts << QStringLiteral("Alt");
        else if (c == u'⌘')
            parts << QStringLiteral("Super");
        else if (c == u'⇧')
            parts << QStringLiteral("Shift");
        else
            break;
    }
    if (i < label.size())
        parts << label.mid(i);
    return parts.join(QLatin1Char('+'));
}

} // namespace Lumivox
