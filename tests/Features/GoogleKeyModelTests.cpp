// The Google key screen's rules over a fake keyring: what is saved and what is refused, Paste, the
// masked key, a removal that fails, and the counts its texts carry.

#include "Fakes/FakeSecrets.h"
#include "Features/Settings/GoogleKeyModel.h"
#include "Models/LanguageCatalog.h"
#include "Native/Services.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using Status = Native::Secrets::Status;

namespace {

const QString service = KeychainStorage::licenseService;
const QString account = KeychainStorage::googleAPIKeyAccount;

class GoogleKeyModelTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeSecrets> secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> override {secrets};

    void SetUp() override
    {
        // The storage's cache outlives a test; start each one from "no key".
        secrets->failWith(std::nullopt);
        await(KeychainStorage::remove(account, service));
    }

    std::optional<QString> stored() const
    {
        auto item = secrets->item(service, account);
        return item ? std::optional<QString>(QString::fromUtf8(*item)) : std::nullopt;
    }
};

} // namespace

TEST_F(GoogleKeyModelTest, SaveStoresTheTrimmedKeyAndRefusesWhatCannotBeOne)
{
    struct Row
    {
        const char *name;
        QString typed;
        std::optional<Status> failure;
        std::optional<QString> expectedStored;
        QString expectedError; // a prefix; empty for none
    };
    const QString error = GoogleKeyModel::saveFailedMessage;
    const std::vector<Row> rows {
        {"trimmed of blanks and a newline", QStringLiteral("  AIzaKey-123\n"), {}, QStringLiteral("AIzaKey-123"), {}},
        {"blank does nothing", QStringLiteral(" \t\n "), {}, {}, {}},
        {"a pasted flood is refused", QString(10000, QLatin1Char('k')), {}, {}, QStringLiteral("This is too long")},
        {"control characters are refused",
         QStringLiteral("AIza\x01key"),
         {},
         {},
         QStringLiteral("A Google key cannot")},
        {"a delete character is refused", QStringLiteral("AIza\x7fkey"), {}, {}, QStringLiteral("A Google key cannot")},
        {"an inner space is kept as typed", QStringLiteral("AIza key"), {}, QStringLiteral("AIza key"), {}},
        {"a line break inside is refused", QStringLiteral("AIza\nkey"), {}, {}, QStringLiteral("A Google key cannot")},
        {"a locked keyring says so", QStringLiteral("AIzaKey"), Status::locked, {}, error + " The keyring is locked."},
        {"no secret service says so",
         QStringLiteral("AIzaKey"),
         Status::noService,
         {},
         error + " No keyring service is running."},
        {"any other failure", QStringLiteral("AIzaKey"), Status::failed, {}, error},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        GoogleKeyModel model;
        model.setApiKey(row.typed);
        secrets->failWith(row.failure);
        await(model.saveKey());
        secrets->failWith(std::nullopt);
        EXPECT_EQ(stored(), row.expectedStored);
        EXPECT_EQ(model.hasSavedKey(), row.expectedStored.has_value());
        EXPECT_TRUE(model.errorMessage().startsWith(row.expectedError)) << model.errorMessage().toStdString();
        EXPECT_EQ(model.errorMessage().isEmpty(), row.expectedError.isEmpty());
        // Only a save that worked empties the field; a refused or failed one keeps the text.
        EXPECT_EQ(model.apiKey(), row.expectedStored ? QString() : row.typed);
        EXPECT_FALSE(model.isBusy());
    }
}

