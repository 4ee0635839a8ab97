#include "Fakes/FakeAccessibility.h"
#include "Native/Services.h"
#include "Services/Detection/AccessibilityTextService.h"
#include "Services/Detection/OffsetTrust.h"
#include "Shared/Platform/AppIdentity.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using Testing::FakeAccessibility;
using Testing::FakeElement;
namespace ATS = Lumivox::AccessibilityTextService;

namespace {

constexpr double maxY = 1000;
constexpr std::int32_t otherPid = 4242;

// The centre of character `index` of a one-line text laid out from `origin`, `width` a character.
QPointF charCentre(qsizetype index, QPointF origin = QPointF(100, 100), double width = 8, double height = 16)
{
    return QPointF(origin.x() + (double(index) + 0.5) * width, origin.y() + height / 2);
}

class AccessibilityTextServiceTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeElement> textElement(const QString &text, QPointF origin = QPointF(100, 100), double width = 8)
    {
        auto element = FakeElement::make();
        element->pid(otherPid).role(QStringLiteral("AXTextArea")).text(text, origin, width);
        ax->elementEverywhere(element);
        return element;
    }

    ATS::LookupResult lookupAt(QPointF at, std::optional<double> primaryMaxY = maxY)
    {
        return ATS::lookupWord(at, primaryMaxY);
    }

    std::shared_ptr<FakeAccessibility> ax = std::make_shared<FakeAccessibility>();
    Native::ScopedOverride<Native::Accessibility> scoped {ax};
};

} // namespace

TEST_F(AccessibilityTextServiceTest, ReadsTheWordItsSentenceAndItsBounds)
{
    const QString text = QStringLiteral("The quick brown fox. It jumps over the lazy dog.");
    auto element = textElement(text);
    const ATS::HitResult expected {QStringLiteral("brown"), QStringLiteral("The quick brown fox."),
                                   QRectF(180, maxY - 116, 40, 16), 10};
    EXPECT_EQ(lookupAt(charCentre(12)), ATS::LookupResult::hit(expected));
    EXPECT_TRUE(ax->systemWide->timeout && *ax->systemWide->timeout == 0.15);

    // Without the screen's height the rectangle flips around its own bottom.
    EXPECT_EQ(lookupAt(charCentre(12), std::nullopt).hitResult()->bounds, QRectF(180, 0, 40, 16));

    // The text's very first character is a place like any other.
    const auto first = lookupAt(charCentre(0));
    ASSERT_TRUE(first.hitResult());
    EXPECT_EQ(first.hitResult()->word, QStringLiteral("The"));
    EXPECT_EQ(first.hitResult()->wordOffset, 0);

    // An element whose ranges read as empty text is read from its value instead.
    element->parameterized["AXStringForRange"] = [](const Native::AXValue &) {
        return std::optional<Native::AXValue>(QString());
    };
    EXPECT_EQ(lookupAt(charCentre(12)), ATS::LookupResult::hit(expected));
}

TEST_F(AccessibilityTextServiceTest, LongTextsAreReadInWindowsAroundThePointer)
{
    QString text;
    while (text.size() < 3000)
        text += QStringLiteral("Lorem ipsum dolor sit amet. ");
    const qsizetype at = text.size() + 26;
    text += QStringLiteral("The target sentence holds zebra words. ");
    while (text.size() < 6000)
        text += QStringLiteral("Consectetur adipiscing elit. ");
    auto element = textElement(text);
    qint64 longest = 0;
    const auto read = element->parameterized["AXStringForRange"];
    element->parameterized["AXStringForRange"] = [&](const Native::AXValue &p) {
        longest = std::max(longest, std::get<Native::AXRange>(p).length);
        return read(p);
    };
    const auto result = lookupAt(charCentre(at + 2));
    ASSERT_TRUE(result.hitResult());
    EXPECT_EQ(result.hitResult()->word, QStringLiteral("zebra"));
    EXPECT_EQ(result.hitResult()->fullText, QStringLiteral("The target sentence holds zebra words."));
    EXPECT_EQ(result.hitResult()->wordOffset, 26);
    EXPECT_LE(longest, 640);
    EXPECT_FALSE(element->wasRequested("AXValue"));
}

TEST_F(AccessibilityTextServiceTest, DefaultIndexFarIntoAWideFieldIsNotTrusted)
{
    // The field answers index 0 wherever the pointer is.
    const QString text = QStringLiteral("alpha beta gamma delta epsilon");
    auto element = textElement(text, QPointF(0, 0), 10);
    element->bounds(QRectF(0, 0, 300, 20));
    element->parameterized["AXRangeForPosition"] = [](const Native::AXValue &) -> std::optional<Native::AXValue> {
        return Native::AXRange {0, 1};
    };
    // Half way across, the index is ignored and the word comes from the pointer's position.
    const auto middle = lookupAt(QPointF(150, 8));
    ASSERT_TRUE(middle.hitResult());
    EXPECT_EQ(middle.hitResult()->word, QStringLiteral("gamma"));
    EXPECT_EQ(middle.hitResult()->wordOffset, 11);
    // Up to 12 % across, or anywhere in a field of 40 points or less, the index may well be right;
    // so may any index past 1 (here still inside "alpha", whose box holds the pointer). These fields
    // are too tall for an estimate from the pointer's position: only the index reads.
    const struct
    {
        QRectF field;
        double x;
        qint64 index;
        bool read;
    } edges[] = {
        {QRectF(0, 0, 300, 60), 36, 0, true}, {QRectF(0, 0, 300, 60), 37, 0, false},
        {QRectF(0, 0, 300, 60), 36, 1, true}, {QRectF(0, 0, 300, 60), 37, 1, false},
        {QRectF(0, 0, 300, 60), 37, 2, true}, {QRectF(0, 0, 40, 60), 30, 0, true},
        {QRectF(0, 0, 41, 60), 30, 0, false}, {QRectF(0, 0, 41, 60), 30, 1, false},
    };
    for (const auto &c : edges) {
        SCOPED_TRACE(testing::Message() << c.field.width() << " wide, at " << c.x << ", index " << c.index);
        element->bounds(c.field);
        element->parameterized["AXRangeForPosition"] =
            [index = c.index](const Native::AXValue &) -> std::optional<Native::AXValue> {
            return Native::AXRange {index, 1};
        };
        const auto hit = lookupAt(QPointF(c.x, 8));
        EXPECT_EQ(hit.hitResult() && hit.hitResult()->word == QStringLiteral("alpha")
                      && hit.hitResult()->fullText == text,
                  c.read);
    }
}

