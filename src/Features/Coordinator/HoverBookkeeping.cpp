// What a shown word leaves behind: one look-up record in the word book, the footer that tells where
// the word stands there, and, for a saved word, the title of the window the word was met in.

#include "Features/Coordinator/HoverSources.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Models/AppCatalog.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Words/WordBook.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Shared/Text/TextUtils.h"

#include <QLoggingCategory>
#include <QPointer>

Q_LOGGING_CATEGORY(lcBookkeeping, "app.lumivox.Hover")

namespace Lumivox {

namespace {

// The key hints run for the word book's first two weeks, counted in elapsed time, not calendar days.
constexpr double keyHintSeconds = 14 * 24 * 3600.0;

} // namespace

Date HoverTextController::wallDate() const
{
    return Date::fromWallTime(m_deps.clock->wallNow());
}

std::optional<QString> HoverTextController::hoveredAppName() const
{
    const auto &window = m_hover.lastHoveredWindow;
    if (!window)
        return std::nullopt;
    // The name the user knows the application by; a process without a desktop entry goes by its
    // own name.
    std::optional<QString> id = window->bundleIdentifier;
    if (!id)
        id = m_deps.windowList->applicationID(window->pid);
    if (id) {
        if (auto name = AppCatalog::name(*id))
            return name;
    }
    return m_deps.windowList->processName(window->pid);
}

WordLookup HoverTextController::makeLookup(const HoverState &hover, const QString &meaning,
                                           const std::optional<Glance> &glance, const QString &target,
                                           std::optional<QString> appName, Date now)
{
    const QString word = hover.recognizedText.value_or(QString());
    WordLookup lookup;
    lookup.id = QUuid::createUuid();
    lookup.word = word;
    // A context that is only the word itself says nothing about where it was met.
    if (hover.currentContext && *hover.currentContext != word) {
        lookup.sentence = hover.currentContext;
        lookup.source = GlanceTranslator::sourceLanguage(*lookup.sentence);
        if (hover.currentWordOffset)
            lookup.wordOffset = *hover.currentWordOffset;
    }
    lookup.target = target;
    lookup.meaning = meaning;
    if (glance) {
        lookup.base = glance->base;
        if (glance->grammar) {
            lookup.grammarTag = glance->grammar->tag;
            if (!glance->grammar->text.isEmpty())
                lookup.grammarText = glance->grammar->text;
        }
        if (glance->sentence)
            lookup.translation = glance->sentence->text();
    }
    lookup.appID = hover.lastHoveredAppID;
    lookup.appName = appName ? std::optional(Text::withoutControls(*appName)) : std::nullopt;
    lookup.date = now;
    return lookup;
}

void HoverTextController::beginLookup(const QString &meaning, const std::optional<Glance> &glance)
{
    m_hover.statusFlash.reset();
    if (!m_hover.recognizedText || meaning.isEmpty()) {
        m_hover.currentLookup.reset();
        return;
    }
    const WordLookup lookup = makeLookup(m_hover, meaning, glance, m_targetLanguage, hoveredAppName(), wallDate());
    m_hover.currentLookup = lookup;
    m_hover.lookupShownAt = lookup.date.toDateTime();

    // Only a saved word keeps where it was met; the history never gets a title.
    if (m_deps.wordBook->record(lookup) && m_deps.wordBook->savedWord(lookup.key()))
        fetchTitle(lookup);
}

std::optional<WordStatus> HoverTextController::wordStatus() const
{
    const auto &lookup = m_hover.currentLookup;
    if (!lookup)
        return std::nullopt;
    const WordBook &book = *m_deps.wordBook;
    const WordKey key = lookup->key();
    const std::optional<SavedWord> saved = book.savedWord(key);
    const TriggerMode mode = triggerMode();

    WordStatus status;
    status.isSaved = saved.has_value();
    status.met = saved ? static_cast<int>(saved->metCount) : 0;
    status.lookups = static_cast<int>(book.lookupCount(key));
    status.showsKeyHints =
        wallDate().secondsSinceReferenceDate < book.keyHintsSince().secondsSinceReferenceDate + keyHintSeconds;
    status.suggestAfter = static_cast<int>(book.suggestAfter());
    status.keys = mode.tooltipKeyLabels();
    status.hasKeys = mayClaimKeys(mode.tooltipKeyModifiers(), lookup->appID);
    status.flash = m_hover.statusFlash;
    return status;
}

void HoverTextController::fetchTitle(const WordLookup &lookup)
{
    // The stillness point of the hover being shown; whether its window is still there is not asked.
    const QPointF at = ScreenGeometry::cgPoint(m_hover.lastHitLocation);
    [[maybe_unused]] auto task = titleTask(QPointer(this), m_sources, m_deps.wordBook, lookup, at);
}

QCoro::Task<> HoverTextController::titleTask(QPointer<HoverTextController> self, std::shared_ptr<HoverSources> sources,
                                             QPointer<WordBook> book, WordLookup lookup, QPointF at)
{
    auto job = sources->windowTitle(at);
    std::optional<QString> title = co_await job;
    // Another program's text, kept with the word like its sentence: without control characters.
    if (title)
        title = Text::withoutControls(*title);
    // Read on a worker thread: what waits for the title (a test about to end the program) waits for
    // this line. The title itself is the other program's text and is not logged.
    qCDebug(lcBookkeeping) << (title ? "the window title was read" : "the window title is not known");
    if (!title || !self)
        co_return;
    if (self->m_hover.currentLookup && self->m_hover.currentLookup->id == lookup.id)
        self->m_hover.currentLookup->title = title;
    // Also when the tooltip has moved on: the title belongs to the encounter of this look-up.
    if (book)
        book->setTitle(*title, lookup);
}

} // namespace Lumivox
