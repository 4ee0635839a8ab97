#include "Shared/Diagnostics/AppTally.h"

#include "Shared/Text/TextUtils.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace Lumivox {

namespace {

const QString times = QStringLiteral(" \u00D7 ");

// A key already present keeps counting; a new one is only admitted while there is room, so a
// flood of distinct texts cannot grow the tally.
void countKey(std::map<QString, qint64> &counts, const QString &key, std::size_t limit)
{
    if (auto it = counts.find(key); it != counts.end()) {
        ++it->second;
        return;
    }
    if (counts.size() < limit)
        counts.emplace(key, 1);
}

QString item(const QString &name, qint64 count)
{
    return name + times + QString::number(count);
}

// Most frequent first; equal counts in text order, so the line reads the same on every run.
QString rankedPairs(const std::map<QString, qint64> &counts)
{
    std::vector<std::pair<QString, qint64>> pairs(counts.cbegin(), counts.cend());
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto &a, const auto &b) {
        if (a.second != b.second)
            return a.second > b.second;
        return a.first < b.first;
    });
    QStringList items;
    for (const auto &[name, count] : pairs)
        items.append(item(name, count));
    return items.join(QStringLiteral(", "));
}

} // namespace

void AppTally::apply(const Update &update)
{
    switch (update.kind) {
    case Update::Kind::shown:
        if (update.text == QLatin1String("ocr"))
            ++shownOCR;
        else if (update.text == QLatin1String("cache"))
            ++shownCache;
        else
            ++shownAccessibility;
        break;
    case Update::Kind::axMiss:
        if (update.text == QLatin1String("capture empty"))
            ++axThenCaptureEmpty;
        else if (update.text == QLatin1String("capture failed"))
            ++axThenCaptureFailed;
        else if (update.text == QLatin1String("no screen capture"))
            ++axThenNoScreenRecording;
        else
            ++axThenUnreadable;
        if (update.webAX == QLatin1String("first"))
            ++webAXFirst;
        else if (update.webAX == QLatin1String("already"))
            ++webAXStillMissed;
        if (!update.role.isEmpty())
            countKey(roles, update.role, roleLimit);
        break;
    case Update::Kind::translation: {
        const QString error = Text::graphemePrefix(update.text, 80);
        if (!error.isEmpty())
            countKey(translationErrors, error, translationErrorLimit);
        break;
    }
    case Update::Kind::filtered:
        ++filtered;
        break;
    case Update::Kind::pointerMoved:
        ++pointerMoved;
        break;
    }
}

QStringList AppTally::reportLines(const QString &app) const
{
    const qint64 shownCount = shown();
    const qint64 misses = readMisses();
    const qint64 errors = std::accumulate(translationErrors.cbegin(), translationErrors.cend(), qint64(0),
                                          [](qint64 sum, const auto &pair) { return sum + pair.second; });

    QString shownText;
    if (shownCount > 0 && (misses > 0 || errors > 0))
        shownText = QStringLiteral("sometimes  shown") + times + QString::number(shownCount) + QStringLiteral(" of ")
            + QString::number(shownCount + misses + errors);
    else if (shownCount > 0)
        shownText = item(QStringLiteral("shown"), shownCount);
    else if (misses == 0 && errors > 0)
        shownText = QStringLiteral("read, never shown");
    else if (misses > 0 || filtered > 0)
        shownText = QStringLiteral("never shown");
    else
        shownText = QStringLiteral("no hover recorded");

    QStringList sources;
    if (shownAccessibility > 0)
        sources.append(item(QStringLiteral("accessibility"), shownAccessibility));
    if (shownOCR > 0)
        sources.append(item(QStringLiteral("ocr"), shownOCR));
    if (shownCache > 0)
        sources.append(item(QStringLiteral("cache"), shownCache));

    QString first = QStringLiteral("  ") + app + QStringLiteral("  ") + shownText;
    if (!sources.isEmpty())
        first += QStringLiteral("  (") + sources.join(QStringLiteral(", ")) + QLatin1Char(')');
    QStringList lines {first};

    QStringList notRead;
    const std::pair<const char *, qint64> counters[] = {
        {"unreadable", axThenUnreadable},        {"capture empty", axThenCaptureEmpty},
        {"capture failed", axThenCaptureFailed}, {"no screen capture", axThenNoScreenRecording},
        {"pointer moved", pointerMoved},         {"word filtered", filtered},
    };
    for (const auto &[name, count] : counters) {
        if (count > 0)
            notRead.append(item(QString::fromLatin1(name), count));
    }
    if (!notRead.isEmpty())
        lines.append(QStringLiteral("    not read: ") + notRead.join(QStringLiteral(", ")));

    if (!roles.empty())
        lines.append(QStringLiteral("    roles on miss: ") + rankedPairs(roles));

    if (webAXFirst > 0 || webAXStillMissed > 0)
        lines.append(QStringLiteral("    web accessibility: first request") + times + QString::number(webAXFirst)
                     + QStringLiteral(", still missed after request") + times + QString::number(webAXStillMissed));

    if (!translationErrors.empty())
        lines.append(QStringLiteral("    translation: ") + rankedPairs(translationErrors));

    return lines;
}

} // namespace Lumivox
