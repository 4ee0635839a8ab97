// The tooltip's layout: paddings and arrow room per state, the column rules that keep a long text
// from making a huge window, what each status row draws, and the texts' own rules.

#include "Features/Overlay/Views/TooltipLayout.h"
#include "Features/Overlay/Views/TooltipShape.h"
#include "Features/Overlay/Views/TooltipText.h"

#include <QImage>
#include <QPainter>
#include <QTextLine>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace Lumivox;

namespace {

StyledText marked(const QString &text, const QString &word)
{
    StyledText styled(text);
    styled.setInlinePresentationIntent({text.indexOf(word), word.size()},
                                       InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized));
    return styled;
}

Glance glance(std::optional<EnglishGrammar::Line> grammar = std::nullopt,
              std::optional<StyledText> sentence = std::nullopt)
{
    return Glance {QStringLiteral("corrió"), std::move(grammar), std::move(sentence), std::nullopt};
}

WordStatus keysStatus(std::optional<QString> hold = QStringLiteral("⌥"))
{
    WordStatus s;
    s.lookups = 2;
    s.showsKeyHints = true;
    s.suggestAfter = 3;
    s.hasKeys = true;
    s.keys.hold = std::move(hold);
    if (!s.keys.hold) {
        s.keys.save = QStringLiteral("⌃S");
        s.keys.copy = QStringLiteral("⌃C");
    }
    return s;
}

TooltipContent text(const QString &t)
{
    TooltipContent c;
    c.text = t;
    return c;
}

const TooltipLayout::Text *textElement(const TooltipLayout &layout, const QString &text)
{
    for (const auto &e : layout.elements()) {
        if (const auto *t = std::get_if<TooltipLayout::Text>(&e); t && t->layout->text() == text)
            return t;
    }
    return nullptr;
}

int rules(const TooltipLayout &layout)
{
    int n = 0;
    for (const auto &e : layout.elements())
        n += std::holds_alternative<TooltipLayout::Rule>(e) ? 1 : 0;
    return n;
}

} // namespace

TEST(TooltipView, PaddingsFollowTheStateAndLeaveRoomForTheArrow)
{
    TooltipContent loading;
    loading.isLoading = true;
    loading.glance = glance();
    loading.status = keysStatus();
    TooltipContent bare;
    bare.glance = glance();

    struct Case
    {
        const char *what;
        TooltipContent content;
        ArrowEdge edge;
        double horizontal, top, bottom;
    };
    const Case cases[] = {
        {"loading, arrow below", loading, ArrowEdge::bottom, 14, 8, 8 + 7},
        {"loading, arrow above", loading, ArrowEdge::top, 14, 8 + 7, 8},
        {"plain text", text(QStringLiteral("casa")), ArrowEdge::bottom, 14, 8, 8 + 7},
        {"glance", bare, ArrowEdge::bottom, 16, 10, 11 + 7},
        {"glance, arrow above", bare, ArrowEdge::top, 16, 10 + 7, 11},
    };
    for (const Case &c : cases) {
        const TooltipLayout layout(c.content, c.edge);
        const QRectF bubble = layout.bubbleRect();
        const QRectF content = layout.contentRect();
        EXPECT_EQ(bubble.topLeft(), QPointF(12, 12)) << c.what;
        EXPECT_EQ(layout.size(), bubble.size() + QSizeF(24, 24)) << c.what;
        EXPECT_DOUBLE_EQ(content.left() - bubble.left(), c.horizontal) << c.what;
        EXPECT_DOUBLE_EQ(bubble.right() - content.right(), c.horizontal) << c.what;
        EXPECT_DOUBLE_EQ(content.top() - bubble.top(), c.top) << c.what;
        EXPECT_DOUBLE_EQ(bubble.bottom() - content.bottom(), c.bottom) << c.what;
    }
    // Loading shows the indicator alone, whatever else the content holds.
    const TooltipLayout spinner(loading, ArrowEdge::bottom);
    EXPECT_EQ(spinner.contentRect().size(), QSizeF(20, 20));
    EXPECT_TRUE(spinner.texts().isEmpty());
}

