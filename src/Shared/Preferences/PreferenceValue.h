#pragma once

// One value of the preference store: the types of a typed property list (boolean, integer, real,
// string, date, data, list, dictionary) and its conversion rules, so that a setting written as one
// type reads sensibly as another (an integer 1 reads as true, a string "42" as the integer 42).
//
// Lists and dictionaries are immutable once built and shared between copies, so copying a value
// (even a dictionary of thousands of entries) costs a reference count.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace Lumivox {

class PreferenceValue
{
public:
    enum class Type { boolean, integer, real, string, date, data, list, dictionary };

    using List = std::vector<PreferenceValue>;
    using Dictionary = std::map<QString, PreferenceValue>;

    PreferenceValue(bool value);
    PreferenceValue(int value);
    PreferenceValue(qint64 value);
    PreferenceValue(double value);
    PreferenceValue(QString value);
    PreferenceValue(QLatin1String value);
    /// A list of strings.
    PreferenceValue(const QStringList &value);
    /// Dates keep millisecond precision and are stored in UTC. An invalid date is stored as-is and
    /// reads back as no date.
    PreferenceValue(QDateTime value);
    PreferenceValue(QByteArray value);
    PreferenceValue(List value);
    PreferenceValue(Dictionary value);
    /// A dictionary of strings.
    static PreferenceValue fromStringMap(const std::map<QString, QString> &map);
    // A pointer would otherwise turn into a bool.
    template<class T>
    PreferenceValue(T *) = delete;

    Type type() const;

    // The typed property list's conversions:
    /// Boolean as is; a number is true when not zero; a string is true when it starts (after white
    /// space) with Y, y, T or t, or with an optional sign, zeros and then a digit 1-9. Anything else: false.
    bool toBool() const;
    /// Integer as is; real truncated towards zero (clamped to the integer range); boolean 0 or 1; a
    /// string's leading decimal integer (after white space, with an optional sign; "3.9" gives 3,
    /// clamped on overflow). Anything else: 0.
    qint64 toInteger() const;
    /// Real or integer; boolean 0 or 1; a string's leading decimal number ("2.5e3x" gives 2500).
    /// Anything else: 0.
    double toDouble() const;
    /// String as is; a number as its shortest decimal text (a boolean as "1" or "0"). Anything else: none.
    std::optional<QString> toString() const;
    /// A list whose every element is a string. Anything else: none.
    std::optional<QStringList> toStringList() const;
    std::optional<QDateTime> toDate() const;
    std::optional<QByteArray> toData() const;
    std::optional<List> toList() const;
    std::optional<Dictionary> toDictionary() const;
    /// Access to a dictionary without a copy; null for any other type.
    const Dictionary *dictionaryIfAny() const;
    const List *listIfAny() const;

    bool operator==(const PreferenceValue &other) const;

private:
    using Storage = std::variant<bool, qint64, double, QString, QDateTime, QByteArray, std::shared_ptr<const List>,
                                 std::shared_ptr<const Dictionary>>;
    Storage m_storage;
};

} // namespace Lumivox