// Where the provider draws no boxes, the offset is asked again at a corner of the element (inset by
// 2 points) at least 40 points from the pointer: the farthest one, and of corners equally far the
// first of top left, top right, bottom left, bottom right.
TEST(OffsetTrust, TheSecondQuestionGoesToTheFarthestCornerFarEnoughAway)
{
    const struct
    {
        const char *name;
        QRectF element;
        QPointF point;
        std::optional<QPointF> probe;
    } cases[] = {
        {"the farthest of several far corners", QRectF(0, 0, 204, 104), QPointF(10, 10), QPointF(202, 102)},
        {"four corners equally far: the first", QRectF(0, 0, 204, 104), QPointF(102, 52), QPointF(2, 2)},
        {"a corner exactly 40 away (24 across, 32 down)", QRectF(0, 0, 28, 36), QPointF(26, 34), QPointF(2, 2)},
        {"every corner nearer than 40", QRectF(0, 0, 27, 35), QPointF(25, 33), std::nullopt},
        {"no room inside the inset", QRectF(0, 0, 4, 100), QPointF(2, 50), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OffsetTrust::probePoint(c.element, c.point), c.probe);
    }
}

TEST_F(AccessibilityTextServiceTest, WordBoundsMustBeUnderThePointer)
{
    auto element = textElement(QStringLiteral("Nothing here is near the pointer."));
    element->bounds(QRectF(100, 100, 400, 400)); // too tall for the attribute path
    QRectF answered;
    element->parameterized["AXBoundsForRange"] = [&](const Native::AXValue &) -> std::optional<Native::AXValue> {
        return answered;
    };
    const QPointF at = charCentre(2);
    answered = QRectF(at.x() + 9, at.y() - 4, 30, 8); // 9 points right of the pointer
    const auto far = lookupAt(at);
    ASSERT_TRUE(far.missResult());
    EXPECT_EQ(*far.missResult(),
              (ATS::LookupResult::Miss {otherPid, QStringLiteral("AXTextArea"),
                                        QStringLiteral("Nothing here is near the pointer.")}));
    answered = QRectF(at.x() + 7, at.y() - 4, 30, 8); // within the 8-point margin
    ASSERT_TRUE(lookupAt(at).hitResult());
    EXPECT_EQ(lookupAt(at).hitResult()->word, QStringLiteral("Nothing"));
}

TEST_F(AccessibilityTextServiceTest, OneLetterWordsAreNotRead)
{
    auto element = textElement(QStringLiteral("I saw a cat"));
    element->bounds(QRectF(100, 100, 400, 400));
    EXPECT_TRUE(lookupAt(charCentre(6)).missResult());
    EXPECT_EQ(lookupAt(charCentre(8)).hitResult()->word, QStringLiteral("cat"));

    EXPECT_EQ(ATS::extractSingleWord(u"a"), std::nullopt);
    EXPECT_EQ(ATS::extractSingleWord(u"  \n "), std::nullopt);
    EXPECT_EQ(ATS::extractSingleWord(u"2024"), std::nullopt);
    EXPECT_EQ(ATS::extractSingleWord(u"two words"), std::nullopt);
    EXPECT_EQ(ATS::extractSingleWord(u" \u00ABSave\u00BB\n"), QStringLiteral("Save"));
    EXPECT_EQ(ATS::extractSingleWord(u"don't"), QStringLiteral("don't"));
}

TEST_F(AccessibilityTextServiceTest, AButtonIsReadByItsTitle)
{
    auto button = FakeElement::make();
    button->pid(otherPid).role(QStringLiteral("AXButton")).title(QStringLiteral("Save")).bounds(QRectF(50, 60, 30, 20));
    ax->elementEverywhere(button);
    const auto result = lookupAt(QPointF(60, 70));
    ASSERT_TRUE(result.hitResult());
    EXPECT_EQ(
        *result.hitResult(),
        (ATS::HitResult {QStringLiteral("Save"), QStringLiteral("Save"), QRectF(50, maxY - 80, 30, 20), std::nullopt}));
    // Just outside its frame there is nothing to read.
    EXPECT_TRUE(lookupAt(QPointF(80, 70)).missResult());
}

