#pragma once

// A small window that tells the user something the desktop has no page for: the program's icon, a
// title, what happened, and numbered steps, with one OK button (Return or Escape). Its text can be
// selected, so a command in a step can be copied. It keeps no state and deletes itself when closed.

#include "Features/Shell/NoticeTexts.h"

#include <QDialog>

namespace Lumivox {

class NoticeDialog final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int width = 520;

    explicit NoticeDialog(const NoticeTexts::Notice &notice, QWidget *parent = nullptr);

    /// Shows a new dialog and brings it forward; one of the same name still open is closed first, so
    /// a second click shows the latest words once.
    static NoticeDialog *present(const NoticeTexts::Notice &notice);
};

} // namespace Lumivox
