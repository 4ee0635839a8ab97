#include "Features/Coordinator/CoordinatorSettings.h"

#include "Models/FontCatalog.h"
#include "Models/LanguageCatalog.h"
#include "Shared/Preferences/PreferenceKeys.h"

#include <algorithm>
#include <optional>

namespace Lumivox {

namespace {

// A boolean, or the number 0 or 1, is a switch; anything else (a string, even "YES"; a 2) was not
// written by us and counts as absent.
std::optional<bool> storedSwitch(const PreferenceStore &defaults, const QString &key)
{
    const auto value = defaults.object(key);
    if (!value)
        return std::nullopt;
    switch (value->type()) {
    case PreferenceValue::Type::boolean:
        return value->toBool();
    case PreferenceValue::Type::integer:
    case PreferenceValue::Type::real:
        if (value->toDouble() == 0.0 || value->toDouble() == 1.0)
            return value->toDouble() == 1.0;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<double> storedNumber(const PreferenceStore &defaults, const QString &key)
{
    const auto value = defaults.object(key);
    if (!value)
        return std::nullopt;
    if (value->type() == PreferenceValue::Type::integer || value->type() == PreferenceValue::Type::real)
        return value->toDouble();
    return std::nullopt;
}

std::optional<QString> legacyFontKey(const QString &code)
{
    if (code == QLatin1String("si"))
        return CoordinatorSettings::legacySinhalaFontKey;
    if (code == QLatin1String("en"))
        return CoordinatorSettings::legacyEnglishFontKey;
    return std::nullopt;
}

} // namespace

CoordinatorSettings CoordinatorSettings::read(const PreferenceStore &defaults)
{
    CoordinatorSettings s;
    s.skipNonWords =
        storedSwitch(defaults, skipNonWordsKey).value_or(storedSwitch(defaults, legacySkipNonWordsKey).value_or(true));
    s.targetLanguage = defaults.string(targetLanguageKey).value_or(s.targetLanguage);
    s.recentLanguages = defaults.stringList(recentLanguagesKey).value_or(QStringList());
    s.fontSize = storedNumber(defaults, fontSizeKey).value_or(s.fontSize);
    s.holdKey = defaults.string(holdKeyKey).value_or(s.holdKey);
    s.limitToSelectedApps = defaults.boolValue(limitToSelectedAppsKey);
    const QStringList allowed = defaults.stringList(allowedAppIDsKey).value_or(QStringList());
    s.allowedAppIDs = QSet<QString>(allowed.begin(), allowed.end());
    return s;
}

void CoordinatorSettings::migrateLegacyKeys(PreferenceStore &defaults, bool skipNonWords)
{
    defaults.remove(legacySkipNonWordsKey);
    defaults.remove(legacyApiKeyKey);
    defaults.set(skipNonWordsKey, skipNonWords);
}

QString CoordinatorSettings::font(const PreferenceStore &defaults, const QString &code)
{
    QStringList keys {PreferenceKeys::font(code)};
    if (const auto legacy = legacyFontKey(code))
        keys.append(*legacy);
    for (const QString &key : keys) {
        const QString stored = defaults.string(key).value_or(QString());
        if (!stored.isEmpty())
            return stored;
    }
    if (const auto language = LanguageCatalog::language(code))
        return FontCatalog::bestFont(language->id, language->sampleScript, language->preferredFonts);
    return fallbackFont;
}

void CoordinatorSettings::setFont(PreferenceStore &defaults, const QString &name, const QString &code)
{
    defaults.set(PreferenceKeys::font(code), name);
    if (const auto legacy = legacyFontKey(code))
        defaults.set(*legacy, name);
}

QStringList CoordinatorSettings::sortedList(const QSet<QString> &set)
{
    QStringList list(set.begin(), set.end());
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace Lumivox
