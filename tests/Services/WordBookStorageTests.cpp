#include "Fakes/FakeWordBookEnvironment.h"
#include "Shared/Storage/FolderLock.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

using FileStatus = struct stat;

const QString asideName = QStringLiteral("Words-unreadable-1800000000.json");
const QString historyAsideName = QStringLiteral("History-unreadable-1800000000.jsonl");

class WordBookStorageTest : public ::testing::Test, protected WordBookEnvironment
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    /// A book that keeps history, with `count` saved words.
    std::unique_ptr<WordBook> bookWithSavedWords(int count)
    {
        defaults->set(WordBook::keepsHistoryKey, true);
        auto book = makeBook();
        for (int i = 0; i < count; ++i)
            book->save(lookup(QStringLiteral("word%1").arg(i), now()), now());
        return book;
    }

    static ino_t inode(const QString &file)
    {
        FileStatus info {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : 0;
    }
};

} // namespace

TEST_F(WordBookStorageTest, AFirstStartCreatesNoFileUntilSomethingIsKept)
{
    auto book = makeBook();
    book->flush();
    EXPECT_TRUE(folderEntries().isEmpty());

    book->setKeepsHistory(true);
    ASSERT_TRUE(book->record(lookup(QStringLiteral("run"), now())));
    book->flush();
    EXPECT_EQ(folderEntries(), QStringList {WordBookStorage::historyFileName});

    book->save(lookup(QStringLiteral("walk"), now()), now());
    book->flush();
    EXPECT_EQ(folderEntries(), (QStringList {WordBookStorage::historyFileName, WordBookStorage::savedFileName}));

    auto again = makeBook();
    ASSERT_EQ(again->saved().size(), 1u);
    EXPECT_EQ(again->saved().front(), book->saved().front());
    EXPECT_EQ(again->history(), book->history());
}

TEST_F(WordBookStorageTest, ASlashIsWrittenEscapedInBothFilesAndReadBack)
{
    auto book = bookWithSavedWords(0);
    WordLookup slashed = lookup(QStringLiteral("and/or"), now(), QStringLiteral("Read and/or write."));
    slashed.appName = QStringLiteral("Files/Docs");
    ASSERT_TRUE(book->record(slashed));
    book->save(slashed, now());
    ASSERT_TRUE(book->flush());

    for (const QString &file : {savedPath(), historyPath()}) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray bytes = contents(file);
        for (const char *text : {R"("and\/or")", R"("Read and\/or write.")", R"("Files\/Docs")"})
            EXPECT_TRUE(bytes.contains(text)) << text;
        EXPECT_EQ(bytes.count("/"), bytes.count("\\/")) << "every slash is escaped";
    }
    auto again = makeBook();
    ASSERT_EQ(again->saved().size(), 1u);
    EXPECT_EQ(again->saved(), book->saved());
    EXPECT_EQ(again->history(), book->history());
}

