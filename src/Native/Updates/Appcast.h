#pragma once

// The update feed: an RSS document whose items each announce one release. We read only what the
// offer needs (the comparable version, the version shown to the user and the release's page) and
// refuse anything that could make reading it costly or unsafe: a document type declaration (the
// only way to declare entities), a document past the size limit, a page that is not https or that
// carries a user name or password, a version of more numbers than any release needs.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>
#include <vector>

namespace Lumivox::Native::Appcast {

struct Item
{
    /// The version compared with ours ("sparkle:version"): dot-separated numbers.
    QString version;
    /// The version shown to the user ("sparkle:shortVersionString"), else `version`.
    QString displayVersion;
    /// Where the user downloads the release; always https, never with user information.
    QUrl pageURL;
};

struct Error
{
    QString message;
};

/// Larger feeds are refused: ours lists a handful of releases in a few kilobytes.
inline constexpr qint64 maximumFeedBytes = 1024 * 1024;

/// The items with a valid version and an https page, in document order. Items without them are
/// skipped; a document that is not a well-formed feed is an error.
std::variant<std::vector<Item>, Error> parse(const QByteArray &document);

/// A version has at most this many numbers; a shown version at most this many characters (a longer
/// one gives way to the version itself).
inline constexpr qsizetype maximumVersionParts = 8;
inline constexpr qsizetype maximumDisplayVersionLength = 40;

/// Numbers separated by dots, each at most nine digits, at most maximumVersionParts of them ("1",
/// "2.0", "10.4.12").
bool isValidVersion(const QString &version);

/// An address the feed may lead to, as a release page or by a redirect: https, with a host, and
/// without a user name or password ("https://lumivox.app@example.com/" leads to example.com).
bool isSafeAddress(const QUrl &address);
/// Compares two valid versions number by number; missing numbers count as 0 ("2" == "2.0").
int compareVersions(const QString &a, const QString &b);

/// The newest item strictly newer than `current`; nothing when none is.
std::optional<Item> newestUpdate(const std::vector<Item> &items, const QString &current);

} // namespace Lumivox::Native::Appcast
