#include "Features/Settings/AppsSettingsModel.h"

#include "Shared/Platform/WindowLookup.h"
#include "Shared/Text/TextUtils.h"

namespace Lumivox {

AppsSettingsModel::Sources AppsSettingsModel::Sources::catalogue()
{
    return {[] { return AppCatalog::installed(); }, [] { return WindowLookup::runningBundleIDs(); }};
}

AppsSettingsModel::AppsSettingsModel(HoverTextController &controller, Sources sources, QObject *parent)
    : QAbstractListModel(parent)
    , m_controller(controller)
    , m_sources(std::move(sources))
{
    connect(&m_controller, &HoverTextController::limitToSelectedAppsChanged, this, [this] {
        emit isListEnabledChanged();
        rowsChanged({});
    });
    connect(&m_controller, &HoverTextController::allowedAppIDsChanged, this, [this] {
        if (m_filter == AppFilter::selected)
            refilter();
        else
            rowsChanged({Qt::CheckStateRole});
    });
}

QString AppsSettingsModel::title(AppFilter filter)
{
    switch (filter) {
    case AppFilter::all:
        return QStringLiteral("All");
    case AppFilter::running:
        return QStringLiteral("Running");
    case AppFilter::selected:
        return QStringLiteral("Selected");
    }
    return {};
}

const std::array<AppsSettingsModel::AppFilter, 3> &AppsSettingsModel::filters()
{
    static const std::array<AppFilter, 3> all {AppFilter::all, AppFilter::running, AppFilter::selected};
    return all;
}

void AppsSettingsModel::appear()
{
    if (!m_loaded) {
        m_apps = m_sources.installed();
        m_loaded = true;
    }
    m_running = m_sources.running();
    refilter();
}

void AppsSettingsModel::setQuery(const QString &query)
{
    if (std::exchange(m_query, query) == query)
        return;
    emit queryChanged();
    refilter();
}

void AppsSettingsModel::setFilter(AppFilter filter)
{
    if (std::exchange(m_filter, filter) == filter)
        return;
    emit filterChanged();
    refilter();
}

void AppsSettingsModel::setAllowed(const QString &bundleID, bool allowed)
{
    QSet<QString> ids = m_controller.allowedAppIDs();
    if (allowed == ids.contains(bundleID))
        return;
    if (allowed)
        ids.insert(bundleID);
    else
        ids.remove(bundleID);
    m_controller.setAllowedAppIDs(ids);
}

void AppsSettingsModel::refilter()
{
    const QString needle = Text::trimmed(m_query);
    const QSet<QString> allowed = m_controller.allowedAppIDs();
    beginResetModel();
    m_rows.clear();
    for (const InstalledApp &app : m_apps) {
        if (m_filter == AppFilter::running && !m_running.contains(app.bundleID))
            continue;
        if (m_filter == AppFilter::selected && !allowed.contains(app.bundleID))
            continue;
        if (!needle.isEmpty() && !app.name.contains(needle, Qt::CaseInsensitive)
            && !app.bundleID.contains(needle, Qt::CaseInsensitive))
            continue;
        m_rows.push_back(&app);
    }
    endResetModel();
}

void AppsSettingsModel::rowsChanged(const QList<int> &roles)
{
    // An empty list has no first or last row to name: an index past its end is invalid.
    if (!m_rows.empty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), roles);
}

int AppsSettingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant AppsSettingsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const InstalledApp &app = *m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return app.name;
    case Qt::DecorationRole:
        return app.icon;
    case Qt::CheckStateRole:
        return m_controller.allowedAppIDs().contains(app.bundleID) ? Qt::Checked : Qt::Unchecked;
    case BundleIDRole:
        return app.bundleID;
    case IsRunningRole:
        return m_running.contains(app.bundleID);
    default:
        return {};
    }
}

bool AppsSettingsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !isListEnabled()
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    // Copied: unticking under "Selected" refilters and frees the row while this runs.
    const QString id = m_rows[size_t(index.row())]->bundleID;
    setAllowed(id, value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags AppsSettingsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (!isListEnabled())
        return Qt::ItemNeverHasChildren | Qt::ItemIsUserCheckable;
    return Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

} // namespace Lumivox
