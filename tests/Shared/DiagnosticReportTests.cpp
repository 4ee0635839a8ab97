#include "Shared/Diagnostics/DiagnosticReport.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using Reason = DiagnosticReason;
using Entry = DiagnosticLog::Entry;

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC); // 2027-01-15 08:00:00 UTC
const QTimeZone plusOne(3600);

DiagnosticSnapshot snapshot()
{
    return {QStringLiteral("1.2"),
            QStringLiteral("34"),
            QStringLiteral("Debian GNU/Linux 12"),
            true,
            QStringLiteral("Option"),
            true,
            false,
            QStringLiteral("es"),
            false,
            true,
            true,
            3};
}

QString report(const std::vector<Entry> &entries, const std::map<QString, AppTally> &apps,
               const std::vector<DiagnosticEvent> &events, const DiagnosticSnapshot &state = snapshot())
{
    return DiagnosticReport::text(entries, apps, events, state, plusOne);
}

QString lines(std::initializer_list<const char16_t *> list)
{
    QStringList out;
    for (const char16_t *line : list)
        out.append(QString::fromUtf16(line));
    return out.join(QLatin1Char('\n'));
}

QString section(const QString &text, const QString &title)
{
    const QStringList all = text.split(QLatin1Char('\n'));
    QStringList out;
    bool inside = false;
    for (const QString &line : all) {
        if (line == title) {
            inside = true;
            continue;
        }
        if (inside && line.isEmpty())
            break;
        if (inside)
            out.append(line);
    }
    return out.join(QLatin1Char('\n'));
}

DiagnosticEvent event(QDateTime at, QString app, Reason reason)
{
    DiagnosticEvent e;
    e.at = std::move(at);
    e.app = std::move(app);
    e.reason = reason;
    return e;
}

TEST(DiagnosticReportTest, EmptyLog)
{
    DiagnosticSnapshot state = snapshot();
    EXPECT_EQ(report({}, {}, {}),
              lines({
                  u"Lumivox diagnostic report",
                  u"App: 1.2 (34)",
                  u"Linux: Debian GNU/Linux 12",
                  u"",
                  u"State",
                  u"  enabled: yes",
                  u"  trigger: Option",
                  u"  accessibility: yes",
                  u"  screen capture: no",
                  u"  translate to: es",
                  u"  on-device language: no",
                  u"  google key: yes",
                  u"  limit to selected apps: yes (3)",
                  u"",
                  u"Events",
                  u"  (none)",
                  u"",
                  u"What happened",
                  u"  (no hovers recorded yet)",
                  u"",
                  u"Apps",
                  u"  (no app recorded)",
                  u"",
                  u"Recent",
                  u"  (none)",
              }));
    state.limitToSelectedApps = false;
    EXPECT_TRUE(report({}, {}, {}, state).contains(QStringLiteral("\n  limit to selected apps: no\n")));
    // Packages carry a version alone: no empty parentheses for a build.
    state.build.clear();
    EXPECT_TRUE(report({}, {}, {}, state).startsWith(QStringLiteral("Lumivox diagnostic report\nApp: 1.2\nLinux: ")));
}

TEST(DiagnosticReportTest, FullReport)
{
    const std::vector<Entry> entries = {
        {Reason::shown, QStringLiteral("ocr"), QStringLiteral("org.gnome.Gedit"), 3, t0.addSecs(-3600), t0.addSecs(30)},
        {Reason::ocrMiss, QStringLiteral("no text"), QStringLiteral("org.gnome.Gedit"), 2, t0, t0.addSecs(200)},
        {Reason::busy, QString(), QString(), 1, t0.addSecs(100), t0.addSecs(100)},
    };

    std::map<QString, AppTally> apps;
    AppTally &gedit = apps[QStringLiteral("org.gnome.Gedit")];
    gedit.shownOCR = 2;
    gedit.shownCache = 1;
    gedit.axThenCaptureEmpty = 2;
    apps[QStringLiteral("com.example.Editor")].pointerMoved = 4;

    DiagnosticEvent shown = event(t0.addMSecs(250), QStringLiteral("org.gnome.Gedit"), Reason::shown);
    shown.word = QStringLiteral("run");
    shown.meaning = QStringLiteral("correr");
    shown.source = QStringLiteral("ocr");
    shown.ms = 120;
    shown.stages = QStringLiteral("window 3 \u00B7 ocr 80");
    DiagnosticEvent missed = event(t0.addSecs(60), QString(), Reason::ocrMiss);
    missed.role = QStringLiteral("AXGroup");
    missed.source = QStringLiteral("blank");
    missed.extra = QStringLiteral("blank");
    missed.ms = 40;
    DiagnosticEvent skipped = event(t0.addSecs(61), QStringLiteral("com.example.Editor."), Reason::holdKeyNotPressed);

    EXPECT_EQ(report(entries, apps, {shown, missed, skipped}),
              lines({
                  u"Lumivox diagnostic report",
                  u"App: 1.2 (34)",
                  u"Linux: Debian GNU/Linux 12",
                  u"Collected: 2027-01-15 07:00:00 – 2027-01-15 08:03:20 UTC",
                  u"",
                  u"State",
                  u"  enabled: yes",
                  u"  trigger: Option",
                  u"  accessibility: yes",
                  u"  screen capture: no",
                  u"  translate to: es",
                  u"  on-device language: no",
                  u"  google key: yes",
                  u"  limit to selected apps: yes (3)",
                  u"",
                  u"Events",
                  u"  09:01:01.000  Editor  skipped  hold key not pressed",
                  u"  09:01:00.000  unknown  not shown  text not recognized  role AXGroup  blank  blank  40 ms",
                  u"  09:00:00.250  Gedit  shown  word \"run\"  ocr  meaning \"correr\"  120 ms (window 3 · ocr 80)",
                  u"",
                  u"What happened",
                  u"  shown × 3",
                  u"  text not recognized × 2",
                  u"  busy × 1",
                  u"",
                  u"Apps",
                  u"  com.example.Editor  no hover recorded",
                  u"    not read: pointer moved × 4",
                  u"  org.gnome.Gedit  sometimes  shown × 3 of 5  (ocr × 2, cache × 1)",
                  u"    not read: capture empty × 2",
                  u"",
                  u"Recent",
                  u"  2027-01-15 08:01:40  busy × 1",
                  u"  2027-01-15 08:03:20  text not recognized × 2  org.gnome.Gedit  no text",
                  u"  2027-01-15 08:00:30  shown × 3  org.gnome.Gedit  ocr",
              }));
}

