#include "Native/Updates/Appcast.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace Lumivox::Native::Appcast {

namespace {

// Feeds of this format put their own elements and attributes under the "sparkle" prefix.
const QString feedPrefix = QStringLiteral("sparkle");

bool isSparkle(const QXmlStreamReader &xml, QStringView name)
{
    return xml.prefix() == feedPrefix && xml.name() == name;
}

QString prefixedAttribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.prefix() == feedPrefix && attribute.name() == name)
            return attribute.value().toString().trimmed();
    }
    return {};
}

// Reads one <item>; the reader stands on its start element and ends on its end element.
Item readItem(QXmlStreamReader &xml)
{
    Item item;
    QString shortVersion;
    QString link;
    QString enclosureURL;
    while (xml.readNextStartElement()) {
        if (isSparkle(xml, u"version")) {
            item.version = xml.readElementText().trimmed();
        } else if (isSparkle(xml, u"shortVersionString")) {
            shortVersion = xml.readElementText().trimmed();
        } else if (xml.namespaceUri().isEmpty() && xml.name() == u"link") {
            link = xml.readElementText().trimmed();
        } else if (xml.namespaceUri().isEmpty() && xml.name() == u"enclosure") {
            const QXmlStreamAttributes attributes = xml.attributes();
            enclosureURL = attributes.value(QStringLiteral("url")).toString().trimmed();
            if (item.version.isEmpty())
                item.version = prefixedAttribute(attributes, u"version");
            if (shortVersion.isEmpty())
                shortVersion = prefixedAttribute(attributes, u"shortVersionString");
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    // The offer shows it in a sentence: a text too long for one is not a version's name.
    const bool shortFits = !shortVersion.isEmpty() && shortVersion.size() <= maximumDisplayVersionLength;
    item.displayVersion = shortFits ? shortVersion : item.version;
    // The release page is opened in the user's browser: never a local file or a script.
    const QUrl page(link.isEmpty() ? enclosureURL : link, QUrl::StrictMode);
    if (isSafeAddress(page))
        item.pageURL = page;
    return item;
}

} // namespace

bool isSafeAddress(const QUrl &address)
{
    return address.isValid() && address.scheme() == u"https" && !address.host().isEmpty()
        && address.userInfo().isEmpty();
}

bool isValidVersion(const QString &version)
{
    if (version.isEmpty() || version.count(QLatin1Char('.')) >= maximumVersionParts)
        return false;
    const QStringList parts = version.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 9)
            return false;
        for (QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
    }
    return true;
}

int compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 l = i < left.size() ? left[i].toLongLong() : 0;
        const qint64 r = i < right.size() ? right[i].toLongLong() : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

std::variant<std::vector<Item>, Error> parse(const QByteArray &document)
{
    if (document.size() > maximumFeedBytes)
        return Error {QStringLiteral("the update feed is larger than %1 bytes").arg(maximumFeedBytes)};
    QXmlStreamReader xml(document);
    std::vector<Item> items;
    bool sawChannel = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            // Entities can only be declared here; a feed has no use for them.
            return Error {QStringLiteral("the update feed declares a document type")};
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"channel") {
            sawChannel = true;
        } else if (xml.name() == u"item" && sawChannel) {
            Item item = readItem(xml);
            if (isValidVersion(item.version) && item.pageURL.isValid())
                items.push_back(std::move(item));
        }
    }
    if (xml.hasError())
        return Error {QStringLiteral("the update feed is not valid XML (line %1: %2)")
                          .arg(xml.lineNumber())
                          .arg(xml.errorString())};
    if (!sawChannel)
        return Error {QStringLiteral("the update feed has no channel")};
    return items;
}

std::optional<Item> newestUpdate(const std::vector<Item> &items, const QString &current)
{
    std::optional<Item> newest;
    for (const Item &item : items) {
        if (compareVersions(item.version, current) <= 0)
            continue;
        if (!newest || compareVersions(item.version, newest->version) > 0)
            newest = item;
    }
    return newest;
}

} // namespace Lumivox::Native::Appcast
