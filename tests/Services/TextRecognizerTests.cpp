#include "Services/Detection/TextRecognizer.h"

#include "Native/Services.h"

#include "Fakes/FakeTextRecognition.h"
#include "Support/TestSupport.h"

#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

using namespace Lumivox;
using Lumivox::Testing::FakeTextRecognition;

namespace {

// A 640 x 80 point strip at the origin; boxes below are given in points and converted.
constexpr double W = 640;
constexpr double H = 80;

QRectF box(double left, double right, double lower = 30, double upper = 50)
{
    return QRectF(left / W, lower / H, (right - left) / W, (upper - lower) / H);
}

void expectNear(const QRectF &actual, const QRectF &expected)
{
    EXPECT_NEAR(actual.left(), expected.left(), 1e-9);
    EXPECT_NEAR(actual.top(), expected.top(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

class TextRecognizerTest : public ::testing::Test
{
protected:
    void lines(std::vector<Native::RecognizedLine> lines) { engine->setReply(std::move(lines)); }

    // `y` in points from the top of the strip, as the capture gives the pointer.
    std::optional<RecognizedHit> at(double x, double y = 40, QRectF crop = QRectF(0, 0, W, H),
                                    std::optional<QRectF> window = std::nullopt)
    {
        return Testing::await(
            TextRecognizer::recognizeWord(image, crop, QPointF(crop.left() + x, crop.top() + y), window));
    }

    QImage image = [] {
        QImage blank(int(W), int(H), QImage::Format_RGB32);
        blank.fill(Qt::white);
        return blank;
    }();

    std::shared_ptr<FakeTextRecognition> engine = std::make_shared<FakeTextRecognition>();
    Native::ScopedOverride<Native::TextRecognition> override {engine};
};

TEST_F(TextRecognizerTest, BetweenTwoWordsTheNearerEdgeWinsElseTheNearerCentre)
{
    lines({FakeTextRecognition::line(QStringLiteral("alpha be"), box(100, 176), {box(100, 160), box(166, 176)})});
    // 3 points from each edge: "be"'s centre is nearer.
    ASSERT_TRUE(at(163));
    EXPECT_EQ(at(163)->text, QStringLiteral("be"));
    // 2.6 against 3.4 points: more than half a point nearer to "alpha"'s edge.
    EXPECT_EQ(at(162.6)->text, QStringLiteral("alpha"));
    // Beyond 4 points from any word nothing is hit.
    EXPECT_FALSE(at(90));
    EXPECT_FALSE(at(130, 15));
}

TEST_F(TextRecognizerTest, AWordThePointerIsInsideBeatsANeighbourItIsMerelyNear)
{
    // Letters 5 points wide, the words a space of 3 points apart.
    lines({FakeTextRecognition::line(QStringLiteral("alpha beta"), box(100, 148), {box(100, 125), box(128, 148)})});
    const auto hit = at(128.5);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->text, QStringLiteral("beta"));
    expectNear(hit->visionBox, box(128, 148));
}

TEST_F(TextRecognizerTest, OnlyWordsWithALetterOfAtMost32CharactersCount)
{
    const QString longWord(33, QLatin1Char('a'));
    const QString text = QStringLiteral("2024 a12 (word), don\u2019t ") + longWord;
    lines({FakeTextRecognition::line(text, box(0, 600),
                                     {box(0, 40), box(50, 90), box(100, 180), box(190, 250), box(260, 600)})});
    EXPECT_FALSE(at(20));
    EXPECT_EQ(at(70)->text, QStringLiteral("a12"));
    EXPECT_EQ(at(140)->text, QStringLiteral("word"));
    EXPECT_EQ(at(220)->text, QStringLiteral("don\u2019t"));
    EXPECT_FALSE(at(400));
}

TEST_F(TextRecognizerTest, ContextIsTheSentenceOfTheLineUnlessTheCaptureCutsIt)
{
    const QString text = QStringLiteral("ntence ends here. Next one");
    auto line = [&](double left, double right) {
        return FakeTextRecognition::line(text, box(left, right),
                                         {box(left, left + 60), box(left + 70, left + 110), box(left + 120, left + 160),
                                          box(left + 170, left + 210), box(left + 220, left + 250)});
    };
    // Well inside the strip the line is whole.
    lines({line(20, 270)});
    auto hit = at(110);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->text, QStringLiteral("ends"));
    EXPECT_EQ(hit->context, QStringLiteral("ntence ends here."));
    EXPECT_EQ(hit->wordOffset, 7);

    // Touching the left border: the partial first word is cut off the sentence, and the cut marked.
    lines({line(0, 250)});
    hit = at(90);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->context, QStringLiteral("\u2026ends here."));
    EXPECT_EQ(hit->wordOffset, 1);
    // Touching the right border, the sentence that runs on is marked there; one that ended is whole.
    lines({line(390, 640)});
    EXPECT_EQ(at(480)->context, QStringLiteral("ntence ends here."));
    lines({FakeTextRecognition::line(
        QStringLiteral("The lamp glows over the bay"), box(340, 640),
        {box(340, 370), box(380, 420), box(430, 480), box(490, 530), box(540, 570), box(580, 640)})});
    EXPECT_EQ(at(450)->context, QStringLiteral("The lamp glows over the\u2026"));

    // The strip's cut falling in the space before the line's first word is a cut too, and so is ink
    // beside the line that the engine did not read into it (a text cursor, a word it dropped).
    lines({line(14, 264)});
    EXPECT_EQ(at(104)->context, QStringLiteral("\u2026ends here."));
    const auto ink = [&](int x) {
        for (int y = 32; y < 48; ++y)
            image.setPixel(x, y, qRgb(0, 0, 0));
    };
    ink(40);
    lines({line(60, 310)});
    EXPECT_EQ(at(150)->context, QStringLiteral("\u2026ends here."));
    image.fill(Qt::white);
    ink(420);
    lines({FakeTextRecognition::line(
        QStringLiteral("The lamp glows over the bay"), box(100, 360),
        {box(100, 130), box(140, 180), box(190, 240), box(250, 290), box(300, 330), box(340, 360)})});
    EXPECT_EQ(at(210)->context, QStringLiteral("The lamp glows over the\u2026"));
    image.fill(Qt::white);

    // A line of one word gives no context.
    lines({FakeTextRecognition::line(QStringLiteral("Alone"), box(100, 160), {box(100, 160)})});
    hit = at(130);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->text, QStringLiteral("Alone"));
    EXPECT_FALSE(hit->context);
    EXPECT_FALSE(hit->wordOffset);
}

