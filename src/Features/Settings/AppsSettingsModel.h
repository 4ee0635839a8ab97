#pragma once

// The Apps pane: tooltips in every application, or only in the ones the user ticks. The rows are
// the installed applications (read once, when the pane is first shown) narrowed by the filter and
// the search text; a row's check state is whether its id is in the coordinator's allowed set, read
// live, so unticking a row under "Selected" drops it at once.

#include "Features/Coordinator/HoverTextController.h"
#include "Models/AppCatalog.h"

#include <QAbstractListModel>

#include <functional>
#include <set>
#include <vector>

namespace Lumivox {

class AppsSettingsModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(bool isListEnabled READ isListEnabled NOTIFY isListEnabledChanged)

public:
    enum class AppFilter { all, running, selected };
    enum Role { BundleIDRole = Qt::UserRole + 1, IsRunningRole };

    /// Where the applications come from; the catalogue's own by default.
    struct Sources
    {
        std::function<std::vector<InstalledApp>()> installed;
        std::function<std::set<QString>()> running;

        static Sources catalogue();
    };

    AppsSettingsModel(HoverTextController &controller, Sources sources, QObject *parent = nullptr);

    static QString title(AppFilter filter);
    static const std::array<AppFilter, 3> &filters();

    /// Reads the installed applications the first time, the running ones every time.
    void appear();
    bool hasLoaded() const { return m_loaded; }

    QString query() const { return m_query; }
    void setQuery(const QString &query);
    AppFilter filter() const { return m_filter; }
    void setFilter(AppFilter filter);
    /// Search, filter and rows take input only while tooltips are limited to chosen applications.
    bool isListEnabled() const { return m_controller.limitToSelectedApps(); }
    void setAllowed(const QString &bundleID, bool allowed);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static QString emptyText() { return QStringLiteral("No matching apps"); }

signals:
    void queryChanged();
    void filterChanged();
    void isListEnabledChanged();

private:
    void refilter();
    /// Tells views that `roles` of every row may read differently; nothing when there is no row.
    void rowsChanged(const QList<int> &roles);

    HoverTextController &m_controller;
    Sources m_sources;
    std::vector<InstalledApp> m_apps;
    std::set<QString> m_running;
    std::vector<const InstalledApp *> m_rows;
    QString m_query;
    AppFilter m_filter = AppFilter::all;
    bool m_loaded = false;
};

} // namespace Lumivox