TEST(TooltipView, TheMarkedSentenceGetsAColumnThatFitsItOrWrapsAt280)
{
    const StyledText shortSentence = marked(QStringLiteral("Corrió a casa."), QStringLiteral("Corrió"));
    const double narrow = TooltipText::sentenceWidth(shortSentence);
    EXPECT_EQ(narrow, std::ceil(narrow));
    EXPECT_LT(narrow, 280);
    const StyledText longSentence =
        marked(QString(QStringLiteral("Una frase muy larga. ")).repeated(500) + QStringLiteral("Corrió."),
               QStringLiteral("Corrió"));
    EXPECT_EQ(TooltipText::sentenceWidth(longSentence), 280);

    for (const bool isShort : {true, false}) {
        const StyledText &sentence = isShort ? shortSentence : longSentence;
        TooltipContent c;
        c.glance = glance(std::nullopt, sentence);
        const TooltipLayout layout(c, ArrowEdge::bottom);
        const TooltipLayout::Text *drawn = nullptr;
        for (const auto &e : layout.elements()) {
            if (const auto *t = std::get_if<TooltipLayout::Text>(&e); t && t->layout->text() != c.glance->meaning)
                drawn = t;
        }
        ASSERT_TRUE(drawn);
        EXPECT_EQ(drawn->frame.width(), TooltipText::sentenceWidth(sentence));
        EXPECT_EQ(rules(layout), 1);
        if (isShort) {
            // Measured in the emphasised weight, so the marked word never pushes it onto a second line.
            EXPECT_EQ(drawn->layout->lineCount(), 1);
            ASSERT_EQ(drawn->emphasis.size(), 1);
            EXPECT_EQ(drawn->emphasis.front().start, 0);
            EXPECT_EQ(drawn->emphasis.front().length, 6);
        } else {
            EXPECT_EQ(drawn->layout->lineCount(), 4);
            EXPECT_TRUE(drawn->layout->text().endsWith(QChar(0x2026)));
            EXPECT_LT(layout.size().height(), 200);
        }
    }
    // An empty sentence draws neither the rule nor a sentence.
    TooltipContent empty;
    empty.glance = glance(std::nullopt, StyledText());
    EXPECT_EQ(rules(TooltipLayout(empty, ArrowEdge::bottom)), 0);
}

TEST(TooltipView, TheGrammarLineEmphasisesTheIdiomOrTheBaseForm)
{
    struct Case
    {
        const char *tag;
        const char *text;
        const char *emphasised; // nullptr: none
    };
    const Case cases[] = {
        {"idiom", "break the ice = start a conversation", "break the ice"},
        {"idiom", "a = b = c", "a"},
        {"idiom", "piece of cake", "cake"},
        {"verb", "past of run", "run"},
        {"noun", "plural of son of a gun", "a gun"},
        {"verb", "a = b", nullptr},
        {"adjective", "comparative", nullptr},
        {"verb", "past of ", nullptr},
        {"idiom", " = nothing before", nullptr},
    };
    for (const Case &c : cases) {
        const StyledText styled = TooltipText::grammarText({QString::fromUtf8(c.tag), QString::fromUtf8(c.text)});
        EXPECT_EQ(styled.text(), QString::fromUtf8(c.text));
        const auto ranges = styled.stronglyEmphasizedRanges();
        if (!c.emphasised) {
            EXPECT_TRUE(ranges.empty()) << c.text;
            continue;
        }
        ASSERT_EQ(ranges.size(), 1u) << c.text;
        EXPECT_EQ(styled.text().mid(ranges[0].location, ranges[0].length), QString::fromUtf8(c.emphasised));
    }

    // The chip's row draws that emphasis, and only the chip when the line has no text.
    TooltipContent c;
    c.glance = glance(EnglishGrammar::Line {QStringLiteral("verb"), QStringLiteral("past of run")});
    const TooltipLayout layout(c, ArrowEdge::bottom);
    const auto *note = textElement(layout, QStringLiteral("past of run"));
    ASSERT_TRUE(note);
    ASSERT_EQ(note->emphasis.size(), 1);
    EXPECT_EQ(note->emphasis.front().start, 8);
    ASSERT_EQ(note->layout->formats().size(), 1);
    EXPECT_EQ(note->layout->formats().front().format.fontWeight(), QFont::DemiBold);
    c.glance->grammar->text.clear();
    EXPECT_EQ(TooltipLayout(c, ArrowEdge::bottom).texts(),
              (QStringList {QStringLiteral("corrió"), QStringLiteral("verb")}));
}

