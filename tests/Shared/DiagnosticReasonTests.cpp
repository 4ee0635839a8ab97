#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Diagnostics/DiagnosticReason.h"

#include <gtest/gtest.h>

#include <set>

using namespace Lumivox;
using namespace Lumivox::DiagnosticReasons;

TEST(DiagnosticReason, RawValuesAreUniqueAndReadBackExactly)
{
    std::set<QString> seen;
    for (DiagnosticReason reason : allCases()) {
        EXPECT_TRUE(seen.insert(rawValue(reason)).second);
        EXPECT_EQ(fromRawValue(rawValue(reason)), reason);
        EXPECT_FALSE(label(reason).isEmpty());
    }
    EXPECT_EQ(seen.size(), 26u);
    EXPECT_EQ(fromRawValue(QStringLiteral("ocrMiss")), DiagnosticReason::ocrMiss);
    EXPECT_FALSE(fromRawValue(QStringLiteral("Shown")));
    EXPECT_FALSE(fromRawValue(QStringLiteral("shown ")));
    EXPECT_FALSE(fromRawValue(QString()));
}

TEST(DiagnosticReason, SkipAndRoutineSetsAndOutcomes)
{
    std::set<int> skips;
    std::set<int> routine;
    for (DiagnosticReason reason : allCases()) {
        if (isSkip(reason))
            skips.insert(static_cast<int>(reason));
        if (isRoutine(reason))
            routine.insert(static_cast<int>(reason));
        const QString outcome = reportOutcome(reason);
        if (reason == DiagnosticReason::shown)
            EXPECT_EQ(outcome, QStringLiteral("shown"));
        else
            EXPECT_EQ(outcome, isSkip(reason) ? QStringLiteral("skipped") : QStringLiteral("not shown"));
    }
    EXPECT_EQ(skips, (std::set<int> {1, 2, 3, 4, 5, 6, 7, 8, 10, 13, 17}));
    EXPECT_EQ(routine, (std::set<int> {0, 1, 2, 4, 5, 6, 8, 11, 13}));
}

TEST(DiagnosticLogSanitize, KeepsLettersMarksDigitsAndSevenSigns)
{
    EXPECT_EQ(DiagnosticLog::sanitize(QString()), QString());
    EXPECT_EQ(DiagnosticLog::sanitize(QStringLiteral(",;!?\"'()[]{}<>\n\t")), QString());
    EXPECT_EQ(DiagnosticLog::sanitize(QStringLiteral("a, b\nc")), QStringLiteral("a bc"));
    EXPECT_EQ(DiagnosticLog::sanitize(QStringLiteral("café 東京 ٣")), QStringLiteral("café 東京 ٣"));
    EXPECT_EQ(DiagnosticLog::sanitize(QStringLiteral("a → b ._-:/")), QStringLiteral("a → b ._-:/"));
    EXPECT_EQ(DiagnosticLog::sanitize(QStringLiteral("x->y")), QStringLiteral("x-y"));
    // Emoji, symbols and a lone surrogate go; a combining mark stays with its letter.
    QString broken = QStringLiteral("ok");
    broken.append(QChar(0xD800));
    EXPECT_EQ(DiagnosticLog::sanitize(broken + QStringLiteral("😀$+=e\u0301")), QStringLiteral("oke\u0301"));
}

TEST(DiagnosticLogSanitize, CutsToEightyCharactersAfterFiltering)
{
    EXPECT_EQ(DiagnosticLog::sanitize(QString(100, QLatin1Char('a'))), QString(80, QLatin1Char('a')));
    EXPECT_EQ(DiagnosticLog::sanitize(QString(90, QLatin1Char(',')) + QString(10, QLatin1Char('b'))),
              QString(10, QLatin1Char('b')));
    // Characters, not code units: 90 decomposed é give 80 of them (160 code units).
    QString decomposed;
    for (int i = 0; i < 90; ++i)
        decomposed += QStringLiteral("e\u0301");
    EXPECT_EQ(DiagnosticLog::sanitize(decomposed).size(), 160);
    QString astral;
    for (int i = 0; i < 90; ++i)
        astral += QStringLiteral("𝐀"); // a letter outside the basic plane
    EXPECT_EQ(DiagnosticLog::sanitize(astral).size(), 160);
}

TEST(DiagnosticLogSanitize, ErrorDetailIsDomainSpaceCode)
{
    EXPECT_EQ(DiagnosticLog::errorDetail({QStringLiteral("NSURLErrorDomain"), -1001}),
              QStringLiteral("NSURLErrorDomain -1001"));
    EXPECT_EQ(DiagnosticLog::errorDetail({QStringLiteral("QNetworkReply\n\"Error\""), 5}),
              QStringLiteral("QNetworkReplyError 5"));
}
