#pragma once

// Helpers shared by the test programs.

#include <QCoreApplication>
#include <QCoroTask>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include "Models/LanguageCatalog.h"
#include "Native/Translation/TranslationRoutes.h"

#include <chrono>
#include <functional>
#include <set>

namespace Lumivox::Testing {

/// Runs the event loop until the coroutine task finishes and returns its value.
template<class T>
T await(QCoro::Task<T> &&task)
{
    return QCoro::waitFor(std::move(task));
}

/// Processes events until `condition` holds or the timeout passes; returns the condition's last value.
inline bool spinUntil(const std::function<bool()> &condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

/// A path under the source tree (for test data files).
inline QString sourcePath(const QString &relative)
{
    return qEnvironmentVariable("LUMIVOX_SOURCE_DIR", QStringLiteral(".")) + QLatin1Char('/') + relative;
}

/// The Apertium modes of the language pairs the project installs, as Debian names them.
inline const QStringList installedModes {
    QStringLiteral("eng-spa"),  QStringLiteral("spa-eng"),   QStringLiteral("spa-eng_US"), QStringLiteral("es-fr"),
    QStringLiteral("fr-es"),    QStringLiteral("eco-es-fr"), QStringLiteral("eco-fr-es"),  QStringLiteral("es-pt"),
    QStringLiteral("es-pt_BR"), QStringLiteral("pt-es"),     QStringLiteral("spa-ita"),    QStringLiteral("ita-spa"),
    QStringLiteral("rus-ukr"),  QStringLiteral("ukr-rus")};

/// The codes of the language table, lower-cased.
inline QStringList tableCodes()
{
    QStringList codes;
    for (const Language &language : LanguageCatalog::allLanguages())
        codes.append(language.id.toLower());
    return codes;
}

/// The pairs those modes join, directly or through Spanish: the on-device pairs every test program
/// starts with (the program itself finds its own at start).
inline std::set<LanguageCatalog::OnDevicePair> installedPairs()
{
    return Native::TranslationRoutes(installedModes).pairsAmong(tableCodes());
}

/// What English text reaches over those pairs, and English.
inline const std::set<QString> installedPairLanguages {QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"),
                                                       QStringLiteral("it"), QStringLiteral("pt")};

/// Every pair among the codes: a computer where each of the languages reaches every other.
inline std::set<LanguageCatalog::OnDevicePair> everyPairAmong(const std::set<QString> &codes)
{
    std::set<LanguageCatalog::OnDevicePair> pairs;
    for (const QString &from : codes) {
        for (const QString &to : codes)
            pairs.emplace(from, to);
    }
    return pairs;
}

/// Other on-device pairs for the life of the object.
class ScopedOnDevicePairs
{
public:
    explicit ScopedOnDevicePairs(const std::set<LanguageCatalog::OnDevicePair> &pairs)
        : m_previous(LanguageCatalog::onDevicePairs())
    {
        LanguageCatalog::setOnDevicePairs(pairs);
    }
    ~ScopedOnDevicePairs() { LanguageCatalog::setOnDevicePairs(m_previous); }
    ScopedOnDevicePairs(const ScopedOnDevicePairs &) = delete;
    ScopedOnDevicePairs &operator=(const ScopedOnDevicePairs &) = delete;

private:
    std::set<LanguageCatalog::OnDevicePair> m_previous;
};

/// On-device languages that each reach every other, for the life of the object.
class ScopedOnDeviceLanguages : public ScopedOnDevicePairs
{
public:
    explicit ScopedOnDeviceLanguages(const std::set<QString> &codes)
        : ScopedOnDevicePairs(everyPairAmong(codes))
    { }
};

} // namespace Lumivox::Testing