TEST(TooltipView, HeaderAndFooterFollowTheRow)
{
    auto drawn = [](std::optional<WordStatus> status) {
        TooltipContent c;
        c.glance = glance();
        c.status = std::move(status);
        return TooltipLayout(c, ArrowEdge::bottom).texts();
    };
    WordStatus saved = keysStatus();
    saved.isSaved = true;
    saved.met = 3;
    WordStatus suggest = keysStatus();
    suggest.lookups = 3;
    WordStatus none = keysStatus();
    none.hasKeys = false;
    auto flashing = [](WordStatus::Flash flash) {
        WordStatus s = keysStatus();
        s.flash = flash;
        return s;
    };
    const QString meaning = QStringLiteral("corrió");
    struct Case
    {
        const char *what;
        std::optional<WordStatus> status;
        QStringList texts;
    };
    const Case cases[] = {
        {"no status", std::nullopt, {meaning}},
        {"none", none, {meaning}},
        {"keys", keysStatus(), {meaning, "S", "Save", "C", "Copy", "while holding Alt"}},
        {"keys, nothing held", keysStatus(std::nullopt), {meaning, "Ctrl+S", "Save", "Ctrl+C", "Copy"}},
        {"suggest", suggest, {meaning, "Looked up 3 times", "S", "Save"}},
        {"saved once", flashing(WordStatus::Flash::saved(1)), {meaning, "Saved to Words", "· 1 word"}},
        {"saved twice", flashing(WordStatus::Flash::saved(2)), {meaning, "Saved to Words", "· 2 words"}},
        {"removed", flashing(WordStatus::Flash::removed()), {meaning, "Removed from Words"}},
        {"copied", flashing(WordStatus::Flash::copied()), {meaning, "Copied"}},
        {"saved header", saved, {"Saved", QStringLiteral("· 3rd time you’ve met it"), meaning}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(drawn(c.status), c.texts) << c.what;
        TooltipContent content;
        content.glance = glance();
        content.status = c.status;
        const bool footer = c.status && TooltipText::hasFooter(c.status->row());
        EXPECT_EQ(rules(TooltipLayout(content, ArrowEdge::bottom)), footer ? 1 : 0) << c.what;
    }
    saved.met = 1;
    EXPECT_EQ(drawn(saved), (QStringList {"Saved", meaning}));
}

TEST(TooltipView, OrdinalsComeFromTheLocalesRules)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const std::pair<int, const char *> cases[] = {{2, "2nd"}, {3, "3rd"}, {11, "11th"}, {21, "21st"}};
    for (const auto &[n, expected] : cases)
        EXPECT_EQ(TooltipText::ordinal(n, english), QString::fromLatin1(expected)) << n;
    EXPECT_EQ(TooltipText::ordinal(3, QLocale::c()), QStringLiteral("3rd"));
    EXPECT_EQ(TooltipText::ordinal(3, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("3."));
    EXPECT_FALSE(TooltipText::metText(1, english));
    EXPECT_EQ(TooltipText::metText(2, english), QStringLiteral("· 2nd time you’ve met it"));
}

TEST(TooltipView, TheBubblesCornersShrinkOnASmallBody)
{
    struct Case
    {
        QRectF rect;
        ArrowEdge edge;
        double radius;
    };
    const Case cases[] = {
        {QRectF(0, 0, 100, 60), ArrowEdge::bottom, 10},
        {QRectF(0, 0, 16, 60), ArrowEdge::bottom, 8},
        {QRectF(0, 0, 100, 20), ArrowEdge::bottom, 6.5},
        {QRectF(0, 0, 100, 20), ArrowEdge::top, 6.5},
    };
    for (const Case &c : cases) {
        const QPainterPath path = TooltipShape::path(c.rect, c.edge);
        EXPECT_DOUBLE_EQ(path.elementAt(0).x - c.rect.left(), c.radius);
        EXPECT_EQ(path.boundingRect(), c.rect);
    }
    // The arrow's tip sits at the centre of its edge, beside the body.
    const QPainterPath below = TooltipShape::path(QRectF(0, 0, 100, 60), ArrowEdge::bottom);
    EXPECT_TRUE(below.contains(QPointF(50, 58)));
    EXPECT_FALSE(below.contains(QPointF(35, 58)));
}

TEST(TooltipView, TextFromOtherProgramsIsPlainAndBounded)
{
    const TooltipLayout reference(text(QStringLiteral("casa")), ArrowEdge::bottom);

    // Never interpreted as markup.
    const QString markup = QStringLiteral("<b>casa</b> &amp; <img src=x>");
    EXPECT_EQ(TooltipLayout(text(markup), ArrowEdge::bottom).texts(), QStringList {markup});

    // A huge meaning is wrapped at the column's width, cut to 3 lines and elided.
    const TooltipLayout huge(text(QString(QStringLiteral("palabra ")).repeated(1250)), ArrowEdge::bottom);
    EXPECT_LE(huge.contentRect().width(), TooltipLayout::textMaxWidth);
    EXPECT_EQ(std::get<TooltipLayout::Text>(huge.elements().front()).layout->lineCount(), 3);
    EXPECT_TRUE(huge.texts().front().endsWith(QChar(0x2026)));
    const TooltipLayout unbroken(text(QString(10000, QLatin1Char('x'))), ArrowEdge::bottom);
    EXPECT_LE(unbroken.contentRect().width(), TooltipLayout::textMaxWidth);
    EXPECT_LT(unbroken.size().height(), 150);

    // Line breaks break lines; other control characters do not reach the shaper.
    const TooltipLayout lines(text(QStringLiteral("uno\r\ndos\u0007")), ArrowEdge::bottom);
    EXPECT_EQ(std::get<TooltipLayout::Text>(lines.elements().front()).layout->lineCount(), 2);
    EXPECT_FALSE(lines.texts().front().contains(QChar(7)));
    const QString sep(QChar::LineSeparator);
    const std::tuple<QString, qsizetype, QString> cleaned[] = {
        {QStringLiteral("a\r"), 10, QStringLiteral("a") + sep},
        {QStringLiteral("a\r\nb"), 10, QStringLiteral("a\u2060") + sep + QStringLiteral("b")},
        {QStringLiteral("a\tb\u0085c"), 10, QStringLiteral("a b") + sep + QStringLiteral("c")},
        // Cut before a character that would be split in half, never inside it.
        {QStringLiteral("ab😀c"), 3, QStringLiteral("ab")},
        {QStringLiteral("ab😀c"), 4, QStringLiteral("ab😀")},
        {QStringLiteral("abc"), 2, QStringLiteral("ab")},
    };
    for (const auto &[raw, limit, expected] : cleaned)
        EXPECT_EQ(TooltipText::plain(raw, limit), expected) << raw.toStdString();

    // An empty meaning still makes a bubble; an unusable size or a missing font falls back.
    EXPECT_GT(TooltipLayout(text(QString()), ArrowEdge::bottom).size().height(), 24);
    for (double size : {std::nan(""), -3.0, 0.0, HUGE_VAL}) {
        TooltipContent c = text(QStringLiteral("casa"));
        c.fontSize = size;
        const QSizeF drawn = TooltipLayout(c, ArrowEdge::bottom).size();
        if (std::isinf(size))
            EXPECT_LT(drawn.height(), 400);
        else
            EXPECT_EQ(drawn, reference.size()) << size;
    }
    TooltipContent missing = text(QStringLiteral("casa"));
    missing.fontName = QStringLiteral("No Such Font Family 42");
    EXPECT_EQ(TooltipLayout(missing, ArrowEdge::bottom).size(), reference.size());
}

namespace {

QRectF frameOf(const TooltipLayout::Element &element)
{
    return std::visit([](const auto &e) { return e.frame; }, element);
}

// Every line the text's layout drew, end to end: what a reader sees of it.
QString drawnText(const TooltipLayout::Text &t)
{
    QString out;
    for (int i = 0; i < t.layout->lineCount(); ++i) {
        const QTextLine line = t.layout->lineAt(i);
        out += t.layout->text().mid(line.textStart(), line.textLength());
    }
    return out;
}

} // namespace

TEST(TooltipView, RowsAndRulesAddUpToTheContentExactly)
{
    // The key footer is the widest row; a rule stands above the chip's row and above the footer.
    TooltipContent c;
    c.glance = glance(EnglishGrammar::Line {QStringLiteral("verb"), QStringLiteral("past of run")},
                      marked(QStringLiteral("Corrió a casa."), QStringLiteral("Corrió")));
    c.status = keysStatus();
    const TooltipLayout layout(c, ArrowEdge::bottom);
    const QRectF content = layout.contentRect();
    QRectF drawn;
    std::vector<QRectF> ruleFrames;
    std::vector<QRectF> others;
    for (const auto &e : layout.elements()) {
        const QRectF frame = frameOf(e);
        EXPECT_TRUE(content.adjusted(-0.01, -0.01, 0.01, 0.01).contains(frame));
        (std::holds_alternative<TooltipLayout::Rule>(e) ? ruleFrames : others).push_back(frame);
        drawn = drawn.united(frame);
    }
    // Nothing wider or taller than what is drawn: the widest row spans the column edge to edge.
    EXPECT_DOUBLE_EQ(drawn.left(), content.left());
    EXPECT_DOUBLE_EQ(drawn.right(), content.right());
    EXPECT_DOUBLE_EQ(drawn.top(), content.top());
    EXPECT_DOUBLE_EQ(drawn.bottom(), content.bottom());
    // Each rule is one point high across its column (the glance's above the sentence, the whole
    // content's above the footer), with the stack's 6 points to what follows it.
    ASSERT_EQ(ruleFrames.size(), 2u);
    std::sort(ruleFrames.begin(), ruleFrames.end(), [](const QRectF &a, const QRectF &b) { return a.top() < b.top(); });
    QRectF glance;
    for (const QRectF &other : others) {
        if (other.bottom() <= ruleFrames[1].top())
            glance = glance.united(other);
    }
    EXPECT_DOUBLE_EQ(ruleFrames[0].left(), glance.left());
    EXPECT_DOUBLE_EQ(ruleFrames[0].right(), glance.right());
    EXPECT_DOUBLE_EQ(ruleFrames[1].width(), content.width());
    for (const QRectF &rule : ruleFrames) {
        EXPECT_DOUBLE_EQ(rule.height(), 1);
        double next = content.bottom();
        for (const QRectF &other : others) {
            if (other.top() > rule.top())
                next = std::min(next, other.top());
        }
        EXPECT_DOUBLE_EQ(next - rule.bottom(), 6);
    }
}

TEST(TooltipView, AnElidedTextEndsInAnEllipsisThatIsDrawnAndNeverSplitsACharacter)
{
    // Emphasised throughout, so the first guess (made in the regular weight) is too long and has to
    // be shortened step by step; a sentence of emoji puts the steps between the halves of a pair.
    for (const QString &unit : {QStringLiteral("palabra "), QStringLiteral("😀")}) {
        SCOPED_TRACE(unit.toStdString());
        const QString text = unit.repeated(400);
        StyledText sentence(text);
        sentence.setInlinePresentationIntent({0, text.size()},
                                             InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized));
        TooltipContent c;
        c.glance = glance(std::nullopt, sentence);
        const TooltipLayout layout(c, ArrowEdge::bottom);
        const TooltipLayout::Text *shown = nullptr;
        for (const auto &e : layout.elements()) {
            if (const auto *t = std::get_if<TooltipLayout::Text>(&e); t && t->layout->text() != c.glance->meaning)
                shown = t;
        }
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->layout->lineCount(), 4);
        EXPECT_TRUE(shown->layout->text().endsWith(QChar(0x2026)));
        EXPECT_EQ(drawnText(*shown), shown->layout->text()) << "the ellipsis is on a line that is drawn";
        EXPECT_TRUE(QStringView(shown->layout->text()).isValidUtf16());
    }
}