TEST_F(AccessibilityTextServiceTest, OneLineLabelsAreReadByThePointersPosition)
{
    auto label = FakeElement::make();
    label->pid(otherPid).role(QStringLiteral("AXStaticText")).bounds(QRectF(0, 0, 210, 20));
    ax->elementEverywhere(label);

    // 21 UTF-16 units: at 75 % the target is index 15, the space after "new"; "new" and "world"
    // are both one away and the earlier one wins.
    label->value(QStringLiteral("hello brave new world"));
    const auto result = lookupAt(QPointF(0.75 * 210, 10));
    ASSERT_TRUE(result.hitResult());
    EXPECT_EQ(*result.hitResult(),
              (ATS::HitResult {QStringLiteral("new"), QStringLiteral("hello brave new world"),
                               QRectF(120, maxY - 20, 30, 20), 12}));

    // A label of two lines gives nothing: where the pointer is says nothing about the word.
    label->bounds(QRectF(0, 0, 210, 40)).value(QStringLiteral("hello brave\nnew world"));
    EXPECT_TRUE(lookupAt(QPointF(0.75 * 210, 10)).missResult());
}

TEST_F(AccessibilityTextServiceTest, ContainersAreSearchedThroughTheirChildren)
{
    auto leaf = [](const QString &title, const QRectF &frame) {
        auto e = FakeElement::make();
        e->role(QStringLiteral("AXStaticText")).title(title).bounds(frame);
        return e;
    };
    auto group = [](std::vector<std::shared_ptr<FakeElement>> children) {
        auto e = FakeElement::make();
        e->role(QStringLiteral("AXGroup")).bounds(QRectF(0, 0, 1000, 1000)).children(children);
        return e;
    };
    auto root = group({leaf(QStringLiteral("Elsewhere"), QRectF(500, 500, 80, 20)),
                       leaf(QStringLiteral("Harbor"), QRectF(101, 100, 80, 20))});
    root->pid(otherPid);
    ax->elementEverywhere(root);
    ASSERT_TRUE(lookupAt(QPointF(102, 110)).hitResult());
    EXPECT_EQ(lookupAt(QPointF(102, 110)).hitResult()->word, QStringLiteral("Harbor"));

    // Depth is bounded by the walk's budget of visits, not by a fixed depth: the fourteen levels of
    // a tabbed editor are walked, a chain longer than the budget is not.
    auto nested = [&](int levels) {
        auto e = group({leaf(QStringLiteral("Deep"), QRectF(100, 100, 80, 20))});
        for (int i = 1; i < levels; ++i)
            e = group({e});
        return e;
    };
    ax->elementEverywhere(nested(14));
    EXPECT_TRUE(lookupAt(QPointF(110, 110)).hitResult());
    ax->elementEverywhere(nested(17));
    EXPECT_TRUE(lookupAt(QPointF(110, 110)).missResult());

    // Only the first eight children under the point are tried.
    std::vector<std::shared_ptr<FakeElement>> overlapping;
    for (int i = 0; i < 9; ++i)
        overlapping.push_back(leaf(QString(), QRectF(100, 100, 80, 20)));
    overlapping[8]->title(QStringLiteral("Ninth"));
    ax->elementEverywhere(group(overlapping));
    EXPECT_TRUE(lookupAt(QPointF(110, 110)).missResult());
    overlapping[7]->title(QStringLiteral("Eighth"));
    EXPECT_EQ(lookupAt(QPointF(110, 110)).hitResult()->word, QStringLiteral("Eighth"));
}

