#pragma once

// Shared by the two record readers (over a parsed JSON tree, and straight over the text), which
// must agree on every verdict and every message. Not for use outside the record codec.

#include <QString>

#include <cstddef>

namespace Lumivox::WordRecords::Detail {

// Where in a record a reader is; the text is only built when something is wrong.
struct Path
{
    const Path *parent = nullptr;
    const char *key = nullptr; // null for an array element (or the root)
    std::size_t index = 0;

    Path child(const char *name) const { return Path {this, name, 0}; }
    Path element(std::size_t i) const { return Path {this, nullptr, i}; }

    QString text() const
    {
        QString out = parent ? parent->text() : QString();
        if (key) {
            if (!out.isEmpty())
                out += QLatin1Char('.');
            out += QLatin1String(key);
        } else if (parent) {
            out += QStringLiteral("[%1]").arg(index);
        }
        return out;
    }

    QString describe(const char *what) const
    {
        const QString where = text();
        return where.isEmpty() ? QString::fromLatin1(what) : where + QStringLiteral(": ") + QLatin1String(what);
    }
};

namespace Message {
inline constexpr const char *missing = "missing";
inline constexpr const char *null = "null where a value is required";
inline constexpr const char *notString = "not a string";
inline constexpr const char *notInteger = "not an integer";
inline constexpr const char *outOfRange = "integer out of range";
inline constexpr const char *notDate = "not a date (seconds since 2001)";
inline constexpr const char *notBoolean = "not a boolean";
inline constexpr const char *notUUID = "not a UUID";
inline constexpr const char *notObject = "not an object";
inline constexpr const char *notArray = "not an array";
} // namespace Message

QString syntaxError(std::size_t byte);
QString nestingError();

/// A stored date without a fraction is written as a JSON integer when it is one exactly; the
/// writers agree on this through here.
bool isWholeDate(double seconds);

} // namespace Lumivox::WordRecords::Detail
