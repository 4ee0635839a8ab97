#include "Features/LanguagePicker/LanguagePickerListModel.h"

#include "Shared/Text/TextUtils.h"

namespace Lumivox {

LanguagePickerListModel::LanguagePickerListModel(LanguagePickerModel *picker, QObject *parent)
    : QAbstractListModel(parent)
    , m_picker(picker)
{
    rebuild();
    connect(picker, &LanguagePickerModel::sectionsChanged, this, [this] {
        beginResetModel();
        rebuild();
        endResetModel();
    });
    connect(picker, &LanguagePickerModel::selectedIndexChanged, this, &LanguagePickerListModel::marksChanged);
    connect(picker, &LanguagePickerModel::currentIDChanged, this, &LanguagePickerListModel::marksChanged);
    connect(picker, &LanguagePickerModel::hasGoogleKeyChanged, this, &LanguagePickerListModel::marksChanged);
}

void LanguagePickerListModel::rebuild()
{
    m_items.clear();
    m_itemOfRow.clear();
    if (!m_picker)
        return;
    const auto &sections = m_picker->sections();
    int row = 0;
    for (size_t s = 0; s < sections.size(); ++s) {
        if (sections[s].title)
            m_items.push_back({int(s), -1, -1});
        for (size_t l = 0; l < sections[s].languages.size(); ++l) {
            m_itemOfRow.push_back(int(m_items.size()));
            m_items.push_back({int(s), int(l), row++});
        }
    }
}

void LanguagePickerListModel::marksChanged()
{
    // The marks of any row may change together (the highlight leaves one row for another, a key
    // unlocks many), and the list is short: one notice over all of it.
    if (!m_items.empty())
        emit dataChanged(index(0), index(int(m_items.size()) - 1),
                         {IsCurrentRole, IsSelectedRole, IsLockedRole, ToneRole, Qt::AccessibleTextRole});
}

const Language *LanguagePickerListModel::languageOf(const Item &item) const
{
    if (!m_picker || item.language < 0)
        return nullptr;
    return &m_picker->sections()[size_t(item.section)].languages[size_t(item.language)];
}

int LanguagePickerListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant LanguagePickerListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= int(m_items.size()) || !m_picker)
        return {};
    const Item &item = m_items[size_t(index.row())];
    const Language *language = languageOf(item);

    if (!language) {
        const auto &title = m_picker->sections()[size_t(item.section)].title;
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return Text::uppercased(title.value_or(QString()));
        case IsHeaderRole:
            return true;
        case IsFirstHeaderRole:
            return index.row() == 0;
        case ToneRole:
            return QVariant::fromValue(Tone::secondary);
        case RowRole:
            return -1;
        case CodeRole:
            return QString();
        case IsCurrentRole:
        case IsSelectedRole:
        case IsLockedRole:
            return false;
        default:
            return {};
        }
    }

    const auto selected = m_picker->selectedLanguage();
    const bool isSelected = selected && selected->id == language->id;
    const bool isLocked = m_picker->isLocked(*language);
    switch (role) {
    case Qt::DisplayRole:
        return language->name;
    case NativeNameRole:
        return language->nativeName != language->name ? language->nativeName : QString();
    case CodeRole:
        return language->id;
    case IsHeaderRole:
    case IsFirstHeaderRole:
        return false;
    case IsCurrentRole:
        return language->id == m_picker->currentID();
    case IsSelectedRole:
        return isSelected;
    case IsLockedRole:
        return isLocked;
    case RowRole:
        return item.row;
    case ToneRole:
        return QVariant::fromValue(isSelected ? Tone::onAccent : isLocked ? Tone::secondary : Tone::primary);
    case Qt::AccessibleTextRole: {
        QString text = language->name;
        if (language->nativeName != language->name)
            text += QStringLiteral(", ") + language->nativeName;
        if (isLocked)
            text += QStringLiteral(", Needs a Google key");
        return text;
    }
    default:
        return {};
    }
}

Qt::ItemFlags LanguagePickerListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= int(m_items.size()))
        return Qt::NoItemFlags;
    // Rows are chosen by a click, never selected in the list's own sense: the highlight is the
    // picker model's, which the keys move while the search field keeps the focus.
    return m_items[size_t(index.row())].language < 0 ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QHash<int, QByteArray> LanguagePickerListModel::roleNames() const
{
    auto names = QAbstractListModel::roleNames();
    names.insert(CodeRole, "code");
    names.insert(IsHeaderRole, "isHeader");
    names.insert(NativeNameRole, "nativeName");
    names.insert(IsCurrentRole, "isCurrent");
    names.insert(IsSelectedRole, "isSelected");
    names.insert(IsLockedRole, "isLocked");
    names.insert(RowRole, "row");
    names.insert(IsFirstHeaderRole, "isFirstHeader");
    names.insert(ToneRole, "tone");
    return names;
}

QModelIndex LanguagePickerListModel::indexOfRow(int row) const
{
    if (row < 0 || row >= int(m_itemOfRow.size()))
        return {};
    return index(m_itemOfRow[size_t(row)]);
}

} // namespace Lumivox
