#include "Features/LanguagePicker/LanguagePickerModel.h"

#include "Models/LanguageCatalog.h"
#include "Shared/Text/TextUtils.h"

#include <algorithm>
#include <set>

namespace Lumivox {

namespace {

constexpr qsizetype maxRecents = 4;

// The folded names of one language, made once: a keystroke then only compares.
struct SearchKey
{
    QString name;
    QString nativeName;
    QString code;
};

const std::vector<SearchKey> &searchKeys()
{
    static const std::vector<SearchKey> keys = [] {
        std::vector<SearchKey> out;
        for (const Language &language : LanguagePickerModel::allLanguagesByName())
            out.push_back(
                {Text::folded(language.name), Text::folded(language.nativeName), Text::lowercased(language.id)});
        return out;
    }();
    return keys;
}

} // namespace

LanguagePickerModel::LanguagePickerModel(QObject *parent)
    : QObject(parent)
{ }

void LanguagePickerModel::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged(m_query);
    refresh();
    setSelectedIndex(0);
}

std::vector<Language> LanguagePickerModel::rows() const
{
    std::vector<Language> out;
    for (const Section &section : m_sections)
        out.insert(out.end(), section.languages.begin(), section.languages.end());
    return out;
}

int LanguagePickerModel::rowCount() const
{
    int count = 0;
    for (const Section &section : m_sections)
        count += int(section.languages.size());
    return count;
}

std::optional<Language> LanguagePickerModel::selectedLanguage() const
{
    int index = m_selectedIndex;
    if (index < 0)
        return std::nullopt;
    for (const Section &section : m_sections) {
        if (index < int(section.languages.size()))
            return section.languages[size_t(index)];
        index -= int(section.languages.size());
    }
    return std::nullopt;
}

bool LanguagePickerModel::isLocked(const Language &language) const
{
    return language.requiresGoogleKey() && !m_hasGoogleKey;
}

void LanguagePickerModel::prepare(const QString &currentID, const QStringList &recentIDs, bool hasGoogleKey)
{
    if (currentID != m_currentID) {
        m_currentID = currentID;
        emit currentIDChanged(m_currentID);
    }
    m_recentIDs = recentIDs;
    setHasGoogleKey(hasGoogleKey);
    setQuery(QString());
    // The recent list may differ from the last showing's even when the query did not change.
    refresh();
    int index = 0;
    int row = 0;
    bool found = false;
    for (const Section &section : m_sections) {
        for (const Language &language : section.languages) {
            if (language.id == m_currentID) {
                index = row;
                found = true;
                break;
            }
            ++row;
        }
        if (found)
            break;
    }
    setSelectedIndex(index);
    ++m_presentationCount;
    emit presentationCountChanged(m_presentationCount);
}

void LanguagePickerModel::setHasGoogleKey(bool hasGoogleKey)
{
    if (std::exchange(m_hasGoogleKey, hasGoogleKey) != hasGoogleKey)
        emit hasGoogleKeyChanged(m_hasGoogleKey);
}

void LanguagePickerModel::moveSelection(int delta)
{
    const int count = rowCount();
    if (count == 0)
        return;
    // Widened so that a large delta cannot overflow.
    const qint64 next = qint64(m_selectedIndex) + delta;
    setSelectedIndex(next <= 0 ? 0 : int(std::min<qint64>(next, count - 1)));
}

void LanguagePickerModel::choose(const Language &language)
{
    if (onChoose)
        onChoose(language);
}

void LanguagePickerModel::chooseSelected()
{
    if (const auto language = selectedLanguage())
        choose(*language);
}

void LanguagePickerModel::cancel()
{
    if (onCancel)
        onCancel();
}

const std::vector<Language> &LanguagePickerModel::allLanguagesByName()
{
    static const std::vector<Language> languages = LanguageCatalog::sortedByName(LanguageCatalog::allLanguages());
    return languages;
}

std::vector<LanguagePickerModel::Section> LanguagePickerModel::sections(const QString &query,
                                                                        const QStringList &recentIDs)
{
    const QString q = Text::folded(Text::trimmed(query));
    const std::vector<Language> &all = allLanguagesByName();

    if (!q.isEmpty()) {
        const std::vector<SearchKey> &keys = searchKeys();
        std::vector<Language> prefixed;
        std::vector<Language> containing;
        for (size_t i = 0; i < all.size(); ++i) {
            const SearchKey &key = keys[i];
            if (key.name.startsWith(q) || key.nativeName.startsWith(q) || key.code == q)
                prefixed.push_back(all[i]);
            else if (key.name.contains(q) || key.nativeName.contains(q))
                containing.push_back(all[i]);
        }
        prefixed.insert(prefixed.end(), containing.begin(), containing.end());
        return {Section {std::nullopt, std::move(prefixed)}};
    }

    std::vector<Language> recent;
    std::set<QString> recentCodes;
    for (const QString &code : recentIDs) {
        const auto language = LanguageCatalog::language(code);
        // "zh" and "zh-CN" name one row: it is listed once, where it first appears.
        if (language && recentCodes.insert(language->id).second)
            recent.push_back(*language);
    }
    std::vector<Language> others;
    for (const Language &language : all) {
        if (!recentCodes.contains(language.id))
            others.push_back(language);
    }
    std::vector<Section> out;
    if (!recent.empty())
        out.push_back({QStringLiteral("Recent"), std::move(recent)});
    if (!others.empty())
        out.push_back({QStringLiteral("All Languages"), std::move(others)});
    return out;
}

QStringList LanguagePickerModel::recents(const QStringList &recentIDs, const QString &id)
{
    QStringList out {id};
    for (const QString &code : recentIDs) {
        if (code != id)
            out.append(code);
    }
    if (out.size() > maxRecents)
        out.resize(maxRecents);
    return out;
}

void LanguagePickerModel::refresh()
{
    auto next = sections(m_query, m_recentIDs);
    if (next == m_sections)
        return;
    m_sections = std::move(next);
    emit sectionsChanged();
}

void LanguagePickerModel::setSelectedIndex(int index)
{
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    emit selectedIndexChanged(m_selectedIndex);
}

} // namespace Lumivox
