#pragma once

// Preference keys that are built from data rather than spelled out where they are used.

#include <QString>

namespace Lumivox::PreferenceKeys {

/// The key of the tooltip font chosen for a language: "font_" followed by the language code exactly
/// as given (callers pass `Language::id`, e.g. "zh-CN"), so keys written by earlier versions match.
inline QString font(const QString &languageCode)
{
    return QStringLiteral("font_") + languageCode;
}

} // namespace Lumivox::PreferenceKeys