TEST_F(WordBookStorageTest, WordsFileLoadRules)
{
    // Any integer version loads.
    put(savedPath(), R"({"saved":[],"version":7})");
    EXPECT_TRUE(makeBook()->saved().empty());
    EXPECT_EQ(folderEntries(), QStringList {WordBookStorage::savedFileName});

    // No version: set aside whole, keeping its extension.
    put(savedPath(), R"({"saved":[]})");
    EXPECT_TRUE(makeBook()->saved().empty());
    EXPECT_EQ(folderEntries(), QStringList {asideName});
    EXPECT_EQ(contents(path(asideName)), R"({"saved":[]})");

    // Text an older version kept as another program or a translation service gave it loses its
    // control characters when read, the word's place in its sentence moving back with it; each file
    // keeps it until its next write.
    const auto spiked = [](const QString &text) {
        return QStringLiteral("\a\u202E") + text + QStringLiteral("\u2066");
    };
    WordLookup stored =
        lookup(spiked(QStringLiteral("river")), now(), QStringLiteral("The \x1b[1mriver\x1b[0m\r\nruns."));
    stored.wordOffset = 8;
    stored.base = spiked(QStringLiteral("river"));
    stored.meaning = spiked(QStringLiteral("r\u00EDo"));
    stored.grammarText = spiked(QStringLiteral("a noun"));
    stored.translation = spiked(QStringLiteral("El r\u00EDo corre."));
    stored.appName = spiked(QStringLiteral("Editor"));
    stored.title = spiked(QStringLiteral("Notes"));
    WordLookup read = stored;
    read.word = QStringLiteral("river");
    read.base = read.word;
    read.sentence = QStringLiteral("The [1mriver[0m\nruns.");
    read.wordOffset = 7;
    read.meaning = QStringLiteral("r\u00EDo");
    read.grammarText = QStringLiteral("a noun");
    read.translation = QStringLiteral("El r\u00EDo corre.");
    read.appName = QStringLiteral("Editor");
    read.title = QStringLiteral("Notes");
    const auto savedAs = [](const WordLookup &l) {
        SavedWord w = wordsNamed(QStringLiteral("w"), 1).front();
        w.word = l.word;
        w.base = l.base;
        w.senses = {{l.meaning, QStringLiteral("Noun"), l.grammarText}};
        w.encounters = {l};
        return w;
    };
    ASSERT_TRUE(WordBookStorage::write({savedAs(stored)}, savedPath()));
    putHistory({stored});
    const QByteArray savedBytes = contents(savedPath());
    const QByteArray historyBytes = contents(historyPath());
    auto book = makeBook();
    EXPECT_EQ(book->saved(), std::vector<SavedWord> {savedAs(read)});
    EXPECT_EQ(book->history(), std::deque<WordLookup> {read});
    ASSERT_TRUE(book->flush());
    EXPECT_EQ(contents(savedPath()), savedBytes);
    EXPECT_EQ(contents(historyPath()), historyBytes);
}

TEST(WordBookFile, IsReadAsStrictlyAsAnyJsonReaderWouldReadIt)
{
    const QByteArray word = WordRecords::encode(wordsNamed(QStringLiteral("w"), 1).front());
    const auto accepts = [](const QByteArray &text) { return bool(WordBookStorage::decodeWordBookFile(text)); };

    EXPECT_TRUE(accepts(WordBookStorage::encodeWordBookFile({})));
    EXPECT_TRUE(accepts(" \r\n{ \"saved\" : [" + word + "] ,\n\t\"version\" : 1 } \n"));
    EXPECT_TRUE(accepts("\xEF\xBB\xBF{\"version\":1.0,\"saved\":[]}"));
    EXPECT_TRUE(accepts(R"({"note":{"text":"a } ] \" in a string","list":[1,[2]]},"version":1,"saved":[]})"));
    EXPECT_EQ(WordBookStorage::decodeWordBookFile(R"({"v\u0065rsion":3,"saved":[)" + word + "]}").value->size(), 1u);

    for (const QByteArray &bad :
         {QByteArray(), QByteArray("[]"), QByteArray(R"({"version":1})"), QByteArray(R"({"version":1.5,"saved":[]})"),
          QByteArray(R"({"version":"1","saved":[]})"), QByteArray(R"({"version":1,"saved":{}})"),
          QByteArray(R"({"version":1,"saved":[]} x)"), QByteArray(R"({"version":1,"saved":[]},)"),
          QByteArray(R"({"version":1,"saved":[],})"), QByteArray(R"({"version":1 "saved":[]})"),
          QByteArray(R"({"version":1,"saved":[}})"), QByteArray(R"({"version":01,"saved":[]})"),
          QByteArray(R"({"extra":tru,"version":1,"saved":[]})"), QByteArray(R"({"extra":[1,],"version":1,"saved":[]})"),
          QByteArray("{\"ke\ny\":1,\"version\":1,\"saved\":[]}"), QByteArray(R"({version:1,"saved":[]})"),
          QByteArray(R"({"version":1,"saved":[)" + word + ",]}"), QByteArray(R"({"version":1,"saved":[)"),
          // A key given twice, whatever its values.
          QByteArray(R"({"version":"one","version":2,"saved":[]})"),
          QByteArray(R"({"version":1,"saved":[],"saved":[]})"),
          QByteArray(R"({"saved":[{"id":tru}],"saved":[],"version":1})"),
          QByteArray(R"({"version":[1,],"version":1,"saved":[]})")}) {
        EXPECT_FALSE(accepts(bad)) << bad.toStdString();
    }
}

