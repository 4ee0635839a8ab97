#pragma once

// The Google key screen: where the user pastes their Google Cloud Translation key, saves it to the
// keyring, sees it masked and removes it. The screen is the key's only writer; the other readers
// hear of its changes from the keyring cache's announcer.
//
// Saving and removing go through the keyring's worker and may wait for a password dialog, so they
// run as coroutines while `isBusy` is set; the screen stays responsive and further clicks are
// ignored until the answer arrives. The key is never logged and never shown whole.

#include "Models/Language.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace Lumivox {

class GoogleKeyModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString apiKey READ apiKey WRITE setApiKey NOTIFY apiKeyChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(bool hasSavedKey READ hasSavedKey NOTIFY savedKeyChanged)
    Q_PROPERTY(QString maskedKeyTail READ maskedKeyTail NOTIFY savedKeyChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY apiKeyChanged)
    Q_PROPERTY(bool showsPaste READ showsPaste NOTIFY apiKeyChanged)

public:
    /// Longer than any key the service hands out by far; anything beyond is not a key.
    static constexpr qsizetype maximumKeyLength = 512;

    /// Reads the stored key (through the keyring cache) as the screen opens; when the cache has no
    /// answer yet, the keyring's answer follows when it arrives.
    explicit GoogleKeyModel(QObject *parent = nullptr);

    /// Languages only the Google key translates, in the table's order.
    static std::vector<Language> googleLanguages();
    /// The languages the entry screen names in its chips, in the table's order.
    static std::vector<Language> featuredLanguages();
    /// How many key-only languages there are besides the two that texts name ("Sinhala, Tamil and
    /// N more"); never negative.
    static int moreThanNamedCount();
    /// How many languages are translated on this computer.
    static int onDeviceCount();

    QString apiKey() const { return m_apiKey; }
    void setApiKey(const QString &text);
    QString errorMessage() const { return m_errorMessage; }
    bool hasSavedKey() const { return m_savedKey.has_value(); }
    /// The last four user-perceived characters of the stored key, all of a shorter one.
    QString maskedKeyTail() const;
    bool isBusy() const { return m_isBusy; }
    bool canSave() const { return !trimmedKey().isEmpty() && !m_isBusy; }
    /// Only while the field is empty; a field of blanks hides it too.
    bool showsPaste() const { return m_apiKey.isEmpty(); }

    QStringList chipTexts() const;
    /// "+ N more", or empty when every key-only language is among the chips.
    QString moreChipText() const;
    QString savedLine() const;

    /// The accessible name of the masked key.
    QString maskedKeyDescription() const;

    /// Stores the trimmed field text; a blank field does nothing, text that cannot be a key is
    /// refused with a message and kept in the field.
    QCoro::Task<> saveKey();
    /// Takes the clipboard's text, trimmed, into the field; nothing when there is none. Text that
    /// cannot be a key is refused with a message and left out of the field.
    void pasteKey(const std::optional<QString> &clipboardText);
    /// Deletes the stored key. Only a real removal shows the entry screen; on a failure the key
    /// stays stored and in use, and the saved screen says so.
    QCoro::Task<> removeKey();

    /// What is wrong with text as a key, or nothing.
    static std::optional<QString> problemWith(const QString &trimmedKey);

    static const QString saveFailedMessage;
    static const QString removeFailedMessage;

signals:
    void apiKeyChanged();
    void errorMessageChanged();
    void savedKeyChanged();
    void isBusyChanged();

private:
    QCoro::Task<> loadSavedKey();
    QString trimmedKey() const;
    void setErrorMessage(const QString &message);
    void setBusy(bool busy);

    QString m_apiKey;
    QString m_errorMessage;
    std::optional<QString> m_savedKey;
    bool m_isBusy = false;
    // A save or removal made before the keyring's first answer arrived wins over that answer.
    bool m_userActed = false;
};

} // namespace Lumivox
