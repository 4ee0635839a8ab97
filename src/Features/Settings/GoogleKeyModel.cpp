#include "Features/Settings/GoogleKeyModel.h"

#include "Models/LanguageCatalog.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Shared/Text/TextUtils.h"

#include <QPointer>

#include <algorithm>

namespace Lumivox {

namespace {

const QStringList featuredIDs {QStringLiteral("si"), QStringLiteral("ta"), QStringLiteral("ne"), QStringLiteral("km")};

// Why the keyring said no, in words the user can act on; empty when there is nothing to add.
QString reasonFor(const std::optional<KeychainStorage::Failure> &failure)
{
    if (!failure)
        return {};
    switch (failure->status) {
    case Native::Secrets::Status::locked:
        return QStringLiteral(" The keyring is locked.");
    case Native::Secrets::Status::noService:
        return QStringLiteral(" No keyring service is running.");
    case Native::Secrets::Status::timedOut:
        return QStringLiteral(" The keyring did not answer.");
    default:
        return {};
    }
}

bool isControl(char32_t c)
{
    // Cc and the line and paragraph separators; tabs and newlines inside a key count too.
    return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029;
}

} // namespace

const QString GoogleKeyModel::saveFailedMessage = QStringLiteral("Could not save the key to your keyring.");
const QString GoogleKeyModel::removeFailedMessage = QStringLiteral("Could not remove the key from your keyring.");

GoogleKeyModel::GoogleKeyModel(QObject *parent)
    : QObject(parent)
    , m_savedKey(KeychainStorage::get(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService))
{
    // The keyring's first answer after start, or a retry of a read that failed, lands here too.
    connect(&KeychainStorage::announcer(), &KeychainStorage::Announcer::answerCached, this,
            [this](const QString &key, const QString &service) {
                if (m_userActed || key != KeychainStorage::googleAPIKeyAccount
                    || service != KeychainStorage::licenseService)
                    return;
                const auto stored = KeychainStorage::get(key, service);
                if (std::exchange(m_savedKey, stored) != stored)
                    emit savedKeyChanged();
            });
    if (!m_savedKey) [[maybe_unused]]
        auto loading = loadSavedKey();
}

QCoro::Task<> GoogleKeyModel::loadSavedKey()
{
    const QPointer<GoogleKeyModel> self(this);
    const auto result =
        co_await KeychainStorage::load(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService);
    if (!self || m_userActed || !result.value)
        co_return;
    // The cache's announcement may have brought the same answer already.
    if (std::exchange(m_savedKey, result.value) != result.value)
        emit savedKeyChanged();
}

std::vector<Language> GoogleKeyModel::googleLanguages()
{
    std::vector<Language> out;
    std::ranges::copy_if(LanguageCatalog::allLanguages(), std::back_inserter(out),
                         [](const Language &l) { return l.requiresGoogleKey(); });
    return out;
}

std::vector<Language> GoogleKeyModel::featuredLanguages()
{
    std::vector<Language> out;
    std::ranges::copy_if(LanguageCatalog::allLanguages(), std::back_inserter(out),
                         [](const Language &l) { return featuredIDs.contains(l.id); });
    return out;
}

int GoogleKeyModel::moreThanNamedCount()
{
    return std::max(0, int(googleLanguages().size()) - 2);
}

int GoogleKeyModel::onDeviceCount()
{
    return int(
        std::ranges::count_if(LanguageCatalog::allLanguages(), [](const Language &l) { return l.isAppleSupported(); }));
}

void GoogleKeyModel::setApiKey(const QString &text)
{
    if (std::exchange(m_apiKey, text) != text)
        emit apiKeyChanged();
}

QString GoogleKeyModel::trimmedKey() const
{
    return Text::trimmed(m_apiKey);
}

QString GoogleKeyModel::maskedKeyTail() const
{
    if (!m_savedKey)
        return {};
    std::vector<Text::Segment> graphemes;
    Text::enumerateGraphemes(*m_savedKey, [&](const Text::Segment &s) {
        graphemes.push_back(s);
        return true;
    });
    if (graphemes.size() <= 4)
        return *m_savedKey;
    return m_savedKey->mid(graphemes[graphemes.size() - 4].start);
}

QString GoogleKeyModel::maskedKeyDescription() const
{
    return QStringLiteral("Google key ending in ") + maskedKeyTail();
}

QStringList GoogleKeyModel::chipTexts() const
{
    QStringList out;
    for (const Language &language : featuredLanguages())
        out.append(language.name);
    return out;
}

QString GoogleKeyModel::moreChipText() const
{
    const auto extra = qsizetype(googleLanguages().size()) - qsizetype(featuredLanguages().size());
    if (extra < 1)
        return {};
    return QStringLiteral("+ %1 more").arg(extra);
}

QString GoogleKeyModel::savedLine() const
{
    return QStringLiteral("Sinhala, Tamil and %1 more now translate through your Google key.")
        .arg(moreThanNamedCount());
}

std::optional<QString> GoogleKeyModel::problemWith(const QString &key)
{
    if (key.size() > maximumKeyLength)
        return QStringLiteral("This is too long to be a Google key (at most %1 characters).").arg(maximumKeyLength);
    bool control = false;
    Text::forEachScalar(key, [&](char32_t c) { control = control || isControl(c); });
    if (control)
        return QStringLiteral("A Google key cannot contain control characters or line breaks.");
    return std::nullopt;
}

void GoogleKeyModel::setErrorMessage(const QString &message)
{
    if (std::exchange(m_errorMessage, message) != message)
        emit errorMessageChanged();
}

void GoogleKeyModel::setBusy(bool busy)
{
    const bool couldSave = canSave();
    if (std::exchange(m_isBusy, busy) != busy)
        emit isBusyChanged();
    if (couldSave != canSave())
        emit apiKeyChanged();
}

QCoro::Task<> GoogleKeyModel::saveKey()
{
    const QString key = trimmedKey();
    if (key.isEmpty() || m_isBusy)
        co_return;
    if (auto problem = problemWith(key)) {
        setErrorMessage(*problem);
        co_return;
    }
    setBusy(true);
    m_userActed = true;
    const QPointer<GoogleKeyModel> self(this);
    const auto result =
        co_await KeychainStorage::save(KeychainStorage::googleAPIKeyAccount, key, KeychainStorage::licenseService);
    if (!self)
        co_return;
    setBusy(false);
    if (!result) {
        setErrorMessage(saveFailedMessage + reasonFor(result.failure));
        co_return;
    }
    setErrorMessage({});
    setApiKey({});
    m_savedKey = key;
    emit savedKeyChanged();
}

void GoogleKeyModel::pasteKey(const std::optional<QString> &clipboardText)
{
    if (!clipboardText)
        return;
    const QString key = Text::trimmed(*clipboardText);
    if (auto problem = problemWith(key)) {
        setErrorMessage(*problem);
        return;
    }
    setApiKey(key);
}

QCoro::Task<> GoogleKeyModel::removeKey()
{
    if (m_isBusy || !m_savedKey)
        co_return;
    setBusy(true);
    m_userActed = true;
    const QPointer<GoogleKeyModel> self(this);
    const auto result =
        co_await KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService);
    if (!self)
        co_return;
    setBusy(false);
    if (!result) {
        setErrorMessage(removeFailedMessage + reasonFor(result.failure));
        co_return;
    }
    setErrorMessage({});
    m_savedKey.reset();
    emit savedKeyChanged();
}

} // namespace Lumivox
