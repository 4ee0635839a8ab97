#pragma once

// xterm showing known lines at a known place, for the tests that read a terminal as screen text. Its
// default font draws 6 x 13 pixel cells inside a 2 pixel border; a line longer than a row runs on
// into the next, so a word the terminal splits over two rows has two boxes, both of that word. The
// cursor waits a row below the text: a block touching a word's letters makes them hard to read.

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

namespace Lumivox::Testing {

class Xterm
{
public:
    struct Word
    {
        QString text;
        /// X11 pixels, root coordinates.
        QRect box;
    };

    static constexpr int cellWidth = 6;
    static constexpr int cellHeight = 13;
    static constexpr int border = 2;

    Xterm() = default;
    Xterm(const Xterm &) = delete;
    Xterm &operator=(const Xterm &) = delete;
    ~Xterm();

    /// Opens a terminal of `columns` x `rows` cells with its corner at `at` (no window manager
    /// moves it) showing `lines`, and waits until the last of them is drawn. False when xterm is
    /// missing or never draws.
    bool start(int columns, int rows, QPoint at, const QStringList &lines);

    /// Every word of the lines (letters, digits, apostrophes), a split one once per row it is on.
    const std::vector<Word> &words() const { return m_words; }
    /// The window's frame, border included (X11 pixels).
    QRect frame() const { return m_frame; }

private:
    QProcess m_process;
    QTemporaryDir m_dir;
    std::vector<Word> m_words;
    QRect m_frame;
};

} // namespace Lumivox::Testing