TEST_F(AccessibilityTextServiceTest, WebContentIsReadThroughTextMarkers)
{
    const QString text = QStringLiteral("Read this. The marker path finds walnut here. End.");
    auto web = FakeElement::make();
    web->pid(otherPid).role(QStringLiteral("AXWebArea")).markerText(text, QPointF(100, 100));
    ax->elementEverywhere(web);
    const auto wordBounds = web->parameterized["AXBoundsForTextMarkerRange"];
    const qsizetype walnut = text.indexOf(QStringLiteral("walnut"));
    const QPointF onWalnut = charCentre(walnut + 3);

    // A word box without width or height is no box: the pointer cannot be on it.
    const struct
    {
        const char *name;
        QPointF at;
        std::optional<QRectF> boundsAnswered;
        std::optional<ATS::HitResult> expected;
    } cases[] = {
        {"a word inside its sentence", onWalnut, std::nullopt,
         ATS::HitResult {QStringLiteral("walnut"), QStringLiteral("The marker path finds walnut here."),
                         QRectF(100 + 8.0 * double(walnut), maxY - 116, 48, 16), 22}},
        {"the first word of the text", charCentre(1), std::nullopt,
         ATS::HitResult {QStringLiteral("Read"), QStringLiteral("Read this."), QRectF(100, maxY - 116, 32, 16), 0}},
        {"a word box of no width", onWalnut, QRectF(onWalnut.x(), 100, 0, 16), std::nullopt},
        {"a word box of no height", onWalnut, QRectF(onWalnut.x() - 20, onWalnut.y(), 48, 0), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        web->parameterized["AXBoundsForTextMarkerRange"] = wordBounds;
        if (c.boundsAnswered) {
            web->parameterized["AXBoundsForTextMarkerRange"] = [&](const Native::AXValue &) {
                return std::optional<Native::AXValue>(*c.boundsAnswered);
            };
        }
        const auto result = lookupAt(c.at);
        EXPECT_EQ(result.hitResult() ? std::optional(*result.hitResult()) : std::nullopt, c.expected);
    }

    // Without sentence ranges the word alone is the context.
    web->parameterized["AXBoundsForTextMarkerRange"] = wordBounds;
    web->parameterized.erase("AXSentenceTextMarkerRangeForTextMarker");
    EXPECT_EQ(lookupAt(onWalnut).hitResult()->fullText, QStringLiteral("walnut"));
}

TEST_F(AccessibilityTextServiceTest, OutcomesOtherThanAWord)
{
    auto element = textElement(QStringLiteral("Some words to read"));

    // Untrusted, nothing is asked of the desktop: neither the word nor the window's title.
    ax->trusted = false;
    EXPECT_EQ(lookupAt(charCentre(1)), ATS::LookupResult::miss());
    EXPECT_EQ(ATS::windowTitle(charCentre(1)), std::nullopt);
    EXPECT_FALSE(ax->systemWide->wasRequested("elementAtPosition"));
    ax->trusted = true;

    element->pid(AppIdentity::currentProcessID());
    EXPECT_TRUE(lookupAt(charCentre(1)).isOwnProcess());
    element->pid(otherPid);

    for (const char *role : {"AXMenu", "AXMenuItem", "AXMenuBar", "AXMenuBarItem"}) {
        element->role(QString::fromLatin1(role));
        EXPECT_TRUE(lookupAt(charCentre(1)).isSuppressed()) << role;
    }

    ax->systemWide->hitTest = nullptr;
    EXPECT_EQ(lookupAt(charCentre(1)), ATS::LookupResult::miss());

    EXPECT_TRUE(ATS::isContainerRole(QStringLiteral("AXWebArea")));
    EXPECT_FALSE(ATS::isContainerRole(QStringLiteral("AXTextArea")));
    EXPECT_FALSE(ATS::isContainerRole(std::nullopt));
}

TEST_F(AccessibilityTextServiceTest, AMissCarriesWhatIsKnown)
{
    auto image = FakeElement::make();
    const QString caption = QStringLiteral("  A caption far longer than forty-eight characters, cut short  ");
    image->pid(otherPid).role(QStringLiteral("AXImage")).title(caption).bounds(QRectF(0, 0, 2000, 2000));
    ax->elementEverywhere(image);
    EXPECT_EQ(lookupAt(QPointF(10, 10)),
              ATS::LookupResult::miss(otherPid, QStringLiteral("AXImage"),
                                      QStringLiteral("A caption far longer than forty-eight characters")));
}

TEST_F(AccessibilityTextServiceTest, CancellationStopsBeforeTheNextPath)
{
    auto element = textElement(QStringLiteral("Some words to read"));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(ATS::lookupWord(charCentre(1), maxY, stop.get_token()),
              ATS::LookupResult::miss(otherPid, QStringLiteral("AXTextArea")));
    EXPECT_FALSE(element->wasRequested("AXRangeForPosition"));
}

TEST_F(AccessibilityTextServiceTest, AnElementThatVanishesMidLookupEndsInAMiss)
{
    // Vanishing after each possible number of answers: every lookup ends, none crashes.
    for (int answers = 0; answers < 40; ++answers) {
        auto inner = FakeElement::make();
        inner->role(QStringLiteral("AXStaticText")).text(QStringLiteral("Vanishing words here."), QPointF(100, 100));
        auto outer = FakeElement::make();
        outer->pid(otherPid).role(QStringLiteral("AXGroup")).bounds(QRectF(0, 0, 900, 900)).children({inner});
        outer->markerText(QStringLiteral("Vanishing words here."), QPointF(100, 100));
        outer->bounds(QRectF(0, 0, 900, 900));
        outer->requestsBeforeGone = answers;
        inner->requestsBeforeGone = answers;
        ax->elementEverywhere(outer);
        const auto result = lookupAt(charCentre(12));
        if (const auto *hit = result.hitResult())
            EXPECT_EQ(hit->word, QStringLiteral("words")) << answers;
        else
            EXPECT_TRUE(result.missResult()) << answers;
    }
}

TEST_F(AccessibilityTextServiceTest, BrokenTextIsReadWithoutHarm)
{
    // Unpaired surrogates around the words, as a misbehaving application may send them.
    QString text = QStringLiteral("xx words with broken halves yy");
    text[0] = QChar(0xD800);
    text[text.size() - 1] = QChar(0xDC00);
    textElement(text);
    const auto result = lookupAt(charCentre(text.indexOf(QStringLiteral("broken")) + 1));
    ASSERT_TRUE(result.hitResult());
    EXPECT_EQ(result.hitResult()->word, QStringLiteral("broken"));
    EXPECT_TRUE(result.hitResult()->fullText.contains(QStringLiteral("with broken halves")));

    EXPECT_TRUE(lookupAt(QPointF(qQNaN(), 3)).missResult());
}

TEST_F(AccessibilityTextServiceTest, ReadingThroughAnApplication)
{
    auto window = FakeElement::make();
    window->role(QStringLiteral("AXWindow")).bounds(QRectF(0, 0, 800, 600));
    auto app = FakeElement::make();
    app->pid(otherPid).role(QStringLiteral("AXApplication")).children({window});
    ax->applications[otherPid] = app;
    ax->elementEverywhere(FakeElement::make());
    ax->systemWide->hitTest = nullptr;

    EXPECT_EQ(ATS::lookupWordInProcess(otherPid, QPointF(110, 110), maxY, false), ATS::LookupResult::miss(otherPid));
    EXPECT_TRUE(app->timeout && *app->timeout == 0.15);

    auto text = FakeElement::make();
    text->role(QStringLiteral("AXStaticText")).text(QStringLiteral("Inside the window"), QPointF(100, 100));
    window->children({text});
    const auto found = ATS::lookupWordInProcess(otherPid, charCentre(8), maxY, false);
    ASSERT_TRUE(found.hitResult());
    EXPECT_EQ(found.hitResult()->word, QStringLiteral("the"));

    // Nothing in the application: the system-wide lookup only when asked for.
    window->children({});
    textElement(QStringLiteral("System wide"));
    EXPECT_EQ(ATS::lookupWordInProcess(otherPid, charCentre(1), maxY, false), ATS::LookupResult::miss(otherPid));
    EXPECT_EQ(ATS::lookupWordInProcess(otherPid, charCentre(1), maxY, true).hitResult()->word,
              QStringLiteral("System"));
}

TEST_F(AccessibilityTextServiceTest, WindowTitlesAreCleaned)
{
    auto window = FakeElement::make();
    auto element = FakeElement::make();
    element->pid(otherPid).values["AXWindow"] = Native::AXElement(window);
    ax->elementEverywhere(element);
    auto titleFor = [&](const QString &title) {
        window->title(title);
        return ATS::windowTitle(QPointF(1, 1));
    };
    EXPECT_EQ(titleFor(QStringLiteral("  Report.txt \u2014 Editor \n")), QStringLiteral("Report.txt \u2014 Editor"));
    EXPECT_EQ(titleFor(QStringLiteral("https://example.org/page")), std::nullopt);
    EXPECT_EQ(titleFor(QStringLiteral("Docs at ftp://host")), std::nullopt);
    EXPECT_EQ(titleFor(QStringLiteral("WWW.Example.com")), std::nullopt);
    EXPECT_EQ(titleFor(QStringLiteral(" \n ")), std::nullopt);
    EXPECT_EQ(titleFor(QString(200, QLatin1Char('t')))->size(), 120);

    window->title(QStringLiteral("Mine"));
    element->pid(AppIdentity::currentProcessID());
    EXPECT_EQ(ATS::windowTitle(QPointF(1, 1)), std::nullopt);
}

TEST_F(AccessibilityTextServiceTest, WebAccessibilityIsRequestedOfTheApplication)
{
    auto app = FakeElement::make();
    ax->applications[otherPid] = app;
    ATS::requestWebAccessibility(otherPid);
    EXPECT_EQ(app->writes.at("AXManualAccessibility"), Native::AXValue(true));
    EXPECT_EQ(app->writes.at("AXEnhancedUserInterface"), Native::AXValue(true));
    EXPECT_TRUE(app->wasRequested("AXChildren"));
    ATS::requestWebAccessibility(otherPid + 1); // no such application: nothing happens

    ATS::requestAccess();
    EXPECT_EQ(ax->trustRequests, 1);
}

TEST_F(AccessibilityTextServiceTest, WalksPassThroughElementsWithoutAnArea)
{
    // A tab group whose page reports no area of its own (GTK says -1 x -1 when the tabs are hidden)
    // over the text of the page, several holders down.
    const QString text = QStringLiteral("Hidden tabs keep the harbour text.");
    auto page = [&](std::optional<QRectF> pageBounds) {
        auto words = FakeElement::make();
        words->role(QStringLiteral("AXTextArea")).text(text, QPointF(100, 100));
        auto holder = FakeElement::make();
        holder->role(QStringLiteral("AXGroup")).bounds(QRectF(90, 90, 400, 100)).children({words});
        auto p = FakeElement::make();
        p->role(QStringLiteral("AXRadioButton")).children({holder});
        if (pageBounds)
            p->bounds(*pageBounds);
        auto tabs = FakeElement::make();
        tabs->pid(otherPid).role(QStringLiteral("AXTabGroup")).bounds(QRectF(90, 90, 400, 100)).children({p});
        return tabs;
    };
    const struct
    {
        const char *name;
        std::optional<QRectF> pageBounds;
        bool read;
    } cases[] = {
        {"negative size", QRectF(-1, -1, -1, -1), true},
        {"empty size", QRectF(0, 0, 0, 0), true},
        {"a box elsewhere", QRectF(600, 600, 50, 50), false},
        {"no box at all", std::nullopt, false},
    };
    const QPointF at = charCentre(text.indexOf(QStringLiteral("harbour")) + 2);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto tabs = page(c.pageBounds);
        ax->elementEverywhere(tabs);
        const auto hit = lookupAt(at);
        EXPECT_EQ(hit.hitResult() && hit.hitResult()->word == QStringLiteral("harbour"), c.read);

        // The same through the application's tree, fourteen levels down as in a tabbed editor.
        auto chain = tabs;
        for (int i = 0; i < 10; ++i) {
            auto outer = FakeElement::make();
            outer->role(QStringLiteral("AXGroup")).bounds(QRectF(0, 0, 1000, 1000)).children({chain});
            chain = outer;
        }
        auto app = FakeElement::make();
        app->pid(otherPid).role(QStringLiteral("AXApplication")).children({chain});
        ax->applications[otherPid] = app;
        const auto walked = ATS::lookupWordInProcess(otherPid, at, maxY, false);
        EXPECT_EQ(walked.hitResult() && walked.hitResult()->word == QStringLiteral("harbour"), c.read);
    }
}

