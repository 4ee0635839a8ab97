#include "Shared/Preferences/PreferenceValue.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>

namespace Lumivox {

namespace {

template<class... F>
struct Overloaded : F...
{
    using F::operator()...;
};
template<class... F>
Overloaded(F...) -> Overloaded<F...>;

bool isAsciiSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

qsizetype skipSpace(const QString &s, qsizetype i)
{
    while (i < s.size() && (isAsciiSpace(s[i]) || s[i].isSpace()))
        ++i;
    return i;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool stringToBool(const QString &s)
{
    qsizetype i = skipSpace(s, 0);
    if (i >= s.size())
        return false;
    const QChar first = s[i];
    if (first == u'Y' || first == u'y' || first == u'T' || first == u't')
        return true;
    if (first == u'+' || first == u'-')
        ++i;
    while (i < s.size() && s[i] == u'0')
        ++i;
    return i < s.size() && s[i] >= u'1' && s[i] <= u'9';
}

qint64 stringToInteger(const QString &s)
{
    qsizetype i = skipSpace(s, 0);
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        const int digit = s[i].unicode() - u'0';
        if (!negative) {
            if (value > (max - digit) / 10)
                return max;
            value = value * 10 + digit;
        } else {
            if (value < (min + digit) / 10)
                return min;
            value = value * 10 - digit;
        }
    }
    return value;
}

// The longest prefix (after white space) of the form [sign] digits [. digits] [e [sign] digits].
double stringToDouble(const QString &s)
{
    qsizetype i = skipSpace(s, 0);
    QByteArray number;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        if (s[i] == u'-')
            number.append('-');
        ++i;
    }
    qsizetype digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++digits)
        number.append(char(s[i].unicode()));
    if (i < s.size() && s[i] == u'.') {
        number.append('.');
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++digits)
            number.append(char(s[i].unicode()));
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent.append(char(s[j++].unicode()));
        qsizetype expDigits = 0;
        for (; j < s.size() && isDigit(s[j]); ++j, ++expDigits)
            exponent.append(char(s[j].unicode()));
        if (expDigits > 0)
            number.append(exponent);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number.constData(), number.constData() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; overflow goes to infinity, underflow to zero.
        const bool tiny = number.contains("e-");
        const bool negative = number.startsWith('-');
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return error == std::errc() ? value : 0;
}

qint64 doubleToInteger(double d)
{
    if (std::isnan(d))
        return 0;
    // 2^63 is exactly representable; anything at or past it clamps.
    if (d >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(d); // truncates towards zero
}

} // namespace

PreferenceValue::PreferenceValue(bool value)
    : m_storage(value)
{ }
PreferenceValue::PreferenceValue(int value)
    : m_storage(qint64(value))
{ }
PreferenceValue::PreferenceValue(qint64 value)
    : m_storage(value)
{ }
PreferenceValue::PreferenceValue(double value)
    : m_storage(value)
{ }
PreferenceValue::PreferenceValue(QString value)
    : m_storage(std::move(value))
{ }
PreferenceValue::PreferenceValue(QLatin1String value)
    : m_storage(QString(value))
{ }
PreferenceValue::PreferenceValue(const QStringList &value)
{
    List list;
    list.reserve(value.size());
    for (const QString &s : value)
        list.emplace_back(s);
    m_storage = std::make_shared<const List>(std::move(list));
}
PreferenceValue::PreferenceValue(QDateTime value)
    : m_storage(value.isValid() ? value.toUTC() : QDateTime())
{ }
PreferenceValue::PreferenceValue(QByteArray value)
    : m_storage(std::move(value))
{ }
PreferenceValue::PreferenceValue(List value)
    : m_storage(std::make_shared<const List>(std::move(value)))
{ }
PreferenceValue::PreferenceValue(Dictionary value)
    : m_storage(std::make_shared<const Dictionary>(std::move(value)))
{ }

PreferenceValue PreferenceValue::fromStringMap(const std::map<QString, QString> &map)
{
    Dictionary dictionary;
    for (const auto &[key, value] : map)
        dictionary.emplace_hint(dictionary.end(), key, PreferenceValue(value));
    return PreferenceValue(std::move(dictionary));
}

