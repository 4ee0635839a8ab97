#pragma once

// One row of the language table: a language the user can translate into.

#include <QHashFunctions>
#include <QString>
#include <QStringList>

#include <functional>

namespace Lumivox {

struct Language
{
    /// The code the translation services take: two letters, or Chinese with an upper-case region ("zh-CN").
    QString id;
    /// English name; the table is ordered by it.
    QString name;
    QString nativeName;
    /// Two regional-indicator characters.
    QString flag;
    /// Characters a font must cover to show the language ("Aa" for plain Latin letters).
    QString sampleScript;
    /// Font family names, best first.
    QStringList preferredFonts;
    /// A few common words in the language's own script.
    QStringList sampleWords;

    /// Whether this computer translates into the language on the device: English text reaches it (for
    /// English, some language does), so its id lower-cased is in the catalogue's on-device set.
    bool isAppleSupported() const;
    /// Such a language can only be translated with the user's Google key.
    bool requiresGoogleKey() const { return !isAppleSupported(); }

    bool operator==(const Language &) const = default;
};

inline size_t qHash(const Language &language, size_t seed = 0)
{
    return qHashMulti(seed, language.id, language.name, language.nativeName, language.flag, language.sampleScript,
                      language.preferredFonts, language.sampleWords);
}

} // namespace Lumivox

template<>
struct std::hash<Lumivox::Language>
{
    size_t operator()(const Lumivox::Language &language) const noexcept { return Lumivox::qHash(language); }
};