TEST_F(GoogleKeyModelTest, PasteFillsOnlyAnEmptyFieldWithTheTrimmedClipboard)
{
    GoogleKeyModel model;
    EXPECT_TRUE(model.showsPaste());
    EXPECT_FALSE(model.canSave());

    model.pasteKey(std::nullopt);
    EXPECT_EQ(model.apiKey(), QString());
    model.pasteKey(QString(10000, QLatin1Char('x')));
    EXPECT_EQ(model.apiKey(), QString());
    EXPECT_FALSE(model.errorMessage().isEmpty());

    model.pasteKey(QStringLiteral("\n AIzaPasted \n"));
    EXPECT_EQ(model.apiKey(), QStringLiteral("AIzaPasted"));
    EXPECT_FALSE(model.showsPaste());
    EXPECT_TRUE(model.canSave());
    EXPECT_EQ(secrets->writes, 0) << "pasting never saves";

    model.setApiKey(QStringLiteral("   "));
    EXPECT_FALSE(model.showsPaste()) << "a field of blanks is not empty";
    EXPECT_FALSE(model.canSave());
}

TEST_F(GoogleKeyModelTest, TheSavedKeyShowsOnlyItsLastFourCharacters)
{
    const std::vector<std::pair<QString, QString>> rows {
        {QStringLiteral("AIzaSyABCDEFwxyz"), QStringLiteral("wxyz")},
        {QStringLiteral("abc"), QStringLiteral("abc")},
        {QStringLiteral("abcd"), QStringLiteral("abcd")},
        // Graphemes, not code units: a flag and an accented letter are one character each.
        {QStringLiteral("key\U0001F1EB\U0001F1F7e\u0301xy"), QStringLiteral("\U0001F1EB\U0001F1F7e\u0301xy")},
    };
    for (const auto &[key, tail] : rows) {
        SCOPED_TRACE(key.toStdString());
        secrets->put(service, account, key.toUtf8());
        ASSERT_TRUE(await(KeychainStorage::save(account, key, service)));
        GoogleKeyModel model;
        ASSERT_TRUE(model.hasSavedKey());
        EXPECT_EQ(model.maskedKeyTail(), tail);
        EXPECT_EQ(model.maskedKeyDescription(), QStringLiteral("Google key ending in ") + tail);
    }
}

TEST_F(GoogleKeyModelTest, AFailedRemovalKeepsTheKeyStoredAndTheSavedScreen)
{
    ASSERT_TRUE(await(KeychainStorage::save(account, QStringLiteral("AIzaKeep"), service)));
    GoogleKeyModel model;
    ASSERT_TRUE(model.hasSavedKey());

    secrets->failWith(Status::locked);
    await(model.removeKey());
    secrets->failWith(std::nullopt);
    EXPECT_TRUE(model.hasSavedKey());
    EXPECT_EQ(model.errorMessage(), GoogleKeyModel::removeFailedMessage + QStringLiteral(" The keyring is locked."));
    EXPECT_EQ(stored(), QStringLiteral("AIzaKeep"));
    EXPECT_EQ(KeychainStorage::get(account, service), QStringLiteral("AIzaKeep")) << "the cache still serves it";

    await(model.removeKey());
    EXPECT_FALSE(model.hasSavedKey());
    EXPECT_TRUE(model.errorMessage().isEmpty());
    EXPECT_EQ(stored(), std::nullopt);
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
}

TEST_F(GoogleKeyModelTest, CountsComeFromTheCatalogue)
{
    const auto google = GoogleKeyModel::googleLanguages();
    const auto featured = GoogleKeyModel::featuredLanguages();
    ASSERT_EQ(google.size() + size_t(GoogleKeyModel::onDeviceCount()), LanguageCatalog::allLanguages().size());
    QStringList names;
    for (const Language &l : featured)
        names.append(l.name);
    EXPECT_EQ(names, QStringList({"Khmer", "Nepali", "Sinhala", "Tamil"}));

    GoogleKeyModel model;
    EXPECT_EQ(model.chipTexts(), names);
    EXPECT_EQ(model.moreChipText(), QStringLiteral("+ %1 more").arg(google.size() - 4));
    EXPECT_EQ(GoogleKeyModel::moreThanNamedCount(), int(google.size()) - 2);
    EXPECT_TRUE(model.savedLine().startsWith(QStringLiteral("Sinhala, Tamil and %1 more").arg(google.size() - 2)));
    // The counts above read as words only while there are more languages than the chips name.
    EXPECT_GT(google.size(), featured.size());
}