TEST_F(AccessibilityTextServiceTest, SentencesReadAsShown)
{
    // Characters an application keeps but does not draw leave the word, the sentence and the
    // offset between them as the user sees them.
    // An object replacement character gives way to the embedded link's text where it can be read
    // (here: the one at index 4), and is dropped where it cannot.
    const struct
    {
        QString text, pointed, word, sentence;
        qsizetype offset;
    } cases[] = {
        {QStringLiteral("The fox \U0001F98A\uFEFF keeps quiet. Next one."), QStringLiteral("keeps"),
         QStringLiteral("keeps"), QStringLiteral("The fox \U0001F98A keeps quiet."), 11},
        {QStringLiteral("A long hy\u00ADphen\u200B word here."), QStringLiteral("hy"), QStringLiteral("hyphen"),
         QStringLiteral("A long hyphen word here."), 7},
        {QStringLiteral("See \uFFFC the harbour now."), QStringLiteral("harbour"), QStringLiteral("harbour"),
         QStringLiteral("See the map of the harbour now."), 19},
        {QStringLiteral("Go to \uFFFC the harbour \uFFFC now."), QStringLiteral("harbour"), QStringLiteral("harbour"),
         QStringLiteral("Go to  the harbour  now."), 11},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        auto element = textElement(c.text);
        element->bounds(QRectF(100, 100, 400, 400));
        element->parameterized["AXEmbeddedTextForIndex"] =
            [](const Native::AXValue &p) -> std::optional<Native::AXValue> {
            if (std::get<qint64>(p) == 4)
                return QStringLiteral(" the map of\u200B ");
            return std::nullopt;
        };
        const auto result = lookupAt(charCentre(c.text.indexOf(c.pointed) + 1));
        ASSERT_TRUE(result.hitResult());
        const ATS::HitResult &hit = *result.hitResult();
        EXPECT_EQ(hit.word, c.word);
        EXPECT_EQ(hit.fullText, c.sentence);
        EXPECT_EQ(hit.wordOffset, c.offset);
    }
}

