#pragma once

// The picker's sections as one list for the view: a header item before each titled section, then
// one item per language. Headers can be neither selected nor chosen. Every mark the view draws is a
// role here, so what a row shows is decided (and tested) without painting it.

#include "Features/LanguagePicker/LanguagePickerModel.h"

#include <QAbstractListModel>
#include <QPointer>

namespace Lumivox {

class LanguagePickerListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        /// The language code; empty on a header.
        CodeRole = Qt::UserRole + 1,
        IsHeaderRole,
        /// The native name, only where it differs from the English one.
        NativeNameRole,
        /// The current target language: the check mark.
        IsCurrentRole,
        /// The highlighted row: accent background, white text and the Return mark.
        IsSelectedRole,
        /// Needs a Google key that is not stored: the lock and muted text.
        IsLockedRole,
        /// The index into the picker model's rows; -1 on a header.
        RowRole,
        /// The header above the first section sits closer to the list's top than the later ones.
        IsFirstHeaderRole,
        /// How strongly the text is drawn: a Tone.
        ToneRole,
    };

    /// Text colour of an item, resolved by the view for the scheme it draws in.
    enum class Tone { primary, secondary, onAccent };
    Q_ENUM(Tone)

    explicit LanguagePickerListModel(LanguagePickerModel *picker, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// The item of a picker row (an index into LanguagePickerModel::rows()); invalid when out of range.
    QModelIndex indexOfRow(int row) const;

private:
    struct Item
    {
        int section = 0;
        /// -1 for the section's header.
        int language = -1;
        int row = -1;
    };

    void rebuild();
    void marksChanged();
    const Language *languageOf(const Item &item) const;

    QPointer<LanguagePickerModel> m_picker;
    std::vector<Item> m_items;
    std::vector<int> m_itemOfRow;
};

} // namespace Lumivox
