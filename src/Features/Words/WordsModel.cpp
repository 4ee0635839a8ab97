#include "Features/Words/WordsModel.h"

#include "Features/Words/AppIcons.h"
#include "Features/Words/WordLanguages.h"
#include "Models/TriggerMode.h"
#include "Services/Words/WordBook.h"
#include "Shared/Text/TextUtils.h"

#include <algorithm>

namespace Lumivox {

WordsModel::WordsModel(WordBook &book, OpenReview openReview, std::shared_ptr<Clock> clock,
                       std::optional<Calendar> calendar, QObject *parent)
    : QObject(parent)
    , m_book(book)
    , m_openReview(std::move(openReview))
    , m_clock(std::move(clock))
    , m_calendar(std::move(calendar))
    , m_keyLabels([] { return TriggerMode(TriggerMode::option).tooltipKeyLabels(); })
{
    const auto nowAndCalendar = [this] { return std::pair {now(), this->calendar()}; };
    m_list = new WordsListModel(nowAndCalendar, this);
    m_sidebar = new WordsSidebarModel(
        m_book, [this] { return now(); }, this);
    m_detail = new WordDetailModel(m_book, m_openReview, nowAndCalendar, this);

    connect(&m_book, &WordBook::savedChanged, this, &WordsModel::bookChanged);
    connect(&m_book, &WordBook::historyChanged, this, &WordsModel::bookChanged);
    connect(&m_book, &WordBook::reviewsPerDayChanged, m_sidebar, &WordsSidebarModel::refresh);
    connect(&m_book, &WordBook::keepsHistoryChanged, this, [this] { publish(items()); });

    m_lastTitle = windowTitle();
    m_lastEmpty = emptyMessage();
    m_lastCanExport = canExport();
    rebuild();
}

Date WordsModel::now() const
{
    return Date::fromWallTime(m_clock->wallNow());
}

Calendar WordsModel::calendar() const
{
    return m_calendar ? *m_calendar : Calendar::current();
}

void WordsModel::bookChanged()
{
    m_sidebar->refresh();
    rebuild();
}

void WordsModel::setSection(const WordsSection &section)
{
    if (section == m_section)
        return;
    m_section = section;
    rebuild();
    emit sectionChanged();
    setSelection(items().empty() ? std::nullopt : std::optional<WordKey>(items().front()->key));
}

void WordsModel::setSelection(const std::optional<WordKey> &key)
{
    if (key == m_selection)
        return;
    m_selection = key;
    emit selectionChanged();
    updateDetail();
}

void WordsModel::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged();
    refilter();
}

void WordsModel::setSort(WordSort sort)
{
    if (sort == m_sort)
        return;
    m_sort = sort;
    rebuild();
    emit sortChanged();
}

void WordsModel::setKeyLabels(KeyLabels labels)
{
    m_keyLabels = std::move(labels);
    publish(items());
}

void WordsModel::rebuild()
{
    std::vector<WordItem> built;
    const auto &saved = m_book.saved();
    switch (m_section.kind) {
    case WordsSection::Kind::saved:
        built.reserve(saved.size());
        for (const SavedWord &word : saved)
            built.emplace_back(word);
        break;
    case WordsSection::Kind::history:
        built = WordItem::history(m_book);
        break;
    case WordsSection::Kind::pair:
        for (const SavedWord &word : saved) {
            if (word.source.value_or(QString()) == m_section.source && word.target == m_section.target)
                built.emplace_back(word);
        }
        break;
    case WordsSection::Kind::app:
        for (const SavedWord &word : saved) {
            const bool metThere = std::any_of(word.encounters.begin(), word.encounters.end(),
                                              [&](const WordLookup &e) { return e.appID == m_section.appID; });
            if (metThere)
                built.emplace_back(word);
        }
        break;
    }
    // Sorted before filtering: the search then only picks from an ordered list, which is what keeps a
    // keystroke cheap, and gives the same order as sorting what the search left.
    WordSorts::sort(built, m_sort);
    m_sectionItems.clear();
    m_sectionItems.reserve(built.size());
    for (WordItem &item : built)
        m_sectionItems.push_back(std::make_shared<const WordItem>(std::move(item)));
    refilter();
}

