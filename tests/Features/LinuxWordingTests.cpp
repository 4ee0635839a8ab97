// Every text a user reads (windows, tray, notifications, the diagnostic report, the log) in the words
// of a Linux desktop: no word of another platform's, checked over every string in the sources and
// over the texts the program builds at run time.

#include "Features/Settings/Views/PermissionRowView.h"
#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/StartNotices.h"
#include "Shared/Diagnostics/DiagnosticReason.h"
#include "Shared/Diagnostics/DiagnosticReport.h"
#include "Support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

// Words of the other platform, as whole words; case matters where a lower-case form is ordinary
// English or a stored raw value ("option", "command").
const QRegularExpression macWords(
    QStringLiteral(R"(\b(macOS|Mac|Macs|Apple|apple|Keychain|keychain|Dock|Option|Command|Cmd|Finder|Spotlight)\b|)"
                   R"(menu bar|System Settings|System Preferences|Privacy & Security|Screen Recording|)"
                   R"(screen recording|viewDidLoad|[⌘⌥⌃])"));

struct Literal
{
    QString file;
    int line = 0;
    QString text;
};

bool isHexDigit(QChar c)
{
    return c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// 10'000 or 0xFF'FF, not 'a'.
bool isDigitSeparator(const QString &source, qsizetype at)
{
    return at > 0 && at + 2 < source.size() && isHexDigit(source[at - 1]) && isHexDigit(source[at + 1])
        && source[at + 2] != u'\'';
}

// The string literals of a C++ source, comments and character literals left out. Raw strings count
// as written; escapes are kept as they stand (no Mac word hides in one).
std::vector<Literal> literals(const QString &file, const QString &source)
{
    std::vector<Literal> out;
    int line = 1;
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = source[i];
        if (c == u'\n') {
            ++line;
        } else if (c == u'/' && i + 1 < n && source[i + 1] == u'/') {
            while (i < n && source[i] != u'\n')
                ++i;
            --i;
        } else if (c == u'/' && i + 1 < n && source[i + 1] == u'*') {
            const qsizetype end = source.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 1;
            line += int(QStringView(source).mid(i, stop - i).count(u'\n'));
            i = stop;
        } else if (c == u'\'' && !isDigitSeparator(source, i)) {
            for (++i; i < n && source[i] != u'\''; ++i) {
                if (source[i] == u'\\')
                    ++i;
            }
        } else if (c == u'R' && i + 1 < n && source[i + 1] == u'"') {
            const qsizetype open = source.indexOf(u'(', i + 2);
            const QString close = u')' + source.mid(i + 2, open - i - 2) + u'"';
            const qsizetype end = source.indexOf(close, open);
            const QString text = source.mid(open + 1, end - open - 1);
            out.push_back({file, line, text});
            line += int(text.count(u'\n'));
            i = end + close.size() - 1;
        } else if (c == u'"') {
            QString text;
            for (++i; i < n && source[i] != u'"'; ++i) {
                if (source[i] == u'\\' && i + 1 < n)
                    text.append(source[i++]);
                text.append(source[i]);
            }
            out.push_back({file, line, text});
        }
    }
    return out;
}

// Data of the other platform that the program keeps as data: its application identifiers, the
// font names of the language table, the compact key symbols that are turned into key names before
// they are shown, and an English idiom.
bool isKeptAsData(const Literal &literal)
{
    static const std::vector<std::pair<QString, QRegularExpression>> kept {
        {QStringLiteral("/Shared/Platform/AppIdentity.cpp"), QRegularExpression(QStringLiteral(R"(^com\.apple\.)"))},
        {QStringLiteral("/Features/Words/AppIcons.cpp"), QRegularExpression(QStringLiteral(R"(^com\.apple\.)"))},
        {QStringLiteral("/Models/LanguageCatalog.cpp"), QRegularExpression(QStringLiteral(R"(^Apple SD Gothic Neo$)"))},
        {QStringLiteral("/Models/TooltipKeyLabels.h"), QRegularExpression(QStringLiteral(R"(^[⌘⌥⌃⇧]\w?$)"))},
        {QStringLiteral("/Services/Learn/IdiomTable.cpp"), QRegularExpression(QStringLiteral(R"(^the apple of)"))},
    };
    for (const auto &[file, pattern] : kept) {
        if (literal.file.endsWith(file) && pattern.match(literal.text).hasMatch())
            return true;
    }
    return false;
}

QString macWordIn(const QString &text)
{
    const auto match = macWords.match(text);
    return match.hasMatch() ? match.captured(0) : QString();
}

} // namespace