TEST_F(TextRecognizerTest, ATallStripIsRecognisedInABandAroundThePointer)
{
    // 200 points high, pointer in the middle: an 80-point band from 60 to 140 points.
    Native::RecognizedLine line =
        FakeTextRecognition::line(QStringLiteral("middle"), QRectF(0.1, 0.25, 0.2, 0.5), {QRectF(0.1, 0.25, 0.2, 0.5)});
    lines({line});
    const auto hit = at(100, 100, QRectF(0, 0, 640, 200));
    ASSERT_EQ(engine->regions().size(), 1u);
    expectNear(engine->regions().front(), QRectF(0, 0.3, 1, 0.4));
    ASSERT_TRUE(hit);
    expectNear(hit->visionBox, QRectF(0.1, 0.4, 0.2, 0.2));

    // Near the top the band stops at the image's edge.
    at(100, 10, QRectF(0, 0, 640, 200));
    expectNear(engine->regions().back(), QRectF(0, 0.6, 1, 0.4));
}

TEST_F(TextRecognizerTest, OnlyTheWindowsPartIsReadAndAWordAtItsEdgeThatMayGoOnIsNot)
{
    // The window covers the strip's left 300 points; boxes are of that part.
    const QRectF crop(0, 0, W, H);
    const QRectF window(0, 0, 300, 80);
    const auto inWindow = [](double left, double right) {
        return QRectF(left / 300, 30 / H, (right - left) / 300, 20 / H);
    };
    lines({FakeTextRecognition::line(QStringLiteral("the lighth"), inWindow(200, 296),
                                     {inWindow(200, 230), inWindow(240, 296)})});
    ASSERT_TRUE(at(270, 40, crop, window));
    EXPECT_EQ(at(270, 40, crop, window)->text, QStringLiteral("lighth"));
    // Inside the window's border.
    expectNear(engine->regions().back(), QRectF(2 / W, 0, 296 / W, 1));

    // Where the row below starts at the window's left edge, the word may go on there; where that
    // edge is not in the capture, it may too.
    QPainter(&image).fillRect(QRect(4, 53, 6, 10), Qt::black);
    EXPECT_FALSE(at(270, 40, crop, window));
    EXPECT_EQ(at(215, 40, crop, window)->text, QStringLiteral("the")) << "a word inside the row";
    image.fill(Qt::white);
    EXPECT_FALSE(at(270, 40, crop, window.adjusted(-100, 0, 0, 0)));

    // A word at the left edge under a row that reaches the right edge may be the rest of a word;
    // where the right edge is not in the strip, the window's end read beside it tells, and without
    // it nothing is read.
    lines({FakeTextRecognition::line(QStringLiteral("ouse in"), inWindow(4, 80), {inWindow(4, 40), inWindow(60, 80)})});
    EXPECT_EQ(at(20, 40, crop, window)->text, QStringLiteral("ouse"));
    QPainter(&image).fillRect(QRect(290, 14, 6, 12), Qt::black);
    EXPECT_FALSE(at(20, 40, crop, window));
    const QRectF wide = window.adjusted(0, 0, 400, 0);
    EXPECT_FALSE(at(20, 40, crop, wide)) << "the end of the row above is not in the strip";
    QImage end(32, int(H), QImage::Format_RGB32);
    end.fill(Qt::white);
    const auto beside = [&] {
        return Testing::await(TextRecognizer::recognizeWord(ScreenCaptureService::CaptureResult {
            image, crop, QPointF(20, 40), wide, ScreenCaptureService::Pixels {end, QRectF(668, 0, 32, H)}}));
    };
    EXPECT_TRUE(beside()) << "the row above ends short of the window's end";
    QPainter(&end).fillRect(QRect(20, 12, 8, 12), Qt::black);
    EXPECT_FALSE(beside()) << "the row above runs on to the window's end";

    // A window that does not hold the pointer is not used.
    EXPECT_TRUE(at(20, 40, crop, QRectF(400, 0, 100, 80)));
    expectNear(engine->regions().back(), QRectF(0, 0, 1, 1));
}

