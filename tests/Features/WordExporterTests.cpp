// Exporting saved words to a file: written whole or not at all, and a failure names the file and why.

#include "Fakes/WordsFixture.h"
#include "Features/Words/WordExporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Files may grow to `bytes` and no further while it lives, as on a nearly full disk; a write past
// the limit fails with "File too large" instead of stopping the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = nullptr;
};

std::vector<SavedWord> manyWords(int count)
{
    std::vector<SavedWord> words;
    for (int i = 0; i < count; ++i)
        words.push_back(
            makeSaved({.word = QStringLiteral("word%1").arg(i),
                       .meaning = QStringLiteral("meaning"),
                       .date = utcDate(2027, 1, 1),
                       .sentence = QStringLiteral("A sentence long enough to fill a file, word%1.").arg(i)}));
    return words;
}

} // namespace

TEST(WordExporterTest, WritesTheWholeTextOrNothingAndSaysWhy)
{
    QTemporaryDir folder;
    const auto words = manyWords(200);
    const auto into = [](QString path) {
        return [path](const QString &, const QString &) -> std::optional<QString> { return path; };
    };

    // Written: the file holds exactly the export text.
    const QString good = folder.filePath(QStringLiteral("ok.csv"));
    auto outcome = WordExporter::exportWords(words, WordExport::Format::csv, into(good));
    EXPECT_EQ(outcome.status, WordExporter::Outcome::Status::written);
    EXPECT_EQ(QString::fromUtf8(WordBookEnvironment::contents(good)),
              WordExport::text(words, WordExport::Format::csv, [](const QString &code) {
                  return code == QLatin1String("en") ? QStringLiteral("English") : QStringLiteral("French");
              }));

    QFile(folder.filePath(QStringLiteral("plain-file"))).open(QIODevice::WriteOnly);
    QDir(folder.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
    struct Case
    {
        const char *name;
        QString path;
        QString folderToCheck;
        bool applies = true;
    };
    const std::vector<Case> cases {
        {"missing folder", folder.filePath(QStringLiteral("missing/out.csv")), folder.path()},
        {"folder is a file", folder.filePath(QStringLiteral("plain-file/out.csv")), folder.path()},
        // Root writes through permission bits; /proc refuses new files to everyone.
        {"read-only folder", folder.filePath(QStringLiteral("locked/out.csv")),
         folder.filePath(QStringLiteral("locked")), geteuid() != 0},
        {"read-only file system", QStringLiteral("/proc/lumivox-export.csv"), QString()},
    };
    for (const Case &c : cases) {
        if (!c.applies)
            continue;
        const QStringList before = c.folderToCheck.isEmpty() ? QStringList() : entries(c.folderToCheck);
        outcome = WordExporter::exportWords(words, WordExport::Format::anki, into(c.path));
        EXPECT_EQ(outcome.status, WordExporter::Outcome::Status::failed) << c.name;
        ASSERT_TRUE(outcome.failure) << c.name;
        EXPECT_EQ(outcome.failure->path, c.path) << c.name;
        EXPECT_FALSE(outcome.failure->reason.isEmpty()) << c.name;
        EXPECT_TRUE(outcome.failure->message().contains(QFileInfo(c.path).fileName())) << c.name;
        if (!c.folderToCheck.isEmpty()) {
            EXPECT_EQ(entries(c.folderToCheck), before) << c.name << ": nothing left behind";
        }
    }
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Cancelled: nothing is written.
    const QStringList before = entries(folder.path());
    outcome = WordExporter::exportWords(words, WordExport::Format::csv,
                                        [](const QString &, const QString &) { return std::nullopt; });
    EXPECT_EQ(outcome.status, WordExporter::Outcome::Status::cancelled);
    EXPECT_FALSE(outcome.failure);
    EXPECT_EQ(entries(folder.path()), before);
}

TEST(WordExporterTest, AFullDiskLeavesTheOldFileAndNoPartialOne)
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("Lumivox words.csv"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the earlier export\n");
    }
    std::optional<WordExporter::Failure> failure;
    {
        FileSizeLimit limit(4096);
        failure = WordExporter::write(WordExport::csv(manyWords(500), [](const QString &c) { return c; }), target);
    }
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->reason.isEmpty());
    EXPECT_EQ(failure->message(),
              QStringLiteral("“Lumivox words.csv” could not be saved in “%1”: %2.")
                  .arg(QDir::toNativeSeparators(folder.path()), failure->reason));
    EXPECT_EQ(WordBookEnvironment::contents(target), QByteArray("the earlier export\n"));
    EXPECT_EQ(entries(folder.path()), QStringList {QStringLiteral("Lumivox words.csv")});
}