PreferenceValue::Type PreferenceValue::type() const
{
    return std::visit(Overloaded {
                          [](bool) { return Type::boolean; },
                          [](qint64) { return Type::integer; },
                          [](double) { return Type::real; },
                          [](const QString &) { return Type::string; },
                          [](const QDateTime &) { return Type::date; },
                          [](const QByteArray &) { return Type::data; },
                          [](const std::shared_ptr<const List> &) { return Type::list; },
                          [](const std::shared_ptr<const Dictionary> &) { return Type::dictionary; },
                      },
                      m_storage);
}

bool PreferenceValue::toBool() const
{
    if (const bool *b = std::get_if<bool>(&m_storage))
        return *b;
    if (const qint64 *i = std::get_if<qint64>(&m_storage))
        return *i != 0;
    if (const double *d = std::get_if<double>(&m_storage))
        return *d != 0; // NaN counts as not zero, as in C
    if (const QString *s = std::get_if<QString>(&m_storage))
        return stringToBool(*s);
    return false;
}

qint64 PreferenceValue::toInteger() const
{
    if (const bool *b = std::get_if<bool>(&m_storage))
        return *b ? 1 : 0;
    if (const qint64 *i = std::get_if<qint64>(&m_storage))
        return *i;
    if (const double *d = std::get_if<double>(&m_storage))
        return doubleToInteger(*d);
    if (const QString *s = std::get_if<QString>(&m_storage))
        return stringToInteger(*s);
    return 0;
}

double PreferenceValue::toDouble() const
{
    if (const bool *b = std::get_if<bool>(&m_storage))
        return *b ? 1.0 : 0.0;
    if (const qint64 *i = std::get_if<qint64>(&m_storage))
        return static_cast<double>(*i);
    if (const double *d = std::get_if<double>(&m_storage))
        return *d;
    if (const QString *s = std::get_if<QString>(&m_storage))
        return stringToDouble(*s);
    return 0;
}

std::optional<QString> PreferenceValue::toString() const
{
    if (const QString *s = std::get_if<QString>(&m_storage))
        return *s;
    if (const bool *b = std::get_if<bool>(&m_storage))
        return *b ? QStringLiteral("1") : QStringLiteral("0");
    if (const qint64 *i = std::get_if<qint64>(&m_storage))
        return QString::number(*i);
    if (const double *d = std::get_if<double>(&m_storage))
        return QString::number(*d, 'g', QLocale::FloatingPointShortest);
    return std::nullopt;
}

std::optional<QStringList> PreferenceValue::toStringList() const
{
    const List *list = listIfAny();
    if (!list)
        return std::nullopt;
    QStringList strings;
    strings.reserve(qsizetype(list->size()));
    for (const PreferenceValue &element : *list) {
        const QString *s = std::get_if<QString>(&element.m_storage);
        if (!s)
            return std::nullopt;
        strings.append(*s);
    }
    return strings;
}

std::optional<QDateTime> PreferenceValue::toDate() const
{
    if (const QDateTime *d = std::get_if<QDateTime>(&m_storage); d && d->isValid())
        return *d;
    return std::nullopt;
}

std::optional<QByteArray> PreferenceValue::toData() const
{
    if (const QByteArray *d = std::get_if<QByteArray>(&m_storage))
        return *d;
    return std::nullopt;
}

std::optional<PreferenceValue::List> PreferenceValue::toList() const
{
    if (const List *list = listIfAny())
        return *list;
    return std::nullopt;
}

std::optional<PreferenceValue::Dictionary> PreferenceValue::toDictionary() const
{
    if (const Dictionary *dictionary = dictionaryIfAny())
        return *dictionary;
    return std::nullopt;
}

const PreferenceValue::Dictionary *PreferenceValue::dictionaryIfAny() const
{
    if (const auto *p = std::get_if<std::shared_ptr<const Dictionary>>(&m_storage))
        return p->get();
    return nullptr;
}

const PreferenceValue::List *PreferenceValue::listIfAny() const
{
    if (const auto *p = std::get_if<std::shared_ptr<const List>>(&m_storage))
        return p->get();
    return nullptr;
}

bool PreferenceValue::operator==(const PreferenceValue &other) const
{
    if (m_storage.index() != other.m_storage.index())
        return false;
    if (const List *list = listIfAny())
        return *list == *other.listIfAny();
    if (const Dictionary *dictionary = dictionaryIfAny())
        return *dictionary == *other.dictionaryIfAny();
    return m_storage == other.m_storage;
}

} // namespace Lumivox
