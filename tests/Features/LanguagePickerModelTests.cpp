// The floating picker's logic without a display: search ranking and sections, the highlight, the
// recent-targets rule, locks, the list the view draws, and where the panel opens.

#include "Features/LanguagePicker/LanguagePickerListModel.h"
#include "Features/LanguagePicker/LanguagePickerModel.h"
#include "Features/LanguagePicker/LanguagePickerPlacement.h"
#include "Models/LanguageCatalog.h"
#include "Support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>
#include <set>

using namespace Lumivox;
using Tone = LanguagePickerListModel::Tone;

namespace {

QStringList ids(const std::vector<Language> &languages)
{
    QStringList out;
    for (const Language &language : languages)
        out.append(language.id);
    return out;
}

QStringList searchIDs(const QString &query)
{
    const auto sections = LanguagePickerModel::sections(query, {QStringLiteral("fr")});
    EXPECT_EQ(sections.size(), 1u) << query.toStdString();
    if (sections.size() != 1)
        return {};
    EXPECT_FALSE(sections[0].title) << "search results have no header";
    return ids(sections[0].languages);
}

} // namespace

TEST(LanguagePickerSearch, RanksPrefixesAndCodesBeforeContainedText)
{
    struct Case
    {
        QString query;
        QStringList expected;
    };
    const std::vector<Case> cases {
        // The code alone puts it first although neither name begins with it.
        {QStringLiteral("zh-cn"), {QStringLiteral("zh-CN")}},
        {QStringLiteral("  CHINESE\n"), {QStringLiteral("zh-CN"), QStringLiteral("zh-TW")}},
        {QStringLiteral("simplified"), {QStringLiteral("zh-CN")}},
        {QStringLiteral("span"), {QStringLiteral("es")}},
        // Rank 0 by English name and by native name, in name order, then Italian (contains "ta").
        {QStringLiteral("ta"), {QStringLiteral("tl"), QStringLiteral("ta"), QStringLiteral("it")}},
        // Folding: case and accents on either side ("Čeština").
        {QStringLiteral("cestina"), {QStringLiteral("cs")}},
        {QStringLiteral("ČEŠ"), {QStringLiteral("cs")}},
        {QString::fromUtf16(u"日本"), {QStringLiteral("ja")}},
        {QString::fromUtf16(u"العربية"), {QStringLiteral("ar")}},
        // Nothing matches: still one (empty) untitled section.
        {QStringLiteral("qqq"), {}},
        {QStringLiteral("\u0001\u0007\t"), {}},
        {QString(100000, QLatin1Char('x')), {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(searchIDs(c.query), c.expected) << c.query.left(20).toStdString();
}

TEST(LanguagePickerSearch, BrowsingListsKnownRecentsOnceThenEveryOtherLanguage)
{
    const auto &all = LanguagePickerModel::allLanguagesByName();
    ASSERT_EQ(all.size(), LanguageCatalog::allLanguages().size());
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(all[i - 1].name.compare(all[i].name, Qt::CaseInsensitive), 0) << all[i].name.toStdString();

    const auto plain = LanguagePickerModel::sections(QStringLiteral(" \t"), {});
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].title, QStringLiteral("All Languages"));
    EXPECT_EQ(plain[0].languages, all);

    // "xx" is unknown; "zh" and "ZH-cn" name the same row as "zh-CN"; "fr" repeats.
    const auto withRecents =
        LanguagePickerModel::sections(QString(),
                                      {QStringLiteral("ja"), QStringLiteral("xx"), QStringLiteral("fr"),
                                       QStringLiteral("zh"), QStringLiteral("ZH-cn"), QStringLiteral("fr")});
    ASSERT_EQ(withRecents.size(), 2u);
    EXPECT_EQ(withRecents[0].title, QStringLiteral("Recent"));
    EXPECT_EQ(ids(withRecents[0].languages),
              (QStringList {QStringLiteral("ja"), QStringLiteral("fr"), QStringLiteral("zh-CN")}));
    EXPECT_EQ(withRecents[1].title, QStringLiteral("All Languages"));
    EXPECT_EQ(withRecents[1].languages.size(), all.size() - 3);
    std::set<QString> seen;
    for (const auto &section : withRecents) {
        for (const Language &language : section.languages)
            EXPECT_TRUE(seen.insert(language.id).second) << "listed twice: " << language.id.toStdString();
    }
    EXPECT_EQ(seen.size(), all.size());
}

TEST(LanguagePickerSearch, RecentsPutTheNewCodeFirstAndKeepFour)
{
    const auto list = [](std::initializer_list<const char *> codes) {
        QStringList out;
        for (const char *code : codes)
            out.append(QString::fromLatin1(code));
        return out;
    };
    EXPECT_EQ(LanguagePickerModel::recents(list({"a", "b", "c", "d"}), QStringLiteral("e")),
              list({"e", "a", "b", "c"}));
    EXPECT_EQ(LanguagePickerModel::recents(list({"a", "b"}), QStringLiteral("b")), list({"b", "a"}));
    EXPECT_EQ(LanguagePickerModel::recents({}, QStringLiteral("a")), list({"a"}));
    // Exact comparison: another letter case is another entry.
    EXPECT_EQ(LanguagePickerModel::recents(list({"zh-CN", "a", "b", "c", "d", "e"}), QStringLiteral("zh-cn")),
              list({"zh-cn", "zh-CN", "a", "b"}));
}

TEST(LanguagePickerModel, PrepareHighlightsTheCurrentLanguageAndNotifiesOnlyChanges)
{
    LanguagePickerModel model;
    QSignalSpy current(&model, &LanguagePickerModel::currentIDChanged);
    QSignalSpy key(&model, &LanguagePickerModel::hasGoogleKeyChanged);
    QSignalSpy presented(&model, &LanguagePickerModel::presentationCountChanged);

    model.prepare(QStringLiteral("ja"), {QStringLiteral("fr"), QStringLiteral("ja")}, false);
    EXPECT_EQ(model.selectedIndex(), 1);
    EXPECT_EQ(model.selectedLanguage()->id, QStringLiteral("ja"));
    model.setQuery(QStringLiteral("chinese"));
    model.prepare(QStringLiteral("ja"), {QStringLiteral("fr"), QStringLiteral("ja")}, false);
    EXPECT_EQ(model.query(), QString());
    EXPECT_EQ(model.sections().size(), 2u);
    EXPECT_EQ(model.selectedIndex(), 1);
    EXPECT_EQ(current.count(), 1);
    EXPECT_EQ(key.count(), 0);
    EXPECT_EQ(model.presentationCount(), 2);
    EXPECT_EQ(presented.count(), 2);

    // A new recent list is shown even though the query stayed empty.
    model.prepare(QStringLiteral("ja"), {QStringLiteral("de")}, false);
    EXPECT_EQ(ids(model.sections()[0].languages), QStringList {QStringLiteral("de")});

    // No row has the code in this letter case, and a code the table lacks (kept by whoever stores
    // it): the first row is highlighted.
    for (const QString &code : {QStringLiteral("JA"), QStringLiteral("xx")}) {
        model.moveSelection(3);
        model.prepare(code, {QStringLiteral("fr")}, false);
        EXPECT_EQ(model.currentID(), code);
        EXPECT_EQ(model.selectedIndex(), 0) << code.toStdString();
        EXPECT_EQ(model.selectedLanguage()->id, QStringLiteral("fr"));
    }
}

TEST(LanguagePickerModel, HighlightMovesWithinTheRowsAndChoosesOnlyARow)
{
    LanguagePickerModel model;
    std::vector<QString> chosen;
    int cancels = 0;
    model.onChoose = [&](const Language &language) { chosen.push_back(language.id); };
    model.onCancel = [&] { ++cancels; };
    model.prepare(QStringLiteral("en"), {}, true);

    QSignalSpy moved(&model, &LanguagePickerModel::selectedIndexChanged);
    model.setQuery(QStringLiteral("chinese"));
    EXPECT_EQ(model.selectedIndex(), 0);
    model.moveSelection(1);
    model.setQuery(QStringLiteral("chinese")); // the same text again keeps the user's highlight
    EXPECT_EQ(model.selectedIndex(), 1);
    model.moveSelection(5);
    EXPECT_EQ(model.selectedIndex(), 1);
    model.moveSelection(-1);
    model.moveSelection(-1);
    EXPECT_EQ(model.selectedIndex(), 0);
    model.moveSelection(1);
    model.setQuery(QStringLiteral("chin"));
    EXPECT_EQ(model.selectedIndex(), 0);
    model.moveSelection(std::numeric_limits<int>::max());
    EXPECT_EQ(model.selectedIndex(), 1);
    model.chooseSelected();
    EXPECT_EQ(chosen, std::vector<QString> {QStringLiteral("zh-TW")});

    model.setQuery(QStringLiteral("nothing like it"));
    EXPECT_TRUE(model.rows().empty());
    EXPECT_FALSE(model.selectedLanguage());
    const int before = int(moved.count());
    model.moveSelection(1);
    model.moveSelection(-1);
    model.chooseSelected();
    EXPECT_EQ(moved.count(), before);
    EXPECT_EQ(chosen.size(), 1u);

    model.cancel();
    EXPECT_EQ(cancels, 1);
    model.onChoose = nullptr;
    model.onCancel = nullptr;
    model.choose(LanguageCatalog::allLanguages().front()); // nobody listening: nothing happens
    model.cancel();
}

TEST(LanguagePickerModel, LocksFollowWhatThisComputerTranslatesAndWhetherAKeyIsStored)
{
    // What English reaches over the installed Apertium pairs is open; Russian and Ukrainian, which
    // only reach each other, and Chinese, which no pair translates into, need the key.
    Testing::ScopedOnDevicePairs onDevice(Testing::installedPairs());
    LanguagePickerModel model;
    LanguagePickerListModel list(&model);
    model.prepare(QStringLiteral("fr"), {}, false);
    QStringList open;
    for (const Language &language : model.rows()) {
        if (!model.isLocked(language))
            open.append(language.id);
    }
    EXPECT_EQ(open, QStringList({"en", "fr", "it", "pt", "es"}));
    EXPECT_TRUE(model.isLocked(*LanguageCatalog::language(u"zh-CN")));
    EXPECT_TRUE(model.isLocked(*LanguageCatalog::language(u"ru")));

    // The keyring's answer arrives while the picker is ready: the marks are drawn again at once.
    QSignalSpy marks(&list, &QAbstractItemModel::dataChanged);
    model.setHasGoogleKey(true);
    for (const Language &language : model.rows())
        EXPECT_FALSE(model.isLocked(language)) << language.id.toStdString();
    model.setHasGoogleKey(true);
    EXPECT_EQ(marks.count(), 1);
    model.prepare(QStringLiteral("fr"), {}, false);
    EXPECT_TRUE(model.isLocked(*LanguageCatalog::language(u"zh-CN")));
}

TEST(LanguagePickerList, RolesCarryEveryMarkAndHeadersCannotBeChosen)
{
    LanguagePickerModel picker;
    LanguagePickerListModel list(&picker);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);

    picker.prepare(QStringLiteral("fr"), {QStringLiteral("fr"), QStringLiteral("bn"), QStringLiteral("en")}, false);
    ASSERT_EQ(list.rowCount(), 2 + 54);
    const auto at = [&](int row, int role) { return list.index(row).data(role); };
    using R = LanguagePickerListModel;

    EXPECT_EQ(at(0, Qt::DisplayRole).toString(), QStringLiteral("RECENT"));
    EXPECT_TRUE(at(0, R::IsHeaderRole).toBool());
    EXPECT_TRUE(at(0, R::IsFirstHeaderRole).toBool());
    EXPECT_EQ(list.flags(list.index(0)), Qt::NoItemFlags);
    EXPECT_EQ(at(4, Qt::DisplayRole).toString(), QStringLiteral("ALL LANGUAGES"));
    EXPECT_FALSE(at(4, R::IsFirstHeaderRole).toBool());
    EXPECT_EQ(list.flags(list.index(4)), Qt::NoItemFlags);
    EXPECT_TRUE(list.flags(list.index(1)) & Qt::ItemIsEnabled);

    // French: current and highlighted; Bengali: locked and muted; English: its name once.
    struct Row
    {
        int item;
        QString code;
        QString native;
        bool current, selected, locked;
        Tone tone;
    };
    const std::vector<Row> rows {
        {1, QStringLiteral("fr"), QString::fromUtf16(u"Français"), true, true, false, Tone::onAccent},
        {2, QStringLiteral("bn"), QString::fromUtf16(u"বাংলা"), false, false, true, Tone::secondary},
        {3, QStringLiteral("en"), QString(), false, false, false, Tone::primary},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(at(row.item, R::CodeRole).toString(), row.code);
        EXPECT_EQ(at(row.item, R::RowRole).toInt(), row.item - 1);
        EXPECT_EQ(at(row.item, R::NativeNameRole).toString(), row.native) << row.code.toStdString();
        EXPECT_EQ(at(row.item, R::IsCurrentRole).toBool(), row.current) << row.code.toStdString();
        EXPECT_EQ(at(row.item, R::IsSelectedRole).toBool(), row.selected) << row.code.toStdString();
        EXPECT_EQ(at(row.item, R::IsLockedRole).toBool(), row.locked) << row.code.toStdString();
        EXPECT_EQ(at(row.item, R::ToneRole).value<Tone>(), row.tone) << row.code.toStdString();
    }
    EXPECT_TRUE(at(2, Qt::AccessibleTextRole).toString().endsWith(QStringLiteral("Needs a Google key")));

    // Marks follow the picker: the highlight moves to the locked row, which turns white.
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    picker.moveSelection(1);
    EXPECT_GE(changed.count(), 1);
    EXPECT_FALSE(at(1, R::IsSelectedRole).toBool());
    EXPECT_TRUE(at(2, R::IsSelectedRole).toBool());
    EXPECT_EQ(at(2, R::ToneRole).value<Tone>(), Tone::onAccent);
    EXPECT_EQ(list.indexOfRow(1), list.index(2));
    EXPECT_EQ(list.indexOfRow(3), list.index(5)); // past the second header

    picker.setQuery(QStringLiteral("qqq"));
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(list.indexOfRow(0).isValid());
    picker.setQuery(QStringLiteral("chinese"));
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_FALSE(at(0, R::IsHeaderRole).toBool());
}

