#include "Services/Words/HistoryRetention.h"

namespace Lumivox::HistoryRetentions {

const std::array<HistoryRetention, 4> &all()
{
    static constexpr std::array<HistoryRetention, 4> retentions {HistoryRetention::month, HistoryRetention::quarter,
                                                                 HistoryRetention::year, HistoryRetention::forever_};
    return retentions;
}

QString rawValue(HistoryRetention retention)
{
    switch (retention) {
    case HistoryRetention::month:
        return QStringLiteral("month");
    case HistoryRetention::quarter:
        return QStringLiteral("quarter");
    case HistoryRetention::year:
        return QStringLiteral("year");
    case HistoryRetention::forever_:
        break;
    }
    return QStringLiteral("forever");
}

std::optional<HistoryRetention> fromRawValue(const QString &raw)
{
    for (HistoryRetention retention : all()) {
        if (rawValue(retention) == raw)
            return retention;
    }
    return std::nullopt;
}

QString title(HistoryRetention retention)
{
    switch (retention) {
    case HistoryRetention::month:
        return QStringLiteral("1 month");
    case HistoryRetention::quarter:
        return QStringLiteral("3 months");
    case HistoryRetention::year:
        return QStringLiteral("1 year");
    case HistoryRetention::forever_:
        break;
    }
    return QStringLiteral("Forever");
}

std::optional<int> days(HistoryRetention retention)
{
    switch (retention) {
    case HistoryRetention::month:
        return 31;
    case HistoryRetention::quarter:
        return 92;
    case HistoryRetention::year:
        return 366;
    case HistoryRetention::forever_:
        break;
    }
    return std::nullopt;
}

} // namespace Lumivox::HistoryRetentions
