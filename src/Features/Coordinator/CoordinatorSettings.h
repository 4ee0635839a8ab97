#pragma once

// The coordinator's settings as they are kept in the preference store: the keys, the start values,
// how a stored value is read (a value of the wrong type counts as absent), the keys of earlier
// versions, and the per-language tooltip font.

#include "Shared/Preferences/PreferenceStore.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace Lumivox {

struct CoordinatorSettings
{
    static inline const QString skipNonWordsKey = QStringLiteral("skipNonWords");
    static inline const QString targetLanguageKey = QStringLiteral("translateTarget");
    static inline const QString recentLanguagesKey = QStringLiteral("recentTargetLanguages");
    static inline const QString fontSizeKey = QStringLiteral("fontSize");
    static inline const QString holdKeyKey = QStringLiteral("holdKey");
    static inline const QString limitToSelectedAppsKey = QStringLiteral("limitToSelectedApps");
    static inline const QString allowedAppIDsKey = QStringLiteral("allowedAppIDs");
    static inline const QString hasCompletedOnboardingKey = QStringLiteral("hasCompletedOnboarding");
    /// Earlier names: the word filter's switch, and a key of a service no longer used.
    static inline const QString legacySkipNonWordsKey = QStringLiteral("useVelquistFilter");
    static inline const QString legacyApiKeyKey = QStringLiteral("velquistApiKey");
    /// Earlier per-language font keys, still written beside the new ones.
    static inline const QString legacySinhalaFontKey = QStringLiteral("sinhalaFont");
    static inline const QString legacyEnglishFontKey = QStringLiteral("englishFont");

    /// The font when neither a stored choice nor the font catalogue names one.
    static inline const QString fallbackFont = QStringLiteral("SF Pro");

    bool skipNonWords = true;
    QString targetLanguage = QStringLiteral("si");
    QStringList recentLanguages;
    double fontSize = 16.0;
    QString holdKey = QStringLiteral("option");
    bool limitToSelectedApps = false;
    QSet<QString> allowedAppIDs;

    /// What the store holds, each missing or mistyped value replaced by its start value.
    static CoordinatorSettings read(const PreferenceStore &defaults);

    /// Drops the keys of earlier versions and writes `skipNonWords` under its own key, so a value
    /// read from the old key survives it.
    static void migrateLegacyKeys(PreferenceStore &defaults, bool skipNonWords);

    /// The stored tooltip font of a language (an empty name counts as none), else the best installed
    /// font for it, else the fallback.
    static QString font(const PreferenceStore &defaults, const QString &code);
    /// Stores the tooltip font of a language, under the old key too for Sinhala and English.
    static void setFont(PreferenceStore &defaults, const QString &name, const QString &code);

    /// The set as the stored list: sorted, so the file does not change with hash order.
    static QStringList sortedList(const QSet<QString> &set);
};

} // namespace Lumivox