TEST_F(AccessibilityTextServiceTest, AMissSaysWhyTextWasWithheld)
{
    // An element that cannot tell its offset unit answers no text; the miss says why.
    struct Withholding : FakeElement
    {
        std::optional<QString> textWithheldReason() override { return QStringLiteral("offset unit unknown"); }
    };
    auto element = std::make_shared<Withholding>();
    element->pid(otherPid).role(QStringLiteral("AXTextArea")).bounds(QRectF(0, 0, 600, 400));
    ax->elementEverywhere(element);
    EXPECT_EQ(lookupAt(QPointF(50, 50)),
              ATS::LookupResult::miss(otherPid, QStringLiteral("AXTextArea"), std::nullopt,
                                      QStringLiteral("offset unit unknown")));
}

TEST_F(AccessibilityTextServiceTest, AWordInAnInlineElementTakesItsSentenceFromTheParagraph)
{
    // The paragraph keeps an object replacement character where the bold run stands, one before
    // it for a link and one after it for another link, read from the paragraph.
    const QString paragraph = QStringLiteral("Boats rest. The \uFFFC quiet \uFFFC lay by \uFFFC today. More.");
    const qsizetype boldAt = paragraph.indexOf(QStringLiteral("\uFFFC lay"));
    auto block = FakeElement::make();
    block->role(QStringLiteral("AXStaticText")).text(paragraph, QPointF(0, 300));
    block->parameterized["AXEmbeddedTextForIndex"] = [&](const Native::AXValue &p) -> std::optional<Native::AXValue> {
        const qint64 at = std::get<qint64>(p);
        if (at == paragraph.indexOf(QChar(0xFFFC)))
            return QStringLiteral("very");
        if (at == paragraph.lastIndexOf(QChar(0xFFFC)))
            return QStringLiteral("the pier");
        return std::nullopt;
    };
    auto bold = textElement(QStringLiteral("old harbour"));
    bold->values["AXParent"] = Native::AXElement(block);
    bold->values["AXRangeInParent"] = Native::AXRange {boldAt, 1};
    const auto result = lookupAt(charCentre(6));
    ASSERT_TRUE(result.hitResult());
    EXPECT_EQ(result.hitResult()->word, QStringLiteral("harbour"));
    EXPECT_EQ(result.hitResult()->fullText, QStringLiteral("The very quiet old harbour lay by the pier today."));
    EXPECT_EQ(result.hitResult()->wordOffset, 19);

    // Without a parent, or a place in its text, the element's own text is the context.
    auto parent = [](const QString &text) {
        auto e = FakeElement::make();
        e->role(QStringLiteral("AXStaticText")).text(text, QPointF(0, 300));
        return Native::AXElement(e);
    };
    const struct
    {
        const char *name;
        Native::AXElement parent;
        std::optional<Native::AXRange> range;
        QString sentence;
    } cases[] = {
        {"opening its paragraph", parent(QStringLiteral("\uFFFC rows past. Then more.")), Native::AXRange {0, 1},
         QStringLiteral("old harbour rows past.")},
        {"a parent keeping no placeholder for it", parent(QStringLiteral("The  rows past.")), Native::AXRange {4, 0},
         QStringLiteral("The old harbour rows past.")},
        {"no place in the parent's text", parent(QStringLiteral("\uFFFC rows past.")), std::nullopt,
         QStringLiteral("old harbour")},
        {"a parent that is gone", nullptr, Native::AXRange {0, 1}, QStringLiteral("old harbour")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bold->values["AXParent"] = c.parent;
        bold->values.erase("AXRangeInParent");
        if (c.range)
            bold->values["AXRangeInParent"] = *c.range;
        const auto hit = lookupAt(charCentre(6));
        ASSERT_TRUE(hit.hitResult());
        EXPECT_EQ(hit.hitResult()->fullText, c.sentence);
    }
}

TEST_F(AccessibilityTextServiceTest, NestedInlineElementsTakeTheSentenceOfTheirBlock)
{
    // A paragraph keeps a placeholder for a link; the link's text is made of runs, the hovered one
    // among them. The walk goes up through every inline element to the block.
    const QString paragraph = QStringLiteral("Boats rest. Sailors drink at the \uFFFC tonight. More.");
    auto block = FakeElement::make();
    block->role(QStringLiteral("AXStaticText")).text(paragraph, QPointF(0, 300));
    block->values["AXInline"] = false;
    auto link = FakeElement::make();
    link->role(QStringLiteral("AXLink")).text(QStringLiteral("old tavern"), QPointF(0, 320));
    link->values["AXParent"] = Native::AXElement(block);
    link->values["AXRangeInParent"] = Native::AXRange {paragraph.indexOf(QChar(0xFFFC)), 1};
    auto run = textElement(QStringLiteral("tavern"));
    run->values["AXParent"] = Native::AXElement(link);
    run->values["AXRangeInParent"] = Native::AXRange {4, 6};

    const QString sentence = QStringLiteral("Sailors drink at the old tavern tonight.");
    const struct
    {
        const char *name;
        std::optional<bool> linkInline;
        std::optional<bool> runInline;
        QString fullText;
    } cases[] = {
        {"through an inline link to its paragraph", true, std::nullopt, sentence},
        {"a parent that is a block of its own", false, std::nullopt, QStringLiteral("old tavern")},
        {"a parent that says nothing of itself", std::nullopt, std::nullopt, QStringLiteral("old tavern")},
        {"a hovered element that is a block itself", true, false, QStringLiteral("tavern")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        link->values.erase("AXInline");
        run->values.erase("AXInline");
        if (c.linkInline)
            link->values["AXInline"] = *c.linkInline;
        if (c.runInline)
            run->values["AXInline"] = *c.runInline;
        const auto result = lookupAt(charCentre(2));
        ASSERT_TRUE(result.hitResult());
        EXPECT_EQ(result.hitResult()->word, QStringLiteral("tavern"));
        EXPECT_EQ(result.hitResult()->fullText, c.fullText);
        if (c.fullText != QStringLiteral("tavern")) {
            EXPECT_EQ(result.hitResult()->wordOffset, c.fullText.indexOf(QStringLiteral("tavern")));
        }
    }
}

TEST_F(AccessibilityTextServiceTest, AnOffsetOnNoWordReadsNothingAndOneNearTheStartOfAShortRunIsBelieved)
{
    // The element's own offset under the pointer is the space between two words: no estimate from
    // the pointer's place names either of them.
    textElement(QStringLiteral("alpha beta"));
    const auto between = lookupAt(charCentre(5));
    EXPECT_FALSE(between.hitResult());
    ASSERT_TRUE(between.missResult());
    EXPECT_EQ(between.missResult()->pid, otherPid);

    // The second character of a run 48 points wide, half way across it: where its own box is.
    textElement(QStringLiteral("small "));
    const auto run = lookupAt(charCentre(1));
    ASSERT_TRUE(run.hitResult());
    EXPECT_EQ(run.hitResult()->word, QStringLiteral("small"));
}

TEST_F(AccessibilityTextServiceTest, AnOffsetIsBelievedOnlyWhereItsBoxHoldsThePointer)
{
    // Three lines in an editor too large for any estimate from the pointer's position; "The" at the
    // start of the first line is what a provider answering offset 0 everywhere names.
    const QString text = QStringLiteral("The harbour sleeps.\nBoats rest by the quay.\nLanterns glow at night.");
    const QPointF onQuay = charCentre(text.indexOf(QStringLiteral("quay")) - 20 + 1, QPointF(100, 116));
    const QPointF onLanterns = charCentre(1, QPointF(100, 132));
    const QPointF onThe = charCentre(1);
    using Answer = std::function<std::optional<Native::AXValue>(const Native::AXValue &)>;
    const Answer zeroEverywhere = [](const Native::AXValue &) { return Native::AXValue(Native::AXRange {0, 1}); };
    const Answer flatBoxes = [](const Native::AXValue &p) {
        const auto r = std::get<Native::AXRange>(p);
        return Native::AXValue(QRectF(100 + 8.0 * double(r.location), 100, 8.0 * double(r.length), 0));
    };
    const Answer noBoxes = [](const Native::AXValue &) { return Native::AXValue(QRectF()); };
    const Answer unanswered = [](const Native::AXValue &) { return std::optional<Native::AXValue>(); };
    const struct
    {
        const char *name;
        Answer offsets; // absent: the layout's own
        Answer boxes; // absent: the layout's own
        QPointF at;
        std::optional<QString> word; // absent: a miss
        std::optional<QString> doubt;
        bool boxed = true;
    } cases[] = {
        {"the layout's offsets and boxes", {}, {}, onQuay, QStringLiteral("quay")},
        {"offset 0 everywhere, boxes without height: on another line", zeroEverywhere, flatBoxes, onLanterns,
         std::nullopt, OffsetTrust::flatBoxesDoubt()},
        {"offset 0 everywhere, boxes without height: on the word it names", zeroEverywhere, flatBoxes, onThe,
         std::nullopt, OffsetTrust::flatBoxesDoubt()},
        {"offset 0 everywhere, no boxes", zeroEverywhere, noBoxes, onLanterns, std::nullopt,
         OffsetTrust::oneOffsetDoubt()},
        {"offset 0 everywhere, the layout's boxes",
         zeroEverywhere,
         {},
         onQuay,
         std::nullopt,
         OffsetTrust::defaultIndexDoubt()},
        {"offset 0 everywhere, the layout's boxes, on the word it names",
         zeroEverywhere,
         {},
         onThe,
         QStringLiteral("The")},
        {"the layout's offsets, no boxes: the word without a box",
         {},
         noBoxes,
         onQuay,
         QStringLiteral("quay"),
         std::nullopt,
         false},
        {"the layout's offsets, boxes unanswered",
         {},
         unanswered,
         onLanterns,
         QStringLiteral("Lanterns"),
         std::nullopt,
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto element = textElement(text);
        element->bounds(QRectF(90, 90, 600, 400));
        if (c.offsets)
            element->parameterized["AXRangeForPosition"] = c.offsets;
        if (c.boxes)
            element->parameterized["AXBoundsForRange"] = c.boxes;
        const auto result = lookupAt(c.at);
        if (c.word) {
            ASSERT_TRUE(result.hitResult()) << (result.missResult() ? "miss" : "other");
            EXPECT_EQ(result.hitResult()->word, *c.word);
            EXPECT_EQ(result.hitResult()->bounds.isEmpty(), !c.boxed) << "an empty box stays no box";
        } else {
            ASSERT_TRUE(result.missResult()) << qPrintable(result.hitResult()->word);
            EXPECT_EQ(result.missResult()->reason, c.doubt);
        }
    }

    // A box moved up holds the pointer at its row's middle only while that is within a quarter of the
    // box's height of it: a box one row up (16 points) never does.
    auto element = textElement(text);
    element->bounds(QRectF(90, 90, 600, 400));
    const auto layoutBoxes = element->parameterized["AXBoundsForRange"];
    for (const double up : {4.0, 11.0, 12.0, 16.0}) {
        SCOPED_TRACE(up);
        element->parameterized["AXBoundsForRange"] = [&](const Native::AXValue &p) {
            auto box = std::get<QRectF>(*layoutBoxes(p));
            return std::optional<Native::AXValue>(box.translated(0, -up));
        };
        EXPECT_EQ(lookupAt(onQuay).hitResult() != nullptr, up < 12);
    }
}

TEST_F(AccessibilityTextServiceTest, AWrappedParagraphNeverGivesTheRowAbove)
{
    // A paragraph of two rows that answers -1 for offsets at some points, as a browser's does, over a
    // run of text whose box spans both rows: the estimate from the pointer's position across the
    // run would pick a word of the first row for a pointer on the second.
    const QString paragraph = QStringLiteral("Wrapped words checks correctly\nthe moonlight traveller rests");
    auto block = FakeElement::make();
    block->pid(otherPid).role(QStringLiteral("AXStaticText")).text(paragraph, QPointF(100, 100));
    block->value(QString(paragraph).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    const auto blockOffsets = block->parameterized["AXRangeForPosition"];
    bool blockAnswers = false;
    block->parameterized["AXRangeForPosition"] = [&](const Native::AXValue &p) -> std::optional<Native::AXValue> {
        if (!blockAnswers)
            return Native::AXRange {-1, 0};
        return blockOffsets(p);
    };
    ax->elementEverywhere(block);
    const qsizetype secondRow = paragraph.indexOf(QLatin1Char('\n')) + 1;
    for (const QString &word : {QStringLiteral("moonlight"), QStringLiteral("traveller"), QStringLiteral("rests")}) {
        const QPointF at = charCentre(paragraph.indexOf(word) - secondRow + 1, QPointF(100, 116));
        SCOPED_TRACE(word.toStdString());
        blockAnswers = false;
        const auto estimated = lookupAt(at);
        EXPECT_TRUE(!estimated.hitResult() || estimated.hitResult()->word == word)
            << qPrintable(estimated.hitResult()->word);

        // The same run as the hit test's leaf under a paragraph that answers: the paragraph reads.
        auto run = FakeElement::make();
        run->pid(otherPid)
            .role(QStringLiteral("AXStaticText"))
            .text(QStringLiteral("checks correctly the moonlight"), QPointF(100, 100));
        run->bounds(QRectF(100, 100, 240, 32));
        run->parameterized["AXRangeForPosition"] = [](const Native::AXValue &) {
            return std::optional<Native::AXValue>(Native::AXRange {-1, 0});
        };
        run->values["AXParent"] = Native::AXElement(block);
        ax->elementEverywhere(run);
        blockAnswers = true;
        const auto read = lookupAt(at);
        ASSERT_TRUE(read.hitResult());
        EXPECT_EQ(read.hitResult()->word, word);
        ax->elementEverywhere(block);
    }
}
