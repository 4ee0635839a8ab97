#include "Features/Words/WordDetailModel.h"

#include "Features/Words/AppIcons.h"
#include "Features/Words/Pronouncer.h"
#include "Features/Words/WordDates.h"
#include "Features/Words/WordHighlight.h"
#include "Features/Words/WordLanguages.h"
#include "Services/Words/WordBook.h"
#include "Shared/Platform/AppIdentity.h"

#include <QClipboard>
#include <QGuiApplication>

namespace Lumivox {

namespace {

QString bold(const QString &label, const QString &value)
{
    const QString strong = QStringLiteral("<b>") + value.toHtmlEscaped() + QStringLiteral("</b>");
    return label.isEmpty() ? strong : label.toHtmlEscaped() + QLatin1Char(' ') + strong;
}

} // namespace

WordDetailModel::WordDetailModel(WordBook &book, OpenReview openReview, Now now, QObject *parent)
    : QObject(parent)
    , m_book(book)
    , m_openReview(std::move(openReview))
    , m_now(std::move(now))
{
    // A test host never wakes the desktop's speech service.
    if (!AppIdentity::isHostingTests())
        Pronouncer::whenAvailabilityKnown(this, [this](bool available) { setSpeechAvailable(available); });
}

void WordDetailModel::setSpeechAvailable(bool available)
{
    if (m_speechAvailable == available)
        return;
    m_speechAvailable = available;
    emit changed();
}

QString WordDetailModel::hearHelp() const
{
    return canHear() ? QStringLiteral("Hear it") : QStringLiteral("Speech is not installed on this computer");
}

void WordDetailModel::setItem(std::optional<WordItem> item)
{
    if (item == m_item)
        return;
    m_item = std::move(item);
    emit changed();
}

QString WordDetailModel::word() const
{
    return m_item ? m_item->word : QString();
}

QString WordDetailModel::subtitle() const
{
    if (!m_item)
        return {};
    QStringList parts;
    if (m_item->base)
        parts << QStringLiteral("base form ") + *m_item->base;
    parts << WordLanguages::pair(m_item->source, m_item->target);
    return parts.join(QStringLiteral(" · "));
}

bool WordDetailModel::isSaved() const
{
    return m_item && m_item->isSaved();
}

QString WordDetailModel::saveToggleText() const
{
    return isSaved() ? QStringLiteral("Saved") : QStringLiteral("Save");
}

QString WordDetailModel::saveToggleHelp() const
{
    return isSaved() ? QStringLiteral("Remove from saved words") : QStringLiteral("Save this word");
}

QString WordDetailModel::hearLabel() const
{
    return QStringLiteral("Hear ") + word();
}

QString WordDetailModel::primaryActionText() const
{
    return isSaved() ? QStringLiteral("Review This Word") : QStringLiteral("Save");
}

bool WordDetailModel::primaryActionEnabled() const
{
    if (!m_item)
        return false;
    if (!m_item->isSaved())
        return true;
    return !(m_item->review && m_item->review->learned);
}

std::vector<WordSense> WordDetailModel::senses() const
{
    return m_item ? m_item->senses : std::vector<WordSense>();
}

std::optional<WordDetailModel::Encounter> WordDetailModel::lastEncounter() const
{
    if (!m_item || m_item->encounters.empty())
        return std::nullopt;
    const WordLookup &lookup = m_item->encounters.front();
    const auto [now, calendar] = m_now();
    Encounter card;
    card.appID = lookup.appID;
    if (lookup.appName)
        card.source = *lookup.appName;
    else if (lookup.appID)
        card.source = AppIcons::name(*lookup.appID);
    else
        card.source = QStringLiteral("Unknown app");
    if (lookup.title)
        card.source += QStringLiteral(" · ") + *lookup.title;
    card.date = WordDates::withTime(lookup.date, now, calendar);
    if (lookup.sentence)
        card.sentence = WordHighlight::sentence(*lookup.sentence, m_item->word, lookup.wordOffset);
    if (lookup.translation)
        card.translation = WordHighlight::translation(*lookup.translation, m_item->meaning());
    return card;
}

std::vector<WordDetailModel::AlsoMet> WordDetailModel::alsoMet() const
{
    std::vector<AlsoMet> rows;
    if (!m_item)
        return rows;
    const auto [now, calendar] = m_now();
    for (std::size_t i = 1; i < m_item->encounters.size() && rows.size() < maxAlsoMet; ++i) {
        const WordLookup &lookup = m_item->encounters[i];
        if (!lookup.sentence)
            continue;
        rows.push_back({lookup.appID, WordHighlight::sentence(*lookup.sentence, m_item->word, lookup.wordOffset),
                        WordDates::shortText(lookup.date, now, calendar)});
    }
    return rows;
}

QString WordDetailModel::countText(qint64 count)
{
    return count == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(count);
}

QStringList WordDetailModel::statistics() const
{
    if (!m_item)
        return {};
    const auto [now, calendar] = m_now();
    QStringList pieces;
    if (m_item->isSaved()) {
        pieces << bold(QStringLiteral("Met"), countText(m_item->met));
        pieces << bold(QStringLiteral("Saved"), WordDates::shortText(m_item->date, now, calendar));
        if (m_item->review) {
            if (m_item->review->learned)
                pieces << bold(QString(), QStringLiteral("Learned"));
            else
                pieces << bold(QStringLiteral("Next review"), WordDates::review(m_item->review->due, now, calendar));
        }
    } else {
        pieces << bold(QStringLiteral("Looked up"), countText(m_item->met));
        pieces << bold(QStringLiteral("Last"), WordDates::shortText(m_item->date, now, calendar));
    }
    return pieces;
}

QString WordDetailModel::copyText() const
{
    if (!m_item)
        return {};
    QStringList meanings;
    for (const WordSense &sense : m_item->senses)
        meanings << sense.meaning;
    return m_item->word + QStringLiteral(" — ") + meanings.join(QStringLiteral("; "));
}

QString WordDetailModel::removeTitle() const
{
    return QStringLiteral("Remove “%1” from Words?").arg(word());
}

QString WordDetailModel::removeMessage() const
{
    return QStringLiteral("Its review progress is lost. History keeps the times you looked it up.");
}

void WordDetailModel::hear()
{
    if (m_item && canHear())
        Pronouncer::speak(m_item->word, m_item->source);
}

void WordDetailModel::toggleSaved()
{
    if (!m_item)
        return;
    if (m_item->isSaved()) {
        requestRemove();
        return;
    }
    // A word is saved from the place it was last met; one never met cannot be.
    if (!m_item->encounters.empty())
        m_book.save(m_item->encounters.front(), m_now().first);
}

void WordDetailModel::performPrimaryAction()
{
    if (!m_item)
        return;
    if (!m_item->isSaved()) {
        toggleSaved();
        return;
    }
    if (primaryActionEnabled() && m_openReview)
        m_openReview(m_item->savedID);
}

void WordDetailModel::copy()
{
    if (!m_item)
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(copyText());
}

void WordDetailModel::requestRemove()
{
    if (!isSaved())
        return;
    // The word asked about is the one removed, whatever the detail shows by the time of the answer.
    m_pendingRemoval = m_item->savedID;
    emit removeConfirmationRequested();
}

void WordDetailModel::confirmRemove()
{
    if (const auto id = std::exchange(m_pendingRemoval, std::nullopt))
        m_book.remove(*id);
}

} // namespace Lumivox
