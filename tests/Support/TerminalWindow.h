#pragma once

// A real terminal emulator (xterm, Konsole, QTerminal …) showing text laid out for its own width, for
// the tests and the tally of words a terminal breaks at the end of a row. The terminal runs a script
// that tells its size in cells and waits for the text, which is then composed for that many columns:
// a long line breaks at the last column, inside a word where the text puts one there. Where each
// word is drawn is read from the window's pixels alone: the text area's ground, the rows' ink, and
// the cells' width from a row that fills every column.

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

namespace Lumivox::Testing {

class TerminalWindow
{
public:
    struct Word
    {
        /// As the row shows it: a piece of a broken word is that piece.
        QString text;
        /// The whole word a piece belongs to; the word itself otherwise.
        QString whole;
        int row = 0;
        int column = 0;
        /// X11 pixels, root coordinates: the word's cells.
        QRect box;
        /// The row shows the word's first part, and the next row the rest; or this is that rest.
        bool firstHalf = false;
        bool secondHalf = false;

        bool isHalf() const { return firstHalf || secondHalf; }
        /// The centres of the word's first cell, of the word, and of its last cell.
        std::vector<QPoint> points() const;
    };

    TerminalWindow() = default;
    TerminalWindow(const TerminalWindow &) = delete;
    TerminalWindow &operator=(const TerminalWindow &) = delete;
    ~TerminalWindow();

    /// Starts `program` with `arguments` followed by the option that runs a command (`-e`), waits for
    /// its size, shows the lines `compose` makes for that many columns, and finds its words. False,
    /// with error() saying why, when the terminal is missing or does not show the text.
    bool start(const QString &program, const QStringList &arguments,
               const std::function<QStringList(int columns)> &compose,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    const std::vector<Word> &words() const { return m_words; }
    int columns() const { return m_columns; }
    /// The window's frame (X11 pixels).
    QRect frame() const { return m_frame; }
    const QString &error() const { return m_error; }

    /// Lines in which the terminal breaks each of `splits` (a word, and how many of its letters end a
    /// row) at its last column, each followed by a line that starts a row under a short one. The first
    /// line's first word starts the first row.
    static QStringList brokenWords(int columns, const std::vector<std::pair<QString, int>> &splits);

private:
    bool fail(const QString &why);

    QProcess m_process;
    QTemporaryDir m_dir;
    std::vector<Word> m_words;
    QRect m_frame;
    int m_columns = 0;
    QString m_error;
};

} // namespace Lumivox::Testing