TEST(TooltipView, KeyCapsAreFilledAndTheGrammarChipIsOnlyOutlined)
{
    TooltipContent c;
    c.glance = glance(EnglishGrammar::Line {QStringLiteral("verb"), QStringLiteral("past of run")});
    c.status = keysStatus();
    const TooltipLayout layout(c, ArrowEdge::bottom);
    QImage image(layout.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        // In the dark scheme a key cap's face differs from the tooltip's surface.
        layout.paint(painter, {.scheme = ColorScheme::dark, .opaque = true});
    }
    int chips = 0;
    int caps = 0;
    for (const auto &e : layout.elements()) {
        const auto *box = std::get_if<TooltipLayout::Box>(&e);
        if (!box)
            continue;
        // Inside the box, in its padding beside the label, against the surface just outside it.
        const int y = int(box->frame.center().y());
        const QRgb inside = image.pixel(int(box->frame.left()) + 2, y);
        const QRgb outside = image.pixel(int(box->frame.left()) - 2, y);
        if (box->style == TooltipLayout::Box::Style::chip) {
            ++chips;
            EXPECT_EQ(inside, outside) << "the chip is hollow";
        } else {
            ++caps;
            EXPECT_NE(inside, outside) << "a key cap is filled";
        }
    }
    EXPECT_EQ(chips, 1);
    EXPECT_EQ(caps, 2);
}

