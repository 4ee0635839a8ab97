#pragma once

// The Words tab of Settings: History, Saving, Review, the applications whose words are never kept,
// and Your words (open, export, clear). Controls bind straight to the word book; counts, enabled
// states, the reminder switch and the application list come from WordsSettingsModel. Destructive
// actions ask first.

#include "Features/Design/Appearance.h"
#include "Features/Words/WordsSettingsModel.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace Lumivox {

class SaveKeyLabel;
class SettingsRow;

class WordsSettingsPane final : public QWidget
{
    Q_OBJECT
public:
    /// Where the application chooser finds the installed applications.
    using InstalledApps = std::function<std::vector<InstalledApp>()>;

    WordsSettingsPane(WordBook &book, HoverTextController &controller,
                      WordsSettingsModel::NotificationPermission permission, InstalledApps installed,
                      const Appearance &appearance, QWidget *parent = nullptr);

    WordsSettingsModel *model() const { return m_model; }

    /// The chooser of applications to add, modal over the pane; the chosen ids in the order chosen.
    QStringList chooseApps();

private:
    void showHistoryEnabled();
    void showSaveKey();
    void showReminder();
    void showExcluded();
    void showCounts();
    void confirmClearHistory();
    void confirmClearCache();
    void exportSaved(int format);

    WordsSettingsModel *m_model;
    InstalledApps m_installed;
    const Appearance &m_appearance;
    QWidget *m_retention;
    QWidget *m_suggest;
    SaveKeyLabel *m_saveKey;
    QCheckBox *m_reminder;
    SettingsRow *m_reminderRow;
    QVBoxLayout *m_excludedRows;
    SettingsRow *m_countRow;
    QPushButton *m_export;
    QPushButton *m_clearHistory;
};

} // namespace Lumivox
