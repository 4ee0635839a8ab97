#pragma once

// Finds links in plain text: a URL with a scheme ("https://…", "mailto:…"), an address that starts
// with "www.", an e-mail address, or a domain name that ends in a known top-level domain
// ("example.com/path"). A file name such as "file.txt" is no link.
//
// Immutable once built; safe to share across threads.

#include <QStringView>

#include <memory>
#include <optional>

namespace Lumivox::Native {

class LinkDetector
{
public:
    /// A UTF-16 range of the text that was searched.
    struct Match
    {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const Match &) const = default;
    };

    virtual ~LinkDetector() = default;

    /// The first link in the text, if any.
    virtual std::optional<Match> firstMatch(QStringView text) const = 0;

    /// Absent when the detector cannot be built.
    static std::shared_ptr<LinkDetector> makeDefault();
};

} // namespace Lumivox::Native