TEST_F(WordBookStorageTest, OneFlawSetsTheWholeFileAsideAndTheNextSaveLeavesItBe)
{
    const auto words = wordsNamed(QStringLiteral("w"), 3);
    const QByteArray file = WordBookStorage::encodeWordBookFile(words);
    const QByteArray count = R"("metCount":8,)";
    QByteArray withoutCount = file;
    withoutCount.remove(withoutCount.indexOf(count), count.size()); // only the first word loses its count
    QByteArray countTwice = file;
    countTwice.insert(countTwice.indexOf(count), count);
    const QByteArray list = WordRecords::encodeArray(std::vector<SavedWord>(words.begin(), words.begin() + 2));
    const QByteArray other = WordRecords::encodeArray(std::vector<SavedWord>(words.begin() + 2, words.end()));
    const std::vector<std::pair<const char *, QByteArray>> rows {
        {"a saved word without its count", withoutCount},
        {"a saved word with its count twice", countTwice},
        {"two saved lists", R"({"version":1,"saved":)" + list + R"(,"saved":)" + other + "}"},
        {"two saved lists, one key written with an escape",
         R"({"version":1,"saved":)" + list + R"(,"s\u0061ved":)" + other + "}"},
    };
    for (const auto &[name, bytes] : rows) {
        SCOPED_TRACE(name);
        for (const QString &name : folderEntries())
            QFile::remove(path(name));
        put(savedPath(), bytes);

        auto book = makeBook();
        EXPECT_TRUE(book->saved().empty());
        book->save(lookup(QStringLiteral("new"), now()), now());
        ASSERT_TRUE(book->flush());
        // Every word the file held is still there, in the file set aside.
        EXPECT_EQ(contents(path(asideName)), bytes);
        EXPECT_EQ(makeBook()->saved().size(), 1u);
    }
}

TEST_F(WordBookStorageTest, AWordsFileThatCannotBeReadIsSetAsideNotWrittenOver)
{
    // A folder in the file's place, then a file whose reads fail with an I/O error.
    ASSERT_TRUE(QDir().mkpath(savedPath()));
    put(QDir(savedPath()).filePath(QStringLiteral("precious")), "keep me");
    {
        auto book = bookWithSavedWords(1);
        book->flush();
    }
    EXPECT_EQ(contents(path(asideName) + QStringLiteral("/precious")), "keep me");
    EXPECT_EQ(makeBook()->saved().size(), 1u);

    QFile::remove(savedPath());
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), savedPath()));
    clock->advance(1s);
    auto book = makeBook();
    EXPECT_TRUE(book->saved().empty());
    EXPECT_EQ(QFileInfo(path(QStringLiteral("Words-unreadable-1800000001.json"))).symLinkTarget(),
              QStringLiteral("/proc/self/mem"));
    EXPECT_FALSE(QFileInfo::exists(savedPath()));
}

TEST_F(WordBookStorageTest, ALinkPutInAFilesPlaceLaterIsSetAsideNotWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QString notes = QDir(elsewhere.path()).filePath(QStringLiteral("notes.txt"));
    put(notes, "the user's own notes");
    auto book = bookWithSavedWords(1);
    ASSERT_TRUE(book->record(lookup(QStringLiteral("first"), now())));
    ASSERT_TRUE(book->flush());

    // Both files are there; links take their places while the book runs.
    for (const QString &file : {savedPath(), historyPath()}) {
        ASSERT_TRUE(QFile::remove(file));
        ASSERT_TRUE(QFile::link(notes, file));
    }
    book->save(lookup(QStringLiteral("later"), now()), now());
    ASSERT_TRUE(book->record(lookup(QStringLiteral("later"), now())));
    EXPECT_TRUE(book->flush());

    EXPECT_EQ(contents(notes), "the user's own notes");
    // Set aside when the write found them, so at the time of the system's clock.
    for (const QString &pattern :
         {QStringLiteral("Words-unreadable-*.json"), QStringLiteral("History-unreadable-*.jsonl")}) {
        const QStringList aside = QDir(folder.path()).entryList({pattern}, QDir::System | QDir::Files);
        ASSERT_EQ(aside.size(), 1) << pattern.toStdString();
        EXPECT_EQ(QFileInfo(path(aside.front())).symLinkTarget(), notes);
    }
    EXPECT_EQ(makeBook()->saved(), book->saved());
}

