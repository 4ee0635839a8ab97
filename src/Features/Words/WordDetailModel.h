#pragma once

// Everything the word detail shows about one word, and its actions: hear it, save it, review it,
// copy it, remove it (only after a confirmation). Texts from other programs stay plain; the few
// rich texts (statistics, marked sentences) are built from escaped pieces. Date texts are worked out
// when asked for, with the current moment.

#include "Features/Words/WordItem.h"
#include "Models/StyledText.h"
#include "Services/Words/Calendar.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

namespace Lumivox {

class WordBook;

class WordDetailModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasItem READ hasItem NOTIFY changed)
    Q_PROPERTY(QString word READ word NOTIFY changed)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY changed)
    Q_PROPERTY(bool isSaved READ isSaved NOTIFY changed)
    Q_PROPERTY(QString saveToggleText READ saveToggleText NOTIFY changed)
    Q_PROPERTY(QString saveToggleHelp READ saveToggleHelp NOTIFY changed)
    Q_PROPERTY(QString hearLabel READ hearLabel NOTIFY changed)
    Q_PROPERTY(bool canHear READ canHear NOTIFY changed)
    Q_PROPERTY(QString hearHelp READ hearHelp NOTIFY changed)
    Q_PROPERTY(QString primaryActionText READ primaryActionText NOTIFY changed)
    Q_PROPERTY(bool primaryActionEnabled READ primaryActionEnabled NOTIFY changed)
    Q_PROPERTY(bool canRemove READ canRemove NOTIFY changed)

public:
    using OpenReview = std::function<void(std::optional<QUuid>)>;
    using Now = std::function<std::pair<Date, Calendar>()>;

    /// At most this many earlier places are listed under "Also met in".
    static constexpr std::size_t maxAlsoMet = 4;

    struct Encounter
    {
        std::optional<QString> appID;
        /// The application's name, and the window title after " · " when there is one.
        QString source;
        QString date;
        /// The sentence with the word marked; none when no sentence was kept.
        std::optional<StyledText> sentence;
        /// The translation with the meaning marked.
        std::optional<StyledText> translation;
    };
    struct AlsoMet
    {
        std::optional<QString> appID;
        StyledText sentence;
        QString date;
    };

    WordDetailModel(WordBook &book, OpenReview openReview, Now now, QObject *parent = nullptr);

    const std::optional<WordItem> &item() const { return m_item; }
    /// Shows another word, or none; `changed` fires only when what is shown differs.
    void setItem(std::optional<WordItem> item);

    bool hasItem() const { return m_item.has_value(); }
    QString word() const;
    /// "base form run · English → French".
    QString subtitle() const;
    bool isSaved() const;
    QString saveToggleText() const;
    QString saveToggleHelp() const;
    QString hearLabel() const;
    /// False once the speech service said nothing can speak; until it answers, true.
    bool canHear() const { return m_speechAvailable.value_or(true); }
    /// The speaker's tooltip: what it does, or why it does nothing.
    QString hearHelp() const;
    /// The speech service's answer (asked at construction, except in a test host).
    void setSpeechAvailable(bool available);
    /// "Save" for a word not saved, "Review This Word" for a saved one.
    QString primaryActionText() const;
    /// False for a learned word's review.
    bool primaryActionEnabled() const;
    bool canRemove() const { return isSaved(); }

    std::vector<WordSense> senses() const;
    /// The newest place the word was met.
    std::optional<Encounter> lastEncounter() const;
    /// Earlier places that kept a sentence, newest first.
    std::vector<AlsoMet> alsoMet() const;
    /// Rich-text pieces such as "Met <b>3 times</b>".
    QStringList statistics() const;
    /// "word — A; B".
    QString copyText() const;
    QString removeTitle() const;
    QString removeMessage() const;

    /// "once", or the count and " times".
    static QString countText(qint64 count);

public slots:
    void hear();
    /// Saves a word not saved (from its newest encounter); for a saved word asks to confirm removal.
    void toggleSaved();
    void performPrimaryAction();
    void copy();
    /// Asks to confirm removal.
    void requestRemove();
    /// The confirmation's Remove: removes the word the confirmation was asked for.
    void confirmRemove();

signals:
    void changed();
    void removeConfirmationRequested();

private:
    WordBook &m_book;
    OpenReview m_openReview;
    Now m_now;
    std::optional<WordItem> m_item;
    std::optional<QUuid> m_pendingRemoval;
    std::optional<bool> m_speechAvailable;
};

} // namespace Lumivox