TEST_F(TextRecognizerTest, AWordTheStripCutsIsNoneAndAPaneBorderBoundsTheRead)
{
    // The strip's right edge cuts "insi|de"; the word beside it is whole.
    lines({FakeTextRecognition::line(QStringLiteral("an insi"), box(560, 640), {box(560, 590), box(600, 640)})});
    EXPECT_EQ(at(575)->text, QStringLiteral("an"));
    EXPECT_FALSE(at(620));

    // A tool bar's light ground with a button on it ends in a straight line over a dark pane of
    // text: only the pane is read, the tool bar painted over with the pane's ground.
    QPainter(&image).fillRect(QRect(0, 22, int(W), int(H) - 22), Qt::black);
    QPainter(&image).fillRect(QRect(300, 4, 40, 12), Qt::gray);
    at(40, 30);
    EXPECT_EQ(engine->image().pixel(320, 10), qRgb(0, 0, 0));
    EXPECT_EQ(engine->image().pixel(10, 21), qRgb(0, 0, 0));
    // Text rows make no such line: a pointer between them reads the whole strip as it is.
    image.fill(Qt::white);
    QPainter(&image).fillRect(QRect(10, 30, 60, 8), Qt::black);
    at(40, 30);
    EXPECT_EQ(engine->image(), image);
}

TEST_F(TextRecognizerTest, WordsWithoutTheirOwnBoxShareTheLineByCharacters)
{
    lines({Native::RecognizedLine {QStringLiteral("one two three"), box(0, 390), {}}});
    // "two" holds characters 4 to 7 of 13: points 120 to 210.
    const auto hit = at(165);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->text, QStringLiteral("two"));
    expectNear(hit->visionBox, box(120, 210));
}

