// Which language pairs this computer translates on the device, and through which modes, over sets of
// installed mode names as Debian names them; and what the language catalogue then counts as
// translated on this computer.

#include "Models/LanguageCatalog.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Native/Translation/TranslationRoutes.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Lumivox;
using Native::TranslationRoute;
using Native::TranslationRoutes;

namespace {

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// "en>fr eng-spa,es-fr" for a route, "en>ru -" for none.
std::string describe(const TranslationRoutes &routes, const QString &from, const QString &to)
{
    const auto route = routes.route(from, to);
    const QString modes = route ? route->modes.join(QLatin1Char(',')) : QStringLiteral("-");
    return (from + u'>' + to + u' ' + modes).toStdString();
}

} // namespace

TEST(TranslationRoutes, EachPairTakesItsOwnModeElseOneLanguageBetweenAndEnglishDecidesTheLanguages)
{
    const QStringList debian = Testing::installedModes;
    struct Case
    {
        const char *name;
        QStringList modes;
        std::vector<const char *> routes; // "from>to modes" as describe() writes them
        const char *languages;
    };
    const std::vector<Case> cases {
        {"Debian's pairs",
         debian,
         {"en>es eng-spa", "es>en spa-eng", "en>fr eng-spa,es-fr", "fr>en fr-es,spa-eng", "en>pt eng-spa,es-pt",
          "en>it eng-spa,spa-ita", "it>pt ita-spa,es-pt", "pt>fr pt-es,es-fr", "fr>it fr-es,spa-ita", "ru>uk rus-ukr",
          "uk>ru ukr-rus", "en>ru -", "ru>en -", "es>ru -", "en>de -", "en>en -", "zh-cn>en -"},
         "en es fr it pt"},
        {"English into Spanish alone: nothing reaches English",
         words("eng-spa"),
         {"en>es eng-spa", "es>en -", "en>fr -"},
         "es"},
        {"from English through Spanish, but nothing back",
         words("eng-spa es-fr"),
         {"en>fr eng-spa,es-fr", "fr>en -", "es>fr es-fr"},
         "es fr"},
        {"Russian and Ukrainian alone", words("rus-ukr ukr-rus"), {"ru>uk rus-ukr", "uk>ru ukr-rus", "en>ru -"}, ""},
        {"a direct pair wins over a route",
         words("eng-spa es-fr en-fr fr-en"),
         {"en>fr en-fr", "fr>en fr-en"},
         "en es fr"},
        {"among middles the first by code",
         words("en-es es-fr en-de de-fr"),
         {"en>fr en-de,de-fr", "en>es en-es", "es>fr es-fr"},
         "de es fr"},
        {"the same middle whatever order the modes come in",
         words("de-fr en-de es-fr en-es"),
         {"en>fr en-de,de-fr"},
         "de es fr"},
        {"one route through one middle, never two",
         words("en-es es-fr fr-it"),
         {"en>it -", "es>it es-fr,fr-it", "en>fr en-es,es-fr"},
         "es fr"},
        {"variants and three-part names join nothing",
         words("spa-eng_US eco-es-fr es-pt_BR eng-spa"),
         {"es>en -", "es>fr -", "es>pt -", "en>es eng-spa"},
         "es"},
        {"nothing installed", {}, {"en>es -"}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TranslationRoutes routes(c.modes);
        for (const char *expected : c.routes) {
            const QStringList parts = QString::fromLatin1(expected).split(QLatin1Char(' '));
            const QStringList pair = parts[0].split(QLatin1Char('>'));
            EXPECT_EQ(describe(routes, pair[0], pair[1]), expected);
        }
        const Testing::ScopedOnDevicePairs pairs(routes.pairsAmong(Testing::tableCodes()));
        const std::set<QString> languages = LanguageCatalog::appleSupportedLanguageCodes();
        EXPECT_EQ(QStringList(languages.begin(), languages.end()).join(QLatin1Char(' ')).toStdString(), c.languages);
    }
}

TEST(TranslationRoutes, ARouteNamesItsMiddleAndTheCatalogueAgreesWithTheRoutes)
{
    const TranslationRoutes routes(Testing::installedModes);
    EXPECT_EQ(routes.route(QStringLiteral("en"), QStringLiteral("it")),
              (TranslationRoute {QStringLiteral("en"), QStringLiteral("it"), words("eng-spa spa-ita"),
                                 QStringLiteral("es")}));
    EXPECT_EQ(routes.route(QStringLiteral("en"), QStringLiteral("es"))->middle, std::nullopt);

    const Testing::ScopedOnDevicePairs pairs(routes.pairsAmong(Testing::tableCodes()));
    for (const QString &from : Testing::tableCodes()) {
        for (const QString &to : Testing::tableCodes()) {
            EXPECT_EQ(LanguageCatalog::translatesOnDevice(from, to), routes.route(from, to).has_value())
                << from.toStdString() << ">" << to.toStdString();
        }
    }
    // Russian text is read as Russian, though English reaches neither it nor Ukrainian.
    EXPECT_EQ(LanguageCatalog::appleCode(u"ru"), QStringLiteral("ru"));
    EXPECT_TRUE(LanguageCatalog::language(u"ru")->requiresGoogleKey());
    EXPECT_TRUE(LanguageCatalog::language(u"uk")->requiresGoogleKey());
    EXPECT_FALSE(LanguageCatalog::language(u"it")->requiresGoogleKey());
}

TEST(TranslationRoutes, TheTranslatorGivesARouteTheSessionsOfItsPairsAndFindsTheModesOnce)
{
    Native::ApertiumTranslator translator(TranslationRoutes(words("eng-spa spa-eng es-fr")));
    using Availability = Native::Translator::Availability;
    EXPECT_EQ(translator.availability(QStringLiteral("en"), QStringLiteral("fr")), Availability::installed);
    EXPECT_EQ(translator.availability(QStringLiteral("fr"), QStringLiteral("en")), Availability::unsupported);
    EXPECT_EQ(translator.availability(QStringLiteral("fr"), QStringLiteral("es")), Availability::supported);
    const auto routed = translator.session(QStringLiteral("en"), QStringLiteral("fr"));
    ASSERT_TRUE(routed);
    EXPECT_TRUE(dynamic_cast<Native::ApertiumRouteSession *>(routed.get()));
    EXPECT_EQ(translator.session(QStringLiteral("en"), QStringLiteral("fr")), routed);
    EXPECT_TRUE(
        dynamic_cast<Native::ApertiumSession *>(translator.session(QStringLiteral("en"), QStringLiteral("es")).get()));
    EXPECT_FALSE(translator.session(QStringLiteral("fr"), QStringLiteral("en")));

    // The modes on disk are read once: a pair installed later counts from the next start.
    QTemporaryDir modes;
    ASSERT_TRUE(QFile(modes.filePath(QStringLiteral("eng-spa.mode"))).open(QIODevice::WriteOnly));
    qputenv("LUMIVOX_APERTIUM_MODES", modes.path().toUtf8());
    Native::ApertiumTranslator installed;
    EXPECT_EQ(installed.availability(QStringLiteral("en"), QStringLiteral("es")), Availability::installed);
    ASSERT_TRUE(QFile(modes.filePath(QStringLiteral("es-fr.mode"))).open(QIODevice::WriteOnly));
    EXPECT_EQ(installed.availability(QStringLiteral("en"), QStringLiteral("fr")), Availability::unsupported);
    EXPECT_EQ(Native::ApertiumTranslator().availability(QStringLiteral("en"), QStringLiteral("fr")),
              Availability::installed);
    qunsetenv("LUMIVOX_APERTIUM_MODES");
}