TEST(LanguagePickerPlacement, OpensBesideThePointerInsideTheVisibleFrame)
{
    const QRectF frame(0, 40, 1280, 760); // bottom-left origin: a 40-point panel along the bottom
    const QSizeF size(300, 372);
    struct Case
    {
        const char *where;
        QPointF pointer;
        QPointF origin;
    };
    const std::vector<Case> cases {
        {"room everywhere: right of and below", {400, 600}, {410, 600 - 10 - 372}},
        {"near the right edge: left of it", {1100, 600}, {1100 - 10 - 300, 218}},
        {"near the bottom: above it", {400, 200}, {410, 210}},
        {"bottom-right corner: left and above", {1270, 50}, {960, 60}},
        {"top-left corner: right of and below", {2, 798}, {12, 416}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LanguagePickerPlacement::origin(c.pointer, size, frame), c.origin) << c.where;

    // Larger than the frame: 4 points in from its left and bottom edges, wherever the pointer is.
    EXPECT_EQ(LanguagePickerPlacement::origin({640, 400}, {2000, 2000}, frame), QPointF(4, 44));
    // No screen at all: the zero frame.
    EXPECT_EQ(LanguagePickerPlacement::frame({640, 400}, size, {}, std::nullopt), QRectF(QPointF(4, 4), size));
}

TEST(LanguagePickerPlacement, LandsOnASecondScreenLeftOfOrAboveTheFirst)
{
    // Screens as the X server gives them (top-left origin); the primary is 1280x800 at the origin
    // with a 30-pixel panel along its top.
    const double line = 800;
    const auto screen = [&](QRectF geometry, QRectF available) {
        return ScreenInfo {ScreenGeometry::cocoaRectFromQt(geometry, line),
                           ScreenGeometry::cocoaRectFromQt(available, line)};
    };
    const ScreenInfo primary = screen({0, 0, 1280, 800}, {0, 30, 1280, 770});
    struct Case
    {
        const char *where;
        QRectF geometry;
        QRectF available;
        QPointF pointer; // top-left origin, on the second screen
    };
    const std::vector<Case> cases {
        {"left of the first, lower down", {-1024, 100, 1024, 768}, {-1024, 100, 1024, 740}, {-1000, 850}},
        {"above the first", {0, -600, 800, 600}, {0, -600, 800, 600}, {30, -20}},
    };
    const QSizeF tooLarge(1500, 1500);
    for (const Case &c : cases) {
        const std::vector<ScreenInfo> screens {primary, screen(c.geometry, c.available)};
        ASSERT_EQ(ScreenGeometry::primaryScreenMaxY(screens), line);
        const QPointF pointer(c.pointer.x(), line - c.pointer.y());
        const QRectF placed =
            ScreenGeometry::qtRectFromCocoa(LanguagePickerPlacement::frame(pointer, tooLarge, screens, primary), line);
        // 4 points in from the second screen's usable left and bottom edges, as the X server counts.
        EXPECT_EQ(placed.left(), c.available.left() + 4) << c.where;
        EXPECT_EQ(placed.bottom(), c.available.bottom() - 4) << c.where;
    }
}