TEST_F(WordBookStorageTest, AFileThatCannotBeSetAsideIsLeftAloneForTheSession)
{
    // Every name the file could be moved to is taken.
    put(path(asideName), "first");
    for (int i = 2; i <= 1000; ++i)
        put(path(QStringLiteral("Words-unreadable-1800000000-%1.json").arg(i)), "taken");
    put(savedPath(), "{not json");

    auto book = bookWithSavedWords(2);
    clock->advance(5s);
    book->flush();
    EXPECT_EQ(contents(savedPath()), "{not json");
    EXPECT_EQ(contents(path(asideName)), "first");
}

TEST_F(WordBookStorageTest, TwoSetAsidesInOneSecondKeepBothFiles)
{
    put(savedPath(), "first");
    ASSERT_EQ(PrivateFile::setAside(savedPath(), clock->wallNow()), path(asideName));
    put(savedPath(), "second");
    ASSERT_EQ(PrivateFile::setAside(savedPath(), clock->wallNow()),
              path(QStringLiteral("Words-unreadable-1800000000-2.json")));
    EXPECT_EQ(contents(path(asideName)), "first");
    EXPECT_EQ(contents(path(QStringLiteral("Words-unreadable-1800000000-2.json"))), "second");

    put(historyPath(), "x");
    EXPECT_EQ(PrivateFile::setAside(historyPath(), clock->wallNow()), path(historyAsideName));
    EXPECT_EQ(PrivateFile::setAside(path(QStringLiteral("missing.json")), clock->wallNow()), std::nullopt);
}

TEST_F(WordBookStorageTest, HistoryLoadSkipsEmptyAndBrokenLinesAndRewritesAtStart)
{
    const WordLookup a = lookup(QStringLiteral("alpha"), now());
    const WordLookup b = lookup(QStringLiteral("beta"), now());
    const QByteArray lineA = WordRecords::encode(a);
    const QByteArray lineB = WordRecords::encode(b);
    put(historyPath(), "\n\n{garbage\n" + lineA + "\n" + lineB + "\n");

    const auto read = WordBookStorage::readHistory(historyPath(), clock->wallNow());
    EXPECT_EQ(read.lookups, (std::vector<WordLookup> {a, b}));
    EXPECT_EQ(read.lines, 3);

    auto book = makeBook();
    EXPECT_EQ(book->history(), (std::deque<WordLookup> {a, b}));
    EXPECT_EQ(historyLines(), (QList<QByteArray> {lineA, lineB}));
    EXPECT_EQ(book->lookupCount(a.key()), 1);
    EXPECT_EQ(contents(path(historyAsideName)), "{garbage\n") << "what the rewrite dropped is kept beside it";
}

TEST_F(WordBookStorageTest, AHistoryOfWhichNothingDecodesIsSetAsideNotEmptied)
{
    put(historyPath(), "this is not\nwhat we wrote\n");
    auto book = makeBook();
    EXPECT_TRUE(book->history().empty());
    book->flush();
    EXPECT_EQ(contents(path(historyAsideName)), "this is not\nwhat we wrote\n");
    EXPECT_FALSE(QFileInfo::exists(historyPath()));
}

TEST_F(WordBookStorageTest, TenChangesWithinOneSecondMakeOneWriteThreeSecondsLater)
{
    auto book = bookWithSavedWords(1);
    for (int i = 1; i < 10; ++i) {
        clock->advance(100ms);
        book->save(lookup(QStringLiteral("more%1").arg(i), now()), now());
    }
    EXPECT_EQ(clock->pendingCount(), 1u);
    clock->advance(2s); // 2.9 s after the first change
    WordBookStorage::writeQueue().drain();
    EXPECT_FALSE(QFileInfo::exists(savedPath()));

    clock->advance(100ms);
    WordBookStorage::writeQueue().drain();
    const auto written = WordBookStorage::decodeWordBookFile(contents(savedPath()));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written.value, book->saved());
    EXPECT_EQ(written.value->size(), 10u);

    const ino_t first = inode(savedPath());
    clock->advance(10s);
    WordBookStorage::writeQueue().drain();
    EXPECT_EQ(inode(savedPath()), first) << "nothing changed since, so nothing is written again";
}