TEST_F(TextRecognizerTest, NothingToRecogniseGivesNone)
{
    engine->setReply(Native::RecognitionFailure {QStringLiteral("model missing")});
    EXPECT_FALSE(at(100));
    lines({});
    EXPECT_FALSE(at(100));
    const auto before = engine->regions().size();
    EXPECT_FALSE(at(10, 10, QRectF(0, 0, 0, 80)));
    EXPECT_FALSE(at(10, 10, QRectF(0, 0, 640, 0)));
    EXPECT_EQ(engine->regions().size(), before);
}

} // namespace

TEST_F(TextRecognizerTest, AWordReadAgainMustBeTheSameWordAndGivesItsAccents)
{
    // "Les mots naive créme vu." as the strip's reading; the pointer on the third word.
    const QString text = QStringLiteral("Les mots naive créme vu.");
    const std::optional<QString> none;
    const auto is = [](const char *word) { return std::optional<QString>(QString::fromUtf8(word)); };
    const struct
    {
        const char *name;
        QString pointed; // the word under the pointer, as the strip reads it
        std::optional<QString> accented; // read again by the accented model
        std::optional<QString> alone; // read again by the strip's model
        std::optional<QString> larger; // read by the accented model from the larger image
        std::optional<QString> word;
        std::optional<QString> context;
        bool accentedSure = true;
    } cases[] = {
        {"the same word", "naive", is("naive"), is("naive"), is("naive"), is("naive"), text},
        {"the same word with the accents the strip lost", "naive", is("naïve"), none, none, is("naïve"),
         is("Les mots naïve créme vu.")},
        {"another accent on the same letters", "créme", is("crème,"), none, none, is("crème"),
         is("Les mots naive crème vu.")},
        {"another word, also when read alone", "naive", is("naivo"), is("naive"), is("naivo"), none, none},
        {"nothing read with confidence", "naive", none, is("naive"), is("naive"), none, none},
        {"another letter in the strip, the same word alone", "mots", is("mats"), is("mats"), none, is("mats"),
         is("Les mats naive créme vu.")},
        {"a letter the strip's model cannot write, read the same larger", "créme", is("crôme"), is("créme"),
         is("crôme"), is("crôme"), is("Les mots naive crôme vu.")},
        {"a letter the strip's model cannot write, read otherwise larger", "créme", is("crôme"), is("créme"),
         is("crème"), none, none},
        {"two characters for one the strip's model cannot write", "naive", is("nañe"), none, is("nañe"), is("nañe"),
         is("Les mots nañe créme vu.")},
        {"two characters for the last letter, accented", "mots", is("moş"), none, is("moş"), is("moş"),
         is("Les moş naive créme vu.")},
        {"a letter without an accent never stands for two", "mots", is("mas"), none, is("mas"), none, none},
        {"an accented letter more than the strip read", "naive", is("naïveś"), none, is("naïveś"), none, none},
        {"a letter both models write differs", "naive", is("naïvo"), none, is("naïvo"), none, none},
        {"the accented model unsure, both other readings sure of the word", "naive", is("naive"), is("naive"), none,
         is("naive"), text, false},
        {"the accented model unsure, the strip's model alone reads otherwise", "naive", is("naive"), is("naivo"), none,
         none, none, false},
        {"the accented model unsure of the accents, read the same larger", "naive", is("naïve"), is("naive"),
         is("naïve"), is("naïve"), is("Les mots naïve créme vu."), false},
        {"the accented model unsure of the accents, read otherwise larger", "naive", is("naïve"), is("naive"),
         is("naive"), none, none, false},
    };
    std::vector<QRectF> boxes;
    for (int i = 0; i < 5; ++i)
        boxes.push_back(box(100 + 100 * i, 180 + 100 * i));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        lines({FakeTextRecognition::line(text, box(100, 580), boxes)});
        engine->rereadings.set({{c.pointed, c.accented}});
        engine->aloneRereadings.set({{c.pointed, c.alone}});
        engine->largerRereadings.set({{c.pointed, c.larger}});
        engine->unsureRereadings.set(c.accentedSure ? std::set<QString>() : std::set<QString> {*c.accented});
        const qsizetype index = text.split(QLatin1Char(' ')).indexOf(c.pointed);
        const auto hit = at(140 + 100 * double(index));
        EXPECT_EQ(hit ? std::optional(hit->text) : std::nullopt, c.word);
        EXPECT_EQ(hit ? hit->context : std::nullopt, c.context);
    }

    // A word the strip's reading was unsure of, under the pointer: nothing, not its neighbour 3
    // points away, unless it reads the same on its own by both models.
    engine->rereadings.set({});
    engine->aloneRereadings.set({});
    engine->largerRereadings.set({});
    engine->unsureRereadings.set({});
    Native::RecognizedLine line =
        FakeTextRecognition::line(QStringLiteral("Les mots"), box(100, 171), {box(100, 115), box(151, 171)});
    line.unsure.push_back(box(118, 148));
    lines({line});
    EXPECT_FALSE(at(120));
    EXPECT_EQ(at(116)->text, QStringLiteral("Les"));
    engine->rereadings.set({{QString(), QStringLiteral("brûlée")}});
    EXPECT_FALSE(at(130)) << "read by one model only";
    engine->aloneRereadings.set({{QString(), QStringLiteral("brdlée")}});
    ASSERT_TRUE(at(130));
    EXPECT_EQ(at(130)->text, QStringLiteral("brûlée"));
    EXPECT_FALSE(at(130)->context);

    // A word that another box of its line comes nearer to than the line's spaces are wide may be a
    // piece of one word the engine read as two: "Trave" (unsure) and "lers".
    lines({FakeTextRecognition::line(QStringLiteral("lers rest awhile"), box(3, 134),
                                     {box(40, 62), box(69, 92), box(99, 134)})});
    EXPECT_EQ(at(80)->text, QStringLiteral("rest"));
    EXPECT_EQ(at(50)->text, QStringLiteral("lers")) << "alone, it is a word";
    line = FakeTextRecognition::line(QStringLiteral("lers rest awhile"), box(3, 134),
                                     {box(40, 62), box(69, 92), box(99, 134)});
    line.unsure.push_back(box(3, 37));
    lines({line});
    EXPECT_FALSE(at(50));
    EXPECT_EQ(at(80)->text, QStringLiteral("rest"));
}

