// The on-device languages found from the installed Apertium modes: the languages a mode translates
// into, named as the translator looks modes up, over a folder of made-up modes and over this machine.

#include "Models/LanguageCatalog.h"
#include "Native/Translation/InstalledLanguages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

QStringList tableCodes()
{
    QStringList codes;
    for (const Language &language : LanguageCatalog::allLanguages())
        codes.append(language.id.toLower());
    return codes;
}

struct ModesFolder
{
    explicit ModesFolder(const QString &path) { qputenv("LUMIVOX_APERTIUM_MODES", path.toUtf8()); }
    ~ModesFolder() { qunsetenv("LUMIVOX_APERTIUM_MODES"); }
};

} // namespace

TEST(InstalledLanguages, ALanguageCountsWhenAnInstalledModeTranslatesIntoIt)
{
    QTemporaryDir modes;
    for (const char *name : {"eng-spa.mode", "es-pt.mode", "ukr-rus.mode", // into es, pt, ru
                             "spa-eng_US.mode", "eco-es-fr.mode", // a regional variant, a three-part name
                             "xx-yy.mode", "README", "fr-it.modes"}) {
        QFile file(modes.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(modes.path()).mkdir(QStringLiteral("ita-spa.mode"))); // a folder, not a mode
    const ModesFolder folder(modes.path());
    EXPECT_EQ(Native::onDeviceTargetLanguages(tableCodes()),
              (std::set<QString> {QStringLiteral("es"), QStringLiteral("pt"), QStringLiteral("ru")}));
    EXPECT_EQ(Native::onDeviceTargetLanguages({QStringLiteral("pt")}), std::set<QString> {QStringLiteral("pt")});

    const ModesFolder missing(modes.filePath(QStringLiteral("nowhere")));
    EXPECT_TRUE(Native::onDeviceTargetLanguages(tableCodes()).empty());
}

TEST(InstalledLanguages, ThisMachineTranslatesIntoSpanishAndEnglishNotChinese)
{
    const std::set<QString> found = Native::onDeviceTargetLanguages(tableCodes());
    EXPECT_EQ(found.count(QStringLiteral("es")), 1u);
    EXPECT_EQ(found.count(QStringLiteral("en")), 1u);
    EXPECT_EQ(found.count(QStringLiteral("zh-cn")), 0u);
    EXPECT_EQ(found.count(QStringLiteral("zh-tw")), 0u);
}
