#include "Features/Settings/Views/AboutSettingsPane.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace Lumivox {

AboutSettingsPane::AboutSettingsPane(AboutSettingsModel *model, const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_model(model)
    , m_definition(new QWidget)
    , m_check(new QPushButton(QStringLiteral("Check for Updates…")))
{
    setObjectName(QStringLiteral("about"));
    m_model->setParent(this);
    windowBackground(this);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(40, 28, 40, 40);
    column->setSpacing(0);

    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("about.icon"));
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        icon->setPixmap(appIcon.pixmap(88, 88));
    icon->setFixedSize(88, 88);
    column->addWidget(icon, 0, Qt::AlignHCenter);

    QLabel *name = plainLabel(QStringLiteral("Lumivox"));
    name->setFont(Brand::title(34));
    name->setContentsMargins(0, 6, 0, 0);
    column->addWidget(name, 0, Qt::AlignHCenter);

    QLabel *version = plainLabel(m_model->versionText().toUpper());
    version->setObjectName(QStringLiteral("about.version"));
    brandLabel(version);
    tone(version, Brand::secondaryText(), appearance);
    version->setContentsMargins(0, 2, 0, 0);
    column->addWidget(version, 0, Qt::AlignHCenter);

    // The definition box, ruled above and below.
    auto *box = new QVBoxLayout(m_definition);
    box->setContentsMargins(0, 14, 0, 14);
    box->setSpacing(4);
    auto *headRow = new QHBoxLayout;
    headRow->setSpacing(6);
    QLabel *head = plainLabel(QStringLiteral("lu·mi·vox"));
    head->setFont(Brand::title(17));
    QLabel *say = plainLabel(QStringLiteral("/ˈluː.mɪ.vɒks/ · noun"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(12 * 0.75);
    say->setFont(mono);
    tone(say, Brand::secondaryText(), appearance);
    headRow->addStretch(1);
    headRow->addWidget(head, 0, Qt::AlignBaseline);
    headRow->addWidget(say, 0, Qt::AlignBaseline);
    headRow->addStretch(1);
    box->addLayout(headRow);
    QLabel *meaning = plainLabel(QStringLiteral("A word’s meaning, shown right where you found it."));
    QFont serif = Brand::title(15);
    serif.setItalic(true);
    meaning->setFont(serif);
    // Wraps within the box rather than being cut at its edge.
    meaning->setWordWrap(true);
    meaning->setAlignment(Qt::AlignHCenter);
    tone(meaning, Brand::secondaryText(), appearance);
    box->addWidget(meaning);
    column->addSpacing(20);
    column->addWidget(m_definition);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    m_check->setObjectName(QStringLiteral("about.checkForUpdates"));
    auto *report = new QPushButton(QStringLiteral("Report a Problem…"));
    report->setObjectName(QStringLiteral("about.reportProblem"));
    buttons->addStretch(1);
    buttons->addWidget(m_check);
    buttons->addWidget(report);
    buttons->addStretch(1);
    column->addSpacing(20);
    column->addLayout(buttons);
    column->addStretch(1);
    // The small print stands apart from the buttons however tall the window is.
    column->addSpacing(18);

    QLabel *copyright = plainLabel(m_model->copyright());
    copyright->setObjectName(QStringLiteral("about.copyright"));
    copyright->setFont(captionFont());
    copyright->setWordWrap(true);
    copyright->setAlignment(Qt::AlignHCenter);
    // The tertiary tone all but vanishes at caption size on the window background.
    tone(copyright, Brand::secondaryText(), appearance);
    column->addWidget(copyright);

    connect(m_check, &QPushButton::clicked, m_model, &AboutSettingsModel::checkForUpdates);
    connect(report, &QPushButton::clicked, m_model, &AboutSettingsModel::reportProblem);
    const auto showCanCheck = [this] { m_check->setEnabled(m_model->canCheckForUpdates()); };
    connect(m_model, &AboutSettingsModel::canCheckForUpdatesChanged, this, showCanCheck);
    showCanCheck();
}

void AboutSettingsPane::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    const QRect box = m_definition->geometry();
    const QColor rule = Brand::rule().resolved(m_appearance.scheme());
    painter.fillRect(QRect(box.left(), box.top(), box.width(), 1), rule);
    painter.fillRect(QRect(box.left(), box.bottom(), box.width(), 1), rule);
}

} // namespace Lumivox