TEST(LinuxWording, NoStringOfTheProgramSpeaksOfAnotherPlatform)
{
    const QString root = Testing::sourcePath(QStringLiteral("src"));
    QDirIterator files(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    int scanned = 0;
    QStringList offenders;
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++scanned;
        for (const Literal &literal : literals(path, QString::fromUtf8(file.readAll()))) {
            const QString word = macWordIn(literal.text);
            if (!word.isEmpty() && !isKeptAsData(literal))
                offenders.append(QStringLiteral("%1:%2: \"%3\" (%4)")
                                     .arg(path.mid(root.size() + 1))
                                     .arg(literal.line)
                                     .arg(literal.text, word));
        }
    }
    EXPECT_GT(scanned, 200) << "the sources were not found under " << root.toStdString();
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(QLatin1Char('\n')).toStdString();
}

TEST(LinuxWording, TheScannerFindsWordsInStringsOnly)
{
    const QString source =
        QStringLiteral("// Keychain in a comment\n/* menu bar\n */ auto a = QStringLiteral(\"x\");\n"
                       "char c = u'\"'; int n = 10'000; auto b = u\"the ⌘ key\"; auto r = R\"x(Dock)x\";\n"
                       "auto d = \"say \\\"Mac\\\"\";");
    const auto found = literals(QStringLiteral("f.cpp"), source);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].text, QStringLiteral("x"));
    EXPECT_EQ(found[0].line, 3);
    EXPECT_EQ(macWordIn(found[1].text), QStringLiteral("⌘"));
    EXPECT_EQ(found[1].line, 4);
    EXPECT_EQ(macWordIn(found[2].text), QStringLiteral("Dock"));
    EXPECT_EQ(macWordIn(found[3].text), QStringLiteral("Mac"));
    EXPECT_TRUE(macWordIn(QStringLiteral("option command optional Macro")).isEmpty());
}

TEST(LinuxWording, TextsBuiltAtRunTimeUseLinuxWords)
{
    QStringList texts;
    for (DiagnosticReason reason : DiagnosticReasons::allCases())
        texts.append(DiagnosticReasons::label(reason));
    DiagnosticSnapshot snapshot;
    snapshot.version = QStringLiteral("0.1.0");
    snapshot.system = QStringLiteral("Debian GNU/Linux 12 (bookworm), kernel 6.1.0");
    texts.append(DiagnosticReport::text({}, {}, {}, snapshot));
    for (auto place : {PermissionRowView::Place::settings, PermissionRowView::Place::onboarding}) {
        for (const auto &row : {PermissionRowView::accessibility(place), PermissionRowView::screenCapture(place)})
            texts << row.title << row.subtitle << row.buttonTitle << row.help;
    }
    for (auto permission :
         {CoordinatorWindows::Permission::accessibility, CoordinatorWindows::Permission::screenRecording}) {
        for (const char *desktop : {"GNOME", "XFCE", "MATE", "KDE", ""}) {
            const auto help = NoticeTexts::permissionHelp(permission, QString::fromLatin1(desktop));
            texts << help.title << help.text << help.steps;
        }
    }
    using Route = DiagnosticReport::Delivery::Route;
    for (Route route : {Route::noMailProgram, Route::webBrowser, Route::mailProgramFailed, Route::noFile}) {
        const auto notice =
            NoticeTexts::reportNotice({route, QStringLiteral("/run/user/1000/Lumivox/report.txt"), true, true});
        texts << notice.title << notice.text << notice.steps;
    }
    texts << StartNotices::noTray().title << StartNotices::noTray().body;
    const auto kept = StartNotices::keptFiles({{StartNotices::KeptFile::Store::preferences, QStringLiteral("/a/b.json"),
                                                QStringLiteral("/a/b-unreadable-1.json")}});
    texts << kept->title << kept->body;

    for (const QString &text : texts)
        EXPECT_TRUE(macWordIn(text).isEmpty()) << text.toStdString();
    EXPECT_EQ(DiagnosticReasons::label(DiagnosticReason::appleModelMissing), QStringLiteral("on-device model missing"));
    EXPECT_EQ(DiagnosticReasons::label(DiagnosticReason::appleSessionMissing),
              QStringLiteral("on-device translation unavailable"));
    EXPECT_EQ(DiagnosticReasons::label(DiagnosticReason::appleFailed), QStringLiteral("on-device translation failed"));
    EXPECT_EQ(DiagnosticReasons::rawValue(DiagnosticReason::appleModelMissing), QStringLiteral("appleModelMissing"))
        << "stored values keep their names";
}
