#include "Features/Shell/Views/NoticeDialog.h"

#include "Features/Design/Styling.h"
#include "Features/Settings/Views/SettingsStyle.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

QLabel *selectable(QLabel *label, const QString &name)
{
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

} // namespace

NoticeDialog::NoticeDialog(const NoticeTexts::Notice &notice, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(notice.name);
    setWindowTitle(notice.title);
    setAttribute(Qt::WA_DeleteOnClose);
    windowBackground(this);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 22, 24, 18);
    column->setSpacing(10);
    column->setSizeConstraint(QLayout::SetFixedSize);

    auto *top = new QHBoxLayout;
    top->setSpacing(14);
    int textWidth = width - 48;
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull()) {
        auto *picture = new QLabel;
        picture->setPixmap(icon.pixmap(QSize(48, 48), devicePixelRatioF()));
        top->addWidget(picture, 0, Qt::AlignTop);
        textWidth -= 48 + top->spacing();
    }
    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    QLabel *title = selectable(plainLabel(notice.title), notice.name + QStringLiteral(".title"));
    QFont bold = title->font();
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    bold.setWeight(QFont::Bold);
    title->setFont(bold);
    title->setFixedWidth(textWidth);
    texts->addWidget(title);
    QLabel *text = selectable(plainLabel(notice.text), notice.name + QStringLiteral(".text"));
    text->setFixedWidth(textWidth);
    texts->addWidget(text);
    for (qsizetype i = 0; i < notice.steps.size(); ++i) {
        auto *row = new QHBoxLayout;
        row->setSpacing(6);
        QLabel *number = plainLabel(QString::number(i + 1) + QLatin1Char('.'));
        number->setFixedWidth(number->fontMetrics().horizontalAdvance(QStringLiteral("00.")));
        QLabel *step = selectable(plainLabel(notice.steps[i]), notice.name + QStringLiteral(".step%1").arg(i + 1));
        step->setFixedWidth(textWidth - number->width() - row->spacing());
        row->addWidget(number, 0, Qt::AlignTop);
        row->addWidget(step, 1);
        texts->addLayout(row);
    }
    top->addLayout(texts, 1);
    column->addLayout(top);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(notice.name + QStringLiteral(".ok"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    column->addWidget(buttons);
}

NoticeDialog *NoticeDialog::present(const NoticeTexts::Notice &notice)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<NoticeDialog *>(window); open && open->objectName() == notice.name)
            open->close();
    }
    auto *dialog = new NoticeDialog(notice);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

} // namespace Lumivox
