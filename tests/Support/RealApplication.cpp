#include "Support/RealApplication.h"

#include "Native/Accessibility/AtspiRequests.h"
#include "Native/Text/Utf16.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QThread>

namespace Lumivox::Testing {

namespace {

using namespace Native::Atspi;

const QString openingSentences[] = {
    QStringLiteral("The harbour lay quiet under a pale morning sky \U0001F305 while fishermen mended their nets."),
    QStringLiteral("A ferryman \U0001F6A3 rowed slowly across the channel carrying baskets of bread."),
    QStringLiteral("Children laughed near the lighthouse and an old sailor told stories about distant storms."),
};

// Editors may drop the file's final line break, or count a few line ends more than the text has.
bool holdsKnownText(AtspiAccessible *object, qint64 count)
{
    const auto own = characterCountOf(object);
    return own && *own <= count + 4 && *own >= count - 1;
}

// Whether the element's box lies wholly inside the boxes of the elements around it: an element that
// slides in is cut off by what holds it until it has arrived.
bool wholeOnScreen(AtspiAccessible *object, const QRect &box)
{
    bool whole = true;
    AtspiAccessible *around = parentOf(object);
    for (int depth = 0; around && whole && depth < 20; ++depth) {
        if (const auto outer = extentsOf(around); outer && !outer->contains(box))
            whole = false;
        AtspiAccessible *next = parentOf(around);
        g_object_unref(around);
        around = next;
    }
    if (around)
        g_object_unref(around);
    return whole;
}

// Where an element under `object` whose name holds `name` is on screen, once it is there whole;
// none until then.
std::optional<QRect> placeOfElementNamed(AtspiAccessible *object, const QString &name, int depth)
{
    if (depth > 40)
        return std::nullopt;
    if (nameOf(object).value_or(QString()).contains(name)) {
        const auto box = extentsOf(object);
        if (box && wholeOnScreen(object, *box))
            return box;
        return std::nullopt;
    }
    const int children = std::min(childCountOf(object).value_or(0), 256);
    for (int i = 0; i < children; ++i) {
        AtspiAccessible *child = childOf(object, i);
        if (!child)
            continue;
        const auto found = placeOfElementNamed(child, name, depth + 1);
        g_object_unref(child);
        if (found)
            return found;
    }
    return std::nullopt;
}

// The first text element under `object` that holds the known text; a new reference or nullptr.
AtspiAccessible *textElement(AtspiAccessible *object, qint64 count, int depth)
{
    if (depth > 40)
        return nullptr;
    if (const auto role = roleOf(object);
        role && (*role == ATSPI_ROLE_TEXT || *role == ATSPI_ROLE_DOCUMENT_TEXT || *role == ATSPI_ROLE_PARAGRAPH)) {
        if (const auto own = interfacesOf(object); own && own->text && holdsKnownText(object, count))
            return static_cast<AtspiAccessible *>(g_object_ref(object));
    }
    const int children = std::min(childCountOf(object).value_or(0), 256);
    for (int i = 0; i < children; ++i) {
        AtspiAccessible *child = childOf(object, i);
        if (!child)
            continue;
        AtspiAccessible *found = textElement(child, count, depth + 1);
        g_object_unref(child);
        if (found)
            return found;
    }
    return nullptr;
}

} // namespace

QString RealApplication::knownText()
{
    const QString story = openingSentences[0] + QLatin1Char(' ') + openingSentences[1] + QLatin1Char(' ')
        + openingSentences[2] + QStringLiteral("\n\n");
    QString text = story;
    while (text.size() < 40000)
        text += QStringLiteral("Filler \U0001F41D words drift along the shore. ");
    // The same sentences close the text: some editors open a file at its end.
    return text + QStringLiteral("\n\n") + story;
}

RealApplication::~RealApplication()
{
    stop();
}

bool RealApplication::start(const QString &program, const QStringList &arguments, bool countsUtf16,
                            const std::function<void(const std::function<void()> &)> &onWorker,
                            const QString &settledWhenShown)
{
    const QString path = m_dir.filePath(QStringLiteral("harbour.txt"));
    const QString text = knownText();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
            m_error = QStringLiteral("cannot write ") + path;
            return false;
        }
    }
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(program, arguments + QStringList {path});
    if (!m_process.waitForStarted(5000)) {
        m_error = program + QStringLiteral(" did not start: ") + m_process.errorString();
        return false;
    }
    const qint64 count = countsUtf16 ? text.size() : Text::codePointCount(text);
    const auto pid = std::int32_t(m_process.processId());

    // The words of the opening sentences, with their offsets in the whole text.
    struct Target
    {
        Word word;
        qsizetype start = 0;
    };
    std::vector<Target> targets;
    for (const qsizetype storyStart : {qsizetype(0), text.lastIndexOf(openingSentences[0])}) {
        qsizetype sentenceStart = storyStart;
        for (const QString &sentence : openingSentences) {
            static const QRegularExpression letters(QStringLiteral("\\p{L}{3,}"));
            for (auto it = letters.globalMatch(sentence); it.hasNext();) {
                const auto m = it.next();
                targets.push_back(
                    {Word {m.captured(), sentence, m.capturedStart(), {}}, sentenceStart + m.capturedStart()});
            }
            sentenceStart += sentence.size() + 1;
        }
    }

    bool found = false;
    const bool shown = spinUntil(
        [&] {
            onWorker([&] {
                std::lock_guard lock(Session::instance().mutex);
                Session &session = Session::instance();
                if (!session.ready())
                    return;
                session.drain();
                AtspiAccessible *app = session.application(pid);
                if (!app)
                    return;
                std::optional<QRect> bar;
                if (!settledWhenShown.isEmpty() && !(bar = placeOfElementNamed(app, settledWhenShown, 0))) {
                    g_object_unref(app);
                    return;
                }
                AtspiAccessible *element = textElement(app, count, 0);
                g_object_unref(app);
                if (!element)
                    return;
                m_words.clear();
                const auto visible = extentsOf(element);
                // The bar slides in over a while, pushing the text away: the words are placed once
                // the text is clear of it.
                if (bar && visible && visible->intersects(*bar)) {
                    g_object_unref(element);
                    return;
                }
                std::vector<Word> flat;
                for (const Target &t : targets) {
                    const qint64 from = countsUtf16 ? t.start : Text::codePointCount(QStringView(text).left(t.start));
                    const qint64 length = countsUtf16 ? t.word.text.size() : Text::codePointCount(t.word.text);
                    const auto box = rangeExtentsOf(element, from, from + length);
                    const auto first = characterExtentsOf(element, from);
                    if (!first || !visible)
                        continue;
                    Word word = t.word;
                    // Boxes without height (some editors give them) are placed by their tops.
                    if (first->height() == 0 && first->width() > 0) {
                        const auto last = characterExtentsOf(element, from + length - 1);
                        // A word broken over two lines has no one point at its centre.
                        if (last && last->height() == 0 && last->top() == first->top()) {
                            word.box = QRect(first->left(), first->top(), last->right() - first->left() + 1, 0);
                            flat.push_back(word);
                        }
                        continue;
                    }
                    if (!box || !visible->contains(*box) || box->height() > first->height() * 3 / 2)
                        continue;
                    word.box = *box;
                    m_words.push_back(word);
                }
                // A row is as high as the distance between the tops of two rows.
                int rowHeight = 0;
                for (const Word &a : flat) {
                    for (const Word &b : flat) {
                        const int apart = b.box.top() - a.box.top();
                        if (apart > 0 && (rowHeight == 0 || apart < rowHeight))
                            rowHeight = apart;
                    }
                }
                // Such an editor measures its boxes from the left of its own widget, a border's width
                // left of where it draws the text (line numbers and marks): the text's first
                // character is drawn at the text area's left edge.
                const auto origin = characterExtentsOf(element, 0);
                const int shift = origin ? origin->left() - visible->left() : 0;
                for (Word &word : flat) {
                    word.box.translate(-shift, 0);
                    word.box.setHeight(rowHeight);
                    if (rowHeight > 0 && visible->contains(word.box))
                        m_words.push_back(word);
                }
                g_object_unref(element);
                // Until it has laid the text out, an application reports no boxes.
                found = m_words.size() >= 20;
            });
            if (!found)
                QThread::msleep(200);
            return found;
        },
        std::chrono::seconds(30));
    if (!shown) {
        m_error = program
            + QStringLiteral(" did not show the text on the accessibility bus within 30 s (%1 words laid out%2)")
                  .arg(m_words.size())
                  .arg(settledWhenShown.isEmpty() ? QString()
                                                  : QStringLiteral(", waiting for \"%1\"").arg(settledWhenShown));
        return false;
    }
    return true;
}

void RealApplication::stop()
{
    endProcess(m_process);
}

} // namespace Lumivox::Testing