TEST(DiagnosticReportTest, ApplicationLinesByTally)
{
    AppTally tally;
    tally.shownAccessibility = 3;
    EXPECT_EQ(tally.reportLines(QStringLiteral("a")),
              QStringList {QStringLiteral("  a  shown × 3  (accessibility × 3)")});

    tally.axThenUnreadable = 1;
    tally.axThenNoScreenRecording = 1;
    tally.filtered = 2;
    tally.roles = {{QStringLiteral("b"), 2}, {QStringLiteral("a"), 2}, {QStringLiteral("c"), 5}};
    tally.webAXFirst = 1;
    tally.translationErrors = {{QStringLiteral("HTTP 403"), 1}};
    EXPECT_EQ(tally.reportLines(QStringLiteral("a")),
              (QStringList {
                  QStringLiteral("  a  sometimes  shown × 3 of 6  (accessibility × 3)"),
                  QStringLiteral("    not read: unreadable × 1, no screen capture × 1, word filtered × 2"),
                  QStringLiteral("    roles on miss: c × 5, a × 2, b × 2"),
                  QStringLiteral("    web accessibility: first request × 1, still missed after request × 0"),
                  QStringLiteral("    translation: HTTP 403 × 1"),
              }));

    AppTally translationOnly;
    translationOnly.translationErrors = {{QStringLiteral("x"), 2}};
    EXPECT_EQ(translationOnly.reportLines(QStringLiteral("a")).first(), QStringLiteral("  a  read, never shown"));
    AppTally filteredOnly;
    filteredOnly.filtered = 1;
    EXPECT_EQ(filteredOnly.reportLines(QStringLiteral("a")).first(), QStringLiteral("  a  never shown"));
}

TEST(DiagnosticReportTest, ApplicationsWithNothingShownLeadWorstFirst)
{
    std::map<QString, AppTally> apps;
    apps[QStringLiteral("a.shows")].shownOCR = 1;
    apps[QStringLiteral("b.two")].axThenUnreadable = 2;
    apps[QStringLiteral("c.five")].axThenCaptureEmpty = 5;
    apps[QStringLiteral("d.two")].axThenCaptureFailed = 2;
    EXPECT_EQ(section(report({}, apps, {}), QStringLiteral("Apps")),
              lines({
                  u"  c.five  never shown",
                  u"    not read: capture empty × 5",
                  u"  b.two  never shown",
                  u"    not read: unreadable × 2",
                  u"  d.two  never shown",
                  u"    not read: capture failed × 2",
                  u"  a.shows  shown × 1  (ocr × 1)",
              }));
}

TEST(DiagnosticReportTest, WithoutTalliesTheEntriesAreSummedPerApplication)
{
    const std::vector<Entry> entries = {
        {Reason::shown, QString(), QStringLiteral("x.shown"), 2, t0, t0},
        {Reason::ocrMiss, QString(), QStringLiteral("y.one"), 1, t0, t0},
        {Reason::ocrMiss, QString(), QStringLiteral("z.three"), 3, t0, t0},
        {Reason::busy, QString(), QStringLiteral("z.three"), 1, t0, t0},
        {Reason::ocrMiss, QString(), QString(), 9, t0, t0},
        {Reason::shown, QString(), QStringLiteral("x.shown"), 1, t0, t0},
    };
    EXPECT_EQ(section(report(entries, {}, {}), QStringLiteral("Apps")),
              lines({
                  u"  z.three  never shown  text not recognized × 3, busy × 1",
                  u"  y.one  never shown  text not recognized × 1",
                  u"  x.shown  shown × 3",
              }));
}

TEST(DiagnosticReportTest, EventLabelsAndLimit)
{
    std::vector<DiagnosticEvent> events;
    for (int i = 0; i < 201; ++i)
        events.push_back(event(t0.addSecs(i), QStringLiteral("x.opencode.y"), Reason::busy));
    DiagnosticEvent timed = event(t0, QStringLiteral("app"), Reason::captureEmpty);
    timed.ms = 120;
    events.push_back(timed);

    const QStringList eventLines = section(report({}, {}, events), QStringLiteral("Events")).split(QLatin1Char('\n'));
    ASSERT_EQ(eventLines.size(), 200);
    EXPECT_EQ(eventLines.first(), QStringLiteral("  09:00:00.000  app  not shown  capture empty  120 ms"));
    EXPECT_EQ(eventLines.last(), QStringLiteral("  09:00:02.000  OpenCode  skipped  busy"));
}

} // namespace
