#pragma once

// The program's one list of target languages, and the look-ups that turn codes from settings and from
// language detection into rows, on-device codes and an on-device yes or no. The table is fixed data,
// built once, thread-safely, on first use. Which of its languages translate on the device depends on
// this computer: the composition root hands that set over at start, and the catalogue never asks the
// system itself.

#include "Models/Language.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <set>
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
/// The lower-case codes that on-device translation handles on this computer: empty until
/// setOnDeviceLanguageCodes() hands them over. Safe on any thread.
std::set<QString> appleSupportedLanguageCodes();
/// Replaces the on-device set (codes are lower-cased). The composition root calls it once at start
/// with what the platform found installed; tests put the set they need in place.
void setOnDeviceLanguageCodes(const std::set<QString> &codes);
/// Whether the code, lower-cased, is in the on-device set. Safe on any thread.
bool isOnDeviceCode(QStringView code);

/// The row of a code from settings: lower-cased and trimmed; a bare "zh" means Chinese (Simplified).
std::optional<Language> language(QStringView code);

/// The on-device code of a code from language detection: lower-cased, not trimmed; Chinese scripts map
/// to their regions. A code (or its mapped region) that is not in the on-device set gives none.
std::optional<QString> appleCode(QStringView detectedCode);

/// Whether the pair is two different on-device codes, compared lower-cased as written ("zh" and
/// "zh-cn" count as two languages).
bool translatesOnDevice(QStringView from, QStringView to);

} // namespace Lumivox::LanguageCatalog
