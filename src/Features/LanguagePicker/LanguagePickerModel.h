#pragma once

// The state behind the floating language picker: the search text, the sections and rows it gives,
// the highlighted row, the current target and whether a Google key is stored. The model never
// decides what a choice means; it hands the language to onChoose and a cancel to onCancel, which
// the owner of the picker sets once. It also holds the one rule of the recent-targets list, which
// every change of the target language goes through.

#include "Models/Language.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace Lumivox {

class LanguagePickerModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(std::vector<Lumivox::LanguagePickerModel::Section> sections READ sections NOTIFY sectionsChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectedIndexChanged)
    Q_PROPERTY(QString currentID READ currentID NOTIFY currentIDChanged)
    Q_PROPERTY(bool hasGoogleKey READ hasGoogleKey NOTIFY hasGoogleKeyChanged)
    Q_PROPERTY(int presentationCount READ presentationCount NOTIFY presentationCountChanged)

public:
    struct Section
    {
        /// None for search results.
        std::optional<QString> title;
        std::vector<Language> languages;

        /// What the list tells sections apart by: the title, or "results".
        QString identity() const { return title.value_or(QStringLiteral("results")); }
        bool operator==(const Section &) const = default;
    };

    explicit LanguagePickerModel(QObject *parent = nullptr);

    QString query() const { return m_query; }
    /// A different text re-sections the list and highlights its first row; the same text again
    /// leaves the highlight where the user moved it.
    void setQuery(const QString &query);

    const std::vector<Section> &sections() const { return m_sections; }
    int selectedIndex() const { return m_selectedIndex; }
    QString currentID() const { return m_currentID; }
    bool hasGoogleKey() const { return m_hasGoogleKey; }
    /// Grows with every prepare(); the view refocuses and recentres on it.
    int presentationCount() const { return m_presentationCount; }

    /// The languages of all sections in order; selectedIndex counts across section boundaries.
    std::vector<Language> rows() const;
    std::optional<Language> selectedLanguage() const;
    /// A language that only the Google service translates, while no key is stored.
    bool isLocked(const Language &language) const;

    /// Readies the model before each showing: clears the search, rebuilds the sections and
    /// highlights the current language (the first row when no row has its code exactly).
    void prepare(const QString &currentID, const QStringList &recentIDs, bool hasGoogleKey);
    /// The keyring's answer arrived while the picker is ready or on show: the locks follow it.
    void setHasGoogleKey(bool hasGoogleKey);
    /// Moves the highlight, stopping at the first and the last row.
    void moveSelection(int delta);
    void choose(const Language &language);
    /// Nothing when no row is highlighted (a search that matched nothing).
    void chooseSelected();
    void cancel();

    /// Called with the chosen language; set by the picker's owner.
    std::function<void(const Language &)> onChoose;
    /// Called when the user leaves without choosing; set by the picker's owner.
    std::function<void()> onCancel;

    /// The whole table sorted by English name; built once.
    static const std::vector<Language> &allLanguagesByName();
    /// Search results for a non-blank query (one untitled section, even when empty); otherwise
    /// "Recent" (the known recent codes in order) and "All Languages" (the rest), leaving out an
    /// empty section.
    static std::vector<Section> sections(const QString &query, const QStringList &recentIDs);
    /// `id` first, then the old list without it, at most 4 codes.
    static QStringList recents(const QStringList &recentIDs, const QString &id);

signals:
    void queryChanged(const QString &query);
    void sectionsChanged();
    void selectedIndexChanged(int selectedIndex);
    void currentIDChanged(const QString &currentID);
    void hasGoogleKeyChanged(bool hasGoogleKey);
    void presentationCountChanged(int presentationCount);

private:
    void refresh();
    void setSelectedIndex(int index);
    int rowCount() const;

    QString m_query;
    std::vector<Section> m_sections;
    int m_selectedIndex = 0;
    QString m_currentID;
    bool m_hasGoogleKey = false;
    int m_presentationCount = 0;
    QStringList m_recentIDs;
};

} // namespace Lumivox
