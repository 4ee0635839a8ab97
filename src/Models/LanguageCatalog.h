#pragma once

// The program's one list of target languages, and the look-ups that turn codes from settings and from
// language detection into rows, on-device codes and an on-device yes or no. The table is fixed data,
// built once, thread-safely, on first use. Which of its languages translate on the device depends on
// this computer: the composition root hands the pairs over at start, and the catalogue never asks the
// system itself.

#include "Models/Language.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace Lumivox::LanguageCatalog {

/// The 54 rows, alphabetical by English name. Never empty: callers that need a fallback take the first.
const std::vector<Language> &allLanguages();
/// ar, zh-CN, en, fr, de, hi, ja, si, es, ta, in that order.
const std::vector<Language> &popularLanguages();
/// Every row that is not popular, sorted by name in the current locale.
const std::vector<Language> &otherLanguages();
/// The languages sorted by English name in the current locale, ignoring case; equal names keep
/// their order.
std::vector<Language> sortedByName(std::vector<Language> languages);
/// A language pair, lower-case codes from → to.
using OnDevicePair = std::pair<QString, QString>;

/// The lower-case codes of the languages translated on this computer: those English text reaches on
/// the device, and English when some language reaches it. Empty until setOnDevicePairs() hands the
/// pairs over. Safe on any thread.
std::set<QString> appleSupportedLanguageCodes();
/// The pairs on-device translation joins on this computer, directly or through a language between.
std::set<OnDevicePair> onDevicePairs();
/// Replaces the on-device pairs (codes are lower-cased; a pair of one language is dropped). The
/// composition root calls it once at start with the routes the platform found; tests put the pairs
/// they need in place.
void setOnDevicePairs(const std::set<OnDevicePair> &pairs);
/// Whether the code, lower-cased, is in the on-device language set. Safe on any thread.
bool isOnDeviceCode(QStringView code);
/// Whether some on-device pair starts or ends at the code, lower-cased. Safe on any thread.
bool isRouteLanguage(QStringView code);

/// The row of a code from settings: lower-cased and trimmed; a bare "zh" means Chinese (Simplified).
std::optional<Language> language(QStringView code);

/// The on-device code of a code from language detection: lower-cased, not trimmed; Chinese scripts map
/// to their regions. A code (or its mapped region) that no on-device pair starts or ends at gives none.
std::optional<QString> appleCode(QStringView detectedCode);

/// Whether this computer translates from one code to the other on the device: exactly when an
/// on-device pair joins them, compared lower-cased as written ("zh" and "zh-cn" count as two languages).
bool translatesOnDevice(QStringView from, QStringView to);

} // namespace Lumivox::LanguageCatalog
