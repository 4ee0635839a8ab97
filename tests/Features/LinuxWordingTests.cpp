// Every text a user reads (windows, tray, notifications, the diagnostic report, the log) in the words
// of a Linux desktop: no word of another platform's in any string of the sources, from which all of
// them are made.

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

// The string literals of a C++ source, raw ones included, with comments and character literals
// passed over: one pattern reads the source from left to right, and only strings are kept.
std::vector<Literal> literals(const QString &file, const QString &source)
{
    static const QRegularExpression token(QStringLiteral(R"re(R"(\w*)\(([\s\S]*?)\)\1"|"((?:[^"\\\n]|\\.)*)")re"
                                                         R"re(|'(?:\\.|[^'\\\n]){1,4}'|//[^\n]*|/\*[\s\S]*?\*/)re"));
    std::vector<Literal> out;
    for (auto match = token.globalMatch(source); match.hasNext();) {
        const auto found = match.next();
        if (found.hasCaptured(2) || found.hasCaptured(3)) {
            const int line = int(QStringView(source).left(found.capturedStart()).count(u'\n')) + 1;
            out.push_back({file, line, found.hasCaptured(2) ? found.captured(2) : found.captured(3)});
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
    qsizetype strings = 0;
    QStringList offenders;
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++scanned;
        const std::vector<Literal> found = literals(path, QString::fromUtf8(file.readAll()));
        strings += qsizetype(found.size());
        for (const Literal &literal : found) {
            const QString word = macWordIn(literal.text);
            if (!word.isEmpty() && !isKeptAsData(literal))
                offenders.append(QStringLiteral("%1:%2: \"%3\" (%4)")
                                     .arg(path.mid(root.size() + 1))
                                     .arg(literal.line)
                                     .arg(literal.text, word));
        }
    }
    EXPECT_GT(scanned, 200) << "the sources were not found under " << root.toStdString();
    EXPECT_GT(strings, 3000) << "the strings were not found in them";
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(QLatin1Char('\n')).toStdString();
}
