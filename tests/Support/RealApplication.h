#pragma once

// An installed desktop application opened on a known text inside the private session, for the
// system tests and the benchmark of the word lookup. Where each word is drawn is read from the
// application's own text interface (range extents at the word's offsets, in the application's own
// units), not through the lookup under test, so a lookup that confuses units or elements reads a
// different word than the one expected there. Boxes without height, which some editors give, are
// as high as the distance between two rows, and moved to where the text's first character is drawn.

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

namespace Lumivox::Testing {

class RealApplication
{
public:
    struct Word
    {
        QString text;
        /// The sentence the word stands in, and the word's UTF-16 offset in it.
        QString sentence;
        qsizetype offset = 0;
        /// X11 pixels, root coordinates.
        QRect box;
    };

    /// The known text: three sentences with emoji, a long middle so that the whole text is over
    /// 32,768 code units and the offset unit cannot be told from the counts, and the same three
    /// sentences again.
    static QString knownText();

    RealApplication() = default;
    RealApplication(const RealApplication &) = delete;
    RealApplication &operator=(const RealApplication &) = delete;
    ~RealApplication();

    /// Starts `program` on a copy of the known text (its path is appended to `arguments`) and waits
    /// until the application shows the text on the accessibility bus. `countsUtf16`: whether the
    /// application's offsets are UTF-16 units (Qt) rather than code points. `onWorker` runs a job
    /// on the thread that makes the accessibility requests and returns when it is done. Where an
    /// application shows a bar of its own over the text once it has read it (which moves the text),
    /// `settledWhenShown` names an element of that bar: the words are placed once it is on screen
    /// and the text clear of it.
    bool start(const QString &program, const QStringList &arguments, bool countsUtf16,
               const std::function<void(const std::function<void()> &)> &onWorker,
               const QString &settledWhenShown = {});

    /// Ends the application.
    void stop();

    qint64 pid() const { return m_process.processId(); }
    /// The words of the known sentences that the application shows, each on one line.
    const std::vector<Word> &words() const { return m_words; }
    /// Why start() failed.
    const QString &error() const { return m_error; }

private:
    QProcess m_process;
    QTemporaryDir m_dir;
    std::vector<Word> m_words;
    QString m_error;
};

} // namespace Lumivox::Testing