void WordsModel::refilter()
{
    if (Text::trimmed(m_query).isEmpty()) {
        publish(m_sectionItems);
        return;
    }
    std::vector<WordItemRef> kept;
    for (const WordItemRef &item : m_sectionItems) {
        if (item->matches(m_query))
            kept.push_back(item);
    }
    publish(std::move(kept));
}

void WordsModel::publish(std::vector<WordItemRef> items)
{
    // Items are made afresh from the book at every change of it; only what they hold tells whether
    // the list changed (a look-up of another word, or of a word in another section, leaves it be).
    const auto &shown = m_list->items();
    const bool same = std::equal(items.begin(), items.end(), shown.begin(), shown.end(),
                                 [](const WordItemRef &a, const WordItemRef &b) { return a == b || *a == *b; });
    if (!same) {
        m_list->setItems(std::move(items));
        emit itemsChanged();
    }
    if (const QString title = windowTitle(); title != m_lastTitle) {
        m_lastTitle = title;
        emit titleChanged();
    }
    if (const EmptyMessage empty = emptyMessage(); !(empty == m_lastEmpty)) {
        m_lastEmpty = empty;
        emit emptyMessageChanged();
    }
    if (const bool exportable = canExport(); exportable != m_lastCanExport) {
        m_lastCanExport = exportable;
        emit canExportChanged();
    }
    updateDetail();
}

void WordsModel::updateDetail()
{
    const WordItem *selected = selectedItem();
    m_detail->setItem(selected ? std::optional<WordItem>(*selected) : std::nullopt);
}

const WordItem *WordsModel::selectedItem() const
{
    if (!m_selection)
        return nullptr;
    for (const WordItemRef &item : items()) {
        if (item->key == *m_selection)
            return item.get();
    }
    return nullptr;
}

QString WordsModel::title() const
{
    switch (m_section.kind) {
    case WordsSection::Kind::saved:
        return QStringLiteral("Saved");
    case WordsSection::Kind::history:
        return QStringLiteral("History");
    case WordsSection::Kind::pair:
        return WordLanguages::pair(m_section.source, m_section.target);
    case WordsSection::Kind::app:
        return AppIcons::name(m_section.appID);
    }
    return {};
}

QString WordsModel::subtitle() const
{
    const std::size_t count = items().size();
    return count == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(count);
}

QString WordsModel::windowTitle() const
{
    return title() + QStringLiteral(" — ") + subtitle();
}

WordsModel::EmptyMessage WordsModel::emptyMessage() const
{
    // The same trim as the search's: a query the search ignores never reads as "No matches".
    if (!Text::trimmed(m_query).isEmpty()) {
        return {QStringLiteral("No matches"),
                QStringLiteral("No word, meaning or sentence contains “%1”.").arg(m_query)};
    }
    if (m_section.kind == WordsSection::Kind::history) {
        if (!m_book.keepsHistory())
            return {QStringLiteral("History is off"),
                    QStringLiteral("Turn it on in Settings › Words to keep every word you look up.")};
        return {QStringLiteral("No words yet"), QStringLiteral("Words you point at appear here.")};
    }
    const TooltipKeyLabels keys = m_keyLabels();
    const QString save = keyCapText(keys.save);
    const QString detail = keys.hold
        ? QStringLiteral("Point at a word and press %1 while holding %2 to save it.").arg(save, keyCapText(*keys.hold))
        : QStringLiteral("Point at a word and press %1 to save it.").arg(save);
    return {QStringLiteral("No saved words"), detail};
}

bool WordsModel::canExport() const
{
    return !m_book.saved().empty();
}

void WordsModel::appear()
{
    if (!m_selection && !items().empty())
        setSelection(items().front()->key);
}

void WordsModel::openDueReview()
{
    if (m_openReview)
        m_openReview(std::nullopt);
}

WordExporter::Outcome WordsModel::exportSaved(WordExport::Format format)
{
    WordExporter::Outcome outcome = WordExporter::exportWords(m_book.saved(), format, m_chooseFile);
    if (outcome.failure)
        emit exportFailed(WordExporter::failureTitle(), outcome.failure->message());
    return outcome;
}

} // namespace Lumivox