TEST(TooltipView, TheSpinnerLeadsWithItsDarkestSpokeFadesToAQuarterAndKeepsItsCapsInsideItsFrame)
{
    TooltipContent c;
    c.isLoading = true;
    const TooltipLayout layout(c, ArrowEdge::bottom);
    QRectF frame;
    for (const auto &e : layout.elements()) {
        if (const auto *s = std::get_if<TooltipLayout::Spinner>(&e))
            frame = s->frame;
    }
    ASSERT_FALSE(frame.isEmpty());
    // Drawn eight times over, so that a quarter of a point is two whole pixels.
    constexpr double scale = 8;
    for (const double phase : {0.0, 0.5}) {
        SCOPED_TRACE(phase);
        QImage image((layout.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.scale(scale, scale);
            layout.paint(painter, {.opaque = true, .spinnerPhase = phase});
        }
        const QPointF centre = frame.center();
        const QColor surface = image.pixelColor((frame.topLeft() * scale).toPoint());
        // How far from the surface the ink is at a point: in proportion to the ink's opacity there.
        const auto ink = [&](double angle, double radius) {
            const QPointF at = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
            const QColor pixel = image.pixelColor((at * scale).toPoint());
            return std::abs(pixel.red() - surface.red()) + std::abs(pixel.green() - surface.green())
                + std::abs(pixel.blue() - surface.blue());
        };
        // Spoke i points at 2πi/8 from straight up (clockwise); the one the phase gives leads, and
        // each one further behind it is lighter, the last a quarter as dark as the leader.
        const int lead = int(phase * 8);
        const auto spoke = [&](int behind) {
            const int i = (lead - behind + 8) % 8;
            return ink(2 * std::numbers::pi * i / 8 - std::numbers::pi / 2, 6.375);
        };
        ASSERT_GT(spoke(0), 60);
        for (int behind = 1; behind < 8; ++behind)
            EXPECT_LT(spoke(behind), spoke(behind - 1)) << behind;
        EXPECT_NEAR(double(spoke(7)) / spoke(0), 0.25, 0.04);
        // The round caps of the 2-point strokes end half a point inside the 20-point frame.
        const double up = 2 * std::numbers::pi * lead / 8 - std::numbers::pi / 2;
        EXPECT_GT(ink(up, 9.25), spoke(0) / 2) << "the leading spoke reaches out to 9.5 points";
        EXPECT_LT(ink(up, 9.75), 6) << "and no further";
    }
}
