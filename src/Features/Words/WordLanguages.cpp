#include "Features/Words/WordLanguages.h"

#include "Models/LanguageCatalog.h"

#include <QLocale>

namespace Lumivox::WordLanguages {

std::optional<QString> name(const std::optional<QString> &code)
{
    if (!code || code->isEmpty())
        return std::nullopt;
    if (const auto language = LanguageCatalog::language(*code))
        return language->name;
    // QLocale answers an unknown code with the "C" locale, whose language is no name to show.
    const QLocale::Language language = QLocale(*code).language();
    if (language != QLocale::C && language != QLocale::AnyLanguage)
        return QLocale::languageToString(language);
    return *code;
}

QString pair(const std::optional<QString> &source, const QString &target)
{
    const QString targetName = name(target).value_or(target);
    const auto sourceName = name(source);
    if (!sourceName)
        return targetName;
    return *sourceName + QStringLiteral(" → ") + targetName;
}

} // namespace Lumivox::WordLanguages
