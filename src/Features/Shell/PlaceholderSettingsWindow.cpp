#include "Features/Shell/PlaceholderSettingsWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace Lumivox {

PlaceholderSettingsWindow::PlaceholderSettingsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("lumivox.settings"));
    setWindowTitle(QStringLiteral("Lumivox Settings"));
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(QStringLiteral("Settings are not available in this build yet."), this);
    text->setObjectName(QStringLiteral("placeholderText"));
    layout->addWidget(text);
    resize(520, 200);
}

} // namespace Lumivox