TEST_F(WordBookStorageTest, FlushWritesAPendingSaveBeforeReturningAndTheTimerWritesNothingAfter)
{
    auto book = bookWithSavedWords(3);
    book->flush();
    const auto written = WordBookStorage::decodeWordBookFile(contents(savedPath()));
    ASSERT_TRUE(written);
    EXPECT_EQ(written.value->size(), 3u);
    EXPECT_EQ(clock->pendingCount(), 0u);

    const ino_t first = inode(savedPath());
    clock->advance(5s);
    WordBookStorage::writeQueue().drain();
    EXPECT_EQ(inode(savedPath()), first);
}

TEST_F(WordBookStorageTest, ABookWithoutAFolderTouchesNoFile)
{
    defaults->set(WordBook::keepsHistoryKey, true);
    auto book = makeBook(false);
    ASSERT_TRUE(book->record(lookup(QStringLiteral("run"), now())));
    book->save(lookup(QStringLiteral("run"), now()), now());
    EXPECT_EQ(clock->pendingCount(), 0u);
    book->flush();
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(WordBookStorageTest, WritesLandInTheOrderTheyWereSubmitted)
{
    const WordLookup a = lookup(QStringLiteral("a"), now());
    const WordLookup x = lookup(QStringLiteral("x"), now());
    const WordLookup b = lookup(QStringLiteral("b"), now());
    auto &queue = WordBookStorage::writeQueue();
    const QString file = historyPath();
    queue.post([a, file] { WordBookStorage::append(a, file); });
    queue.post([x, file] { WordBookStorage::rewrite({x}, file); });
    queue.post([b, file] { WordBookStorage::append(b, file); });
    EXPECT_EQ(historyLines(), (QList<QByteArray> {WordRecords::encode(x), WordRecords::encode(b)}));
}

TEST_F(WordBookStorageTest, AnAppendAfterACutOffLineStartsALineOfItsOwn)
{
    const WordLookup a = lookup(QStringLiteral("alpha"), now());
    const WordLookup b = lookup(QStringLiteral("beta"), now());
    put(historyPath(), WordRecords::encode(a) + "\n{\"id\":\"7A2");
    ASSERT_TRUE(WordBookStorage::append(b, historyPath()));
    EXPECT_EQ(contents(historyPath()), WordRecords::encode(a) + "\n{\"id\":\"7A2\n" + WordRecords::encode(b) + "\n");

    const auto read = WordBookStorage::readHistory(historyPath(), clock->wallNow());
    EXPECT_EQ(read.lookups, (std::vector<WordLookup> {a, b}));
    EXPECT_EQ(read.lines, 3);
}

TEST_F(WordBookStorageTest, DamagedAndOversizedFilesNeverStopTheBook)
{
    // 50 MB of noise as the history, a saved-words file cut off in the middle.
    QByteArray noise(50 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    put(historyPath(), noise);
    const QByteArray whole = WordBookStorage::encodeWordBookFile(wordsNamed(QStringLiteral("w"), 5));
    put(savedPath(), whole.left(whole.size() / 2));

    defaults->set(WordBook::keepsHistoryKey, true);
    auto book = makeBook();
    EXPECT_TRUE(book->history().empty());
    EXPECT_TRUE(book->saved().empty());
    EXPECT_EQ(contents(path(historyAsideName)).size(), noise.size());
    EXPECT_EQ(contents(path(asideName)), whole.left(whole.size() / 2));

    // Records of the wrong shape and dates far from now are skipped or kept, never fatal.
    WordLookup farFuture = lookup(QStringLiteral("later"), Date {4.0e12});
    WordLookup farPast = lookup(QStringLiteral("earlier"), Date {-4.0e12});
    QByteArray wrongType = WordRecords::encode(lookup(QStringLiteral("bad"), now()));
    wrongType.replace("\"word\":\"bad\"", "\"word\":17");
    put(historyPath(), WordRecords::encode(farPast) + "\n" + wrongType + "\n" + WordRecords::encode(farFuture) + "\n");
    book.reset();
    book = makeBook();
    EXPECT_EQ(book->history(), std::deque<WordLookup> {farFuture}) << "the past one is beyond the retention";
    EXPECT_TRUE(book->record(lookup(QStringLiteral("now"), now())));
    book->save(farFuture, Date {4.0e12});
    EXPECT_EQ(book->reviewQueue(Date {8.0e12}).size(), 1u);
    book->flush();
    EXPECT_EQ(historyLines().size(), 2);
}

// Two copies of the program over one folder: each row is a word as the copy last saw it in the file,
// as the copy holds it now and as the file holds it now, and what the merge keeps.
TEST(SavedWordsMerge, KeepsEachSidesChangesAndEveryRemoval)
{
    const auto word = [](const char *name, double savedAt, std::optional<double> reviewed = std::nullopt,
                         std::optional<double> met = std::nullopt) {
        SavedWord w = wordsNamed(QString::fromLatin1(name), 1).front();
        w.word = QString::fromLatin1(name);
        w.encounters.clear();
        if (met)
            w.encounters.push_back(lookup(w.word, Date {*met}));
        w.savedAt = Date {savedAt};
        w.review.lastReviewed = reviewed ? std::optional<Date>(Date {*reviewed}) : std::nullopt;
        return w;
    };
    const SavedWord x = word("x", 10);
    const SavedWord reviewedAt20 = word("x", 10, 20);
    const SavedWord reviewedAt30 = word("x", 10, 30);
    const SavedWord metAt25 = word("x", 10, std::nullopt, 25);
    SavedWord savedThere = word("x", 10);
    savedThere.id = QUuid::createUuid();
    const SavedWord a = word("a", 4), b = word("b", 2), c = word("c", 1), d = word("d", 0.5), e = word("e", 4);
    using Words = std::vector<SavedWord>;
    struct Row
    {
        const char *name;
        Words before, here, there, kept;
    };
    const std::vector<Row> rows {
        {"nothing changed", {x}, {x}, {x}, {x}},
        {"added here", {}, {x}, {}, {x}},
        {"added there", {}, {}, {x}, {x}},
        {"removed here", {x}, {}, {x}, {}},
        {"removed there", {x}, {x}, {}, {}},
        {"removed there, reviewed here", {x}, {reviewedAt30}, {}, {}},
        {"removed here, reviewed there", {x}, {}, {reviewedAt30}, {}},
        {"reviewed here only", {x}, {reviewedAt20}, {x}, {reviewedAt20}},
        {"reviewed there only", {x}, {x}, {reviewedAt20}, {reviewedAt20}},
        {"reviewed on both sides, later there", {x}, {reviewedAt20}, {reviewedAt30}, {reviewedAt30}},
        {"reviewed on both sides, later here", {x}, {reviewedAt30}, {reviewedAt20}, {reviewedAt30}},
        {"met there after the review here", {x}, {reviewedAt20}, {metAt25}, {metAt25}},
        {"saved on both sides at one time", {}, {x}, {savedThere}, {x}},
        {"new words there go among these by when they were saved, after those saved here at one time",
         {c},
         {a, c},
         {e, b, c, d},
         {a, e, b, c, d}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Words kept = WordBookStorage::mergeSaved(row.before, row.here, row.there);
        EXPECT_EQ(kept, row.kept);
    }
}

TEST_F(WordBookStorageTest, TwoBooksOverOneFolderKeepEachOthersWords)
{
    const auto wordsOnDisk = [&] {
        QStringList found;
        const auto decoded = WordBookStorage::decodeWordBookFile(contents(savedPath()));
        for (const SavedWord &word : *decoded.value)
            found.append(word.word);
        found.sort();
        return found;
    };
    auto first = makeBook();
    auto second = makeBook();
    first->save(lookup(QStringLiteral("pineapple"), now()), now());
    ASSERT_TRUE(first->flush());
    second->save(lookup(QStringLiteral("lantern"), now()), now());
    ASSERT_TRUE(second->flush());
    EXPECT_EQ(wordsOnDisk(), (QStringList {QStringLiteral("lantern"), QStringLiteral("pineapple")}));
    QSignalSpy changed(second.get(), &WordBook::savedChanged);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.size(), 1);
    EXPECT_TRUE(second->savedWord(lookup(QStringLiteral("pineapple"), now()).key())) << "taken in as it was written";

    // A word removed by the first stays removed, though the second still holds it.
    first->remove(first->savedWord(lookup(QStringLiteral("pineapple"), now()).key())->id);
    first->save(lookup(QStringLiteral("clever"), now()), now());
    ASSERT_TRUE(first->flush());
    second->save(lookup(QStringLiteral("zeppelin"), now()), now());
    ASSERT_TRUE(second->flush());
    const QStringList all {QStringLiteral("clever"), QStringLiteral("lantern"), QStringLiteral("zeppelin")};
    EXPECT_EQ(wordsOnDisk(), all);
    QCoreApplication::processEvents();
    EXPECT_EQ(second->saved(), *WordBookStorage::decodeWordBookFile(contents(savedPath())).value);

    // What is found there that no copy wrote is set aside, not written over.
    put(savedPath(), "{not ours");
    first->save(lookup(QStringLiteral("river"), now()), now());
    ASSERT_TRUE(first->flush());
    EXPECT_EQ(contents(path(asideName)), "{not ours");

    // While one holds the folder's lock, no other takes it.
    {
        const FolderLock held(folder.path());
        ASSERT_TRUE(held.isHeld());
        EXPECT_FALSE(FolderLock(folder.path(), 0ms).mayWrite());
    }
    EXPECT_TRUE(FolderLock(folder.path(), 0ms).isHeld());
}

// One book rewrites the history whole while another appends to it: the other's look-ups stay in the
// file and come into the first book's history, by date; what the first book itself dropped, by age,
// by excluding an application or by clearing, stays out.
TEST_F(WordBookStorageTest, TwoBooksOverOneFolderKeepEachOthersLookUps)
{
    defaults->set(WordBook::keepsHistoryKey, true);
    const QString reader = QStringLiteral("org.example.Reader");
    const auto at = [&](const char *word, double days, const QString &app = QStringLiteral("org.example.Editor")) {
        WordLookup l = lookup(QString::fromLatin1(word), plusSeconds(now(), days * 86'400));
        l.appID = app;
        return l;
    };
    const auto words = [](const auto &lookups) {
        QStringList found;
        for (const WordLookup &l : lookups)
            found.append(l.word);
        return found;
    };
    const auto inFile = [&] {
        WordBookStorage::writeQueue().drain();
        return words(WordBookStorage::readHistory(historyPath(), clock->wallNow()).lookups);
    };
    // What the write queue found reaches the book on the main thread.
    const auto arrived = [] {
        WordBookStorage::writeQueue().drain();
        QCoreApplication::processEvents();
    };
    auto first = makeBook();
    auto second = makeBook();
    for (const WordLookup &l : {at("ancient", -40), at("apple", 0)})
        ASSERT_TRUE(first->record(l));
    for (const WordLookup &l : {at("bygone", -35), at("brook", 0.1, reader), at("bridge", 0.2)})
        ASSERT_TRUE(second->record(l));

    // The first drops what a month no longer keeps: the second's newer look-ups stay, its older one
    // does not come back.
    first->setHistoryRetention(HistoryRetention::month);
    const QStringList kept {QStringLiteral("apple"), QStringLiteral("brook"), QStringLiteral("bridge")};
    EXPECT_EQ(inFile(), kept);
    QSignalSpy shown(first.get(), &WordBook::historyChanged);
    arrived();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(words(first->history()), kept);
    EXPECT_EQ(first->lookupCount(at("bridge", 0).key()), 1);

    // It clears its history and excludes the reader, whose look-up it held, while the second looks up
    // more: the second's look-up that the clearing found stays, though the exclusion's rewrite was
    // sent before it reached the first book.
    ASSERT_TRUE(second->record(at("butter", 0.3)));
    first->clearHistory();
    ASSERT_TRUE(first->record(at("acorn", 0.4, reader)));
    first->setExcludedAppIDs(first->excludedAppIDs() + QStringList {reader});
    arrived();
    EXPECT_EQ(words(first->history()), QStringList {QStringLiteral("butter")});
    EXPECT_EQ(inFile(), QStringList {QStringLiteral("butter")});
    EXPECT_EQ(makeBook()->history(), first->history());

    // Nor does it keep the second's look-ups of the application it excludes.
    ASSERT_TRUE(second->record(at("beacon", 0.5, reader)));
    first->clearHistory();
    arrived();
    EXPECT_TRUE(first->history().empty());
    EXPECT_TRUE(inFile().isEmpty());
}