namespace {

// A terminal as these tests draw one on a screen: letters are blocks of ink inside their cells
// (tall ones from near the cell's top, short ones from half-way down), rows of `columns` cells, a
// long line broken at the last column whatever it holds. Beside the text area stands what the
// terminal draws there.
struct DrawnTerminal
{
    const char *name;
    QSize cell;
    int columns = 40;
    int pad = 2; // from the window's left edge to the first cell
    int after = 2; // ground past the last column
    QRgb ground = qRgb(255, 255, 255);
    QRgb ink = qRgb(0, 0, 0);
    int bar = 0; // a tool bar above the text
    std::function<void(QImage &, const QRect &)> side; // what stands at the right, and its width
    int sideWidth = 0;

    QPoint origin() const { return QPoint(100 + pad, 100 + bar + 2); }
    QRect cellAt(int row, int column) const
    {
        return QRect(origin() + QPoint(column * cell.width(), row * cell.height()), cell);
    }
    QRect inkOf(QChar c, int row, int column) const
    {
        const QRect r = cellAt(row, column);
        const bool tall = c.isUpper() || QStringLiteral("bdfhklt'").contains(c);
        const int top = tall ? r.top() + 2 : r.top() + r.height() * 2 / 5;
        return QRect(QPoint(r.left() + 1, top), QPoint(r.right() - 1, r.bottom() - 3));
    }
};

// Lines that the terminal breaks inside "sunflower" (sun|flower) and "password" (pass|word).
QStringList wrappedLines(int columns)
{
    const auto endingWith = [&](const QString &split, int inLastRow, const QString &rest) {
        return QStringLiteral("Boats rest").leftJustified(columns - inLastRow, u' ') + split + rest;
    };
    return {QStringLiteral("Lanterns glow by the quay."), endingWith(QStringLiteral("sunflower"), 3, " grows tall."),
            QStringLiteral("Sailors mend their nets."), endingWith(QStringLiteral("password"), 4, " is kept."),
            QStringLiteral("Gulls sleep.")};
}

struct Screen
{
    QImage image;
    QRect frame;
    std::vector<std::vector<std::pair<QString, QRect>>> rows; // each row's words with their ink
};

Screen draw(const DrawnTerminal &t, const QStringList &lines)
{
    QStringList rows;
    for (const QString &line : lines) {
        for (qsizetype at = 0; at < line.size(); at += t.columns)
            rows << line.mid(at, t.columns);
    }
    Screen s;
    s.image = QImage(1600, 500, QImage::Format_RGB32);
    s.image.fill(qRgb(20, 20, 60)); // the desktop
    const QPoint o = t.origin();
    const int textRight = o.x() + t.columns * t.cell.width() + t.after;
    s.frame =
        QRect(QPoint(100, 100), QPoint(textRight + t.sideWidth - 1, o.y() + int(rows.size()) * t.cell.height() + 1));
    QPainter p(&s.image);
    p.fillRect(s.frame, QColor(239, 239, 239));
    p.fillRect(QRect(QPoint(s.frame.left() + 2, o.y() - 2), QPoint(textRight - 1, s.frame.bottom())), QColor(t.ground));
    if (t.bar > 0)
        p.fillRect(QRect(s.frame.left(), o.y() - 3, s.frame.width(), 1), QColor(183, 183, 183));
    p.end();
    if (t.side)
        t.side(s.image, QRect(QPoint(textRight, o.y() - 2), QPoint(s.frame.right(), s.frame.bottom())));
    static const QRegularExpression word(QStringLiteral("\\S+"));
    for (int row = 0; row < rows.size(); ++row) {
        s.rows.emplace_back();
        for (int column = 0; column < rows[row].size(); ++column) {
            if (rows[row][column] != u' ' && rows[row][column] != u'.')
                QPainter(&s.image).fillRect(t.inkOf(rows[row][column], row, column), QColor(t.ink));
            else if (rows[row][column] == u'.')
                QPainter(&s.image).fillRect(QRect(t.cellAt(row, column).bottomLeft() + QPoint(2, -4), QSize(2, 2)),
                                            QColor(t.ink));
        }
        for (auto m = word.globalMatch(rows[row]); m.hasNext();) {
            const auto match = m.next();
            QRect ink;
            for (int c = int(match.capturedStart()); c < int(match.capturedEnd()); ++c)
                ink |= t.inkOf(rows[row][c], row, c);
            s.rows.back().emplace_back(match.captured(), ink);
        }
    }
    return s;
}

// Reads the word at `at` as the program does: a strip of 640 x 80 around it, of the window there,
// the window's right end read beside it where the strip leaves it out; the engine reads the
// pointer's row as drawn.
std::optional<RecognizedHit> readDrawn(FakeTextRecognition &engine, const Screen &s, std::size_t row, QPoint at)
{
    const QRect crop = QRect(at - QPoint(320, 40), QSize(640, 80)) & s.image.rect();
    const QRectF inside = QRectF(s.frame.adjusted(0, 0, 1, 1)).adjusted(2, 2, -2, -2);
    const double left = std::max<double>(crop.left(), inside.left());
    const double right = std::min<double>(crop.left() + crop.width(), inside.right());
    std::vector<QRectF> boxes;
    QStringList words;
    QRectF lineBox;
    {
        for (const auto &[text, ink] : s.rows[row]) {
            if (ink.left() < left || ink.right() + 1 > right)
                continue;
            const QRectF box((ink.left() - left) / (right - left),
                             1 - double(ink.bottom() + 1 - crop.top()) / crop.height(), ink.width() / (right - left),
                             double(ink.height()) / crop.height());
            boxes.push_back(box);
            words << text;
            lineBox |= box;
        }
    }
    engine.setReply(std::vector<Native::RecognizedLine> {FakeTextRecognition::line(words.join(u' '), lineBox, boxes)});
    std::optional<ScreenCaptureService::Pixels> end;
    if (s.frame.left() >= crop.left() && s.frame.right() > crop.right()) {
        const QRect piece(QPoint(s.frame.right() + 1 - 64, crop.top()), QSize(64, crop.height()));
        end = ScreenCaptureService::Pixels {s.image.copy(piece), QRectF(piece)};
    }
    return Testing::await(TextRecognizer::recognizeWord(ScreenCaptureService::CaptureResult {
        s.image.copy(crop), QRectF(crop), QPointF(at) + QPointF(0.5, 0.5), QRectF(s.frame.adjusted(0, 0, 1, 1)), end}));
}

} // namespace

