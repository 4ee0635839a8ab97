#pragma once

// What the coordinator needs of the floating language picker: ready it, show it at the pointer,
// dismiss it, and hear what the user chose. The application wires the real panel to it.

#include "Models/Language.h"

#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>

namespace Lumivox {

class CoordinatorPicker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isVisible() const = 0;
    /// Readies the list before each showing: the current code, the recent codes (newest first) and
    /// whether a Google key is stored (languages that need one are locked without it).
    virtual void prepare(const QString &currentID, const QStringList &recentIDs, bool hasGoogleKey) = 0;
    /// The keyring's answer changed what the last prepare() said; the locks follow at once.
    virtual void setHasGoogleKey(bool hasGoogleKey) = 0;
    /// The language needs a Google key and the picker was told there is none.
    virtual bool isLocked(const Language &language) const = 0;
    /// Shows the picker near a point (bottom-left-origin screen coordinates).
    virtual void show(QPointF near) = 0;
    /// Hides it; harmless when hidden.
    virtual void dismiss() = 0;

signals:
    void chosen(const Lumivox::Language &language);
    void cancelled();
};

} // namespace Lumivox