TEST_F(TextRecognizerTest, ATerminalsWrappedHalvesAreNeverReadWhateverStandsBesideItsTextArea)
{
    const auto track = [](QRgb line, const std::function<QRgb(int x, int y)> &fill) {
        return [line, fill](QImage &image, const QRect &r) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                image.setPixel(r.left(), y, line);
                for (int x = r.left() + 1; x <= r.right(); ++x)
                    image.setPixel(x, y, fill(x - r.left(), y));
            }
        };
    };
    const auto stipple =
        track(qRgb(0, 0, 0), [](int x, int y) { return (x + y) % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); });
    const auto light = track(qRgb(192, 192, 192), [](int, int) { return qRgb(255, 255, 255); });
    const auto gradient = track(qRgb(75, 75, 75), [](int x, int) { return qRgb(253 - x, 253 - x, 253 - x); });
    const std::vector<DrawnTerminal> terminals {
        {"bitmap cells, no scroll bar", {6, 13}},
        {"bitmap cells, a stippled scroll bar at the right",
         {6, 13},
         40,
         2,
         2,
         qRgb(255, 255, 255),
         qRgb(0, 0, 0),
         0,
         stipple,
         15},
        {"light on dark under a tool bar, a light scroll bar",
         {8, 17},
         40,
         4,
         6,
         qRgb(35, 38, 39),
         qRgb(230, 230, 230),
         32,
         light,
         15},
        {"grey on black under a tab bar, a shaded scroll bar",
         {10, 21},
         30,
         3,
         3,
         qRgb(0, 0, 0),
         qRgb(178, 178, 178),
         30,
         gradient,
         16},
        {"wider than the strip, its right end read beside it",
         {8, 17},
         100,
         4,
         6,
         qRgb(35, 38, 39),
         qRgb(230, 230, 230),
         32,
         light,
         15},
    };
    const QString none;
    const struct
    {
        int row;
        const char *word;
        QString expected; // empty: nothing
        QString context;
    } hovers[] = {
        {0, "Lanterns", "Lanterns", "Lanterns glow by the quay."},
        {1, "rest", "rest", "Boats rest\u2026"},
        {1, "sun", none, {}},
        {2, "flower", none, {}},
        {2, "grows", "grows", "\u2026grows tall."},
        {3, "Sailors", "Sailors", "Sailors mend their nets."},
        {4, "pass", none, {}},
        {5, "word", none, {}},
        {6, "Gulls", "Gulls", "Gulls sleep."},
    };
    for (const DrawnTerminal &terminal : terminals) {
        SCOPED_TRACE(terminal.name);
        const Screen screen = draw(terminal, wrappedLines(terminal.columns));
        // Where "sun" lies beyond the strip, after a long run of spaces, the row ends at "rest" as far
        // as anything can tell.
        const bool endInStrip = terminal.columns * terminal.cell.width() < 600;
        for (const auto &hover : hovers) {
            const auto &row = screen.rows[std::size_t(hover.row)];
            const auto word =
                std::find_if(row.begin(), row.end(), [&](const auto &w) { return w.first == hover.word; });
            ASSERT_NE(word, row.end()) << hover.word;
            const QRect ink = word->second;
            for (const int x : {ink.left() + 2, ink.center().x(), ink.right() - 2}) {
                SCOPED_TRACE(QStringLiteral("%1 in row %2 at %3").arg(hover.word).arg(hover.row).arg(x).toStdString());
                const auto hit = readDrawn(*engine, screen, std::size_t(hover.row), QPoint(x, ink.center().y()));
                EXPECT_EQ(hit ? hit->text : QString(), hover.expected);
                if (hit && !hover.context.isEmpty()) {
                    EXPECT_EQ(hit->context,
                              endInStrip || hover.row != 1 ? hover.context : QStringLiteral("Boats rest"));
                    EXPECT_EQ(hit->context->mid(*hit->wordOffset, hit->text.size()), hit->text);
                }
            }
        }
    }
}
