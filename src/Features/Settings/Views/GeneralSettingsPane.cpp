#include "Features/Settings/Views/GeneralSettingsPane.h"

#include "Features/Design/Styling.h"
#include "Features/LanguagePicker/Views/LanguagePicker.h"
#include "Features/Settings/Views/PermissionRowView.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

class GlobeTile final : public QWidget
{
public:
    explicit GlobeTile(const Appearance &appearance)
        : m_appearance(appearance)
    {
        setFixedSize(32, 32);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Base));
        p.drawRoundedRect(QRectF(rect()), 9, 9);
        p.setPen(QPen(Brand::accent().resolved(m_appearance.scheme()), 1.4));
        p.setBrush(Qt::NoBrush);
        const QRectF globe(8, 8, 16, 16);
        p.drawEllipse(globe);
        p.drawEllipse(QRectF(12.5, 8, 7, 16));
        p.drawLine(QPointF(8, 16), QPointF(24, 16));
    }

private:
    const Appearance &m_appearance;
};

} // namespace

GeneralSettingsPane::GeneralSettingsPane(HoverTextController &controller, SettingsUpdater *updater,
                                         const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_model(new GeneralSettingsModel(controller, updater, this))
{
    setObjectName(QStringLiteral("general"));
    QVBoxLayout *column = formColumn(this);

    // Translation
    auto *translation = new SettingsCard(appearance);
    auto *language = new LanguagePicker(QString());
    language->setObjectName(QStringLiteral("general.targetLanguage"));
    bindProperty(&controller, "targetLanguage", language, "selection");
    translation->addRow(QStringLiteral("Translate to"), {}, language);
    QComboBox *mode = holdKeyMenu(&controller);
    mode->setObjectName(QStringLiteral("general.holdKey"));
    translation->addRow(QStringLiteral("Translate when"), {}, mode);
    auto *skip = switchBox("general.skipNonWords");
    bindProperty(&controller, "skipNonWords", skip, "checked");
    translation->addRow(QStringLiteral("Dictionary words only"),
                        QStringLiteral("Skips names, code, links and numbers. Checked on this computer."), skip);
    column->addWidget(formSection(QStringLiteral("Translation"), translation));

    // Startup
    auto *startup = new SettingsCard(appearance);
    auto *login = switchBox("general.openAtLogin");
    bindProperty(&controller, "launchAtLogin", login, "checked");
    // Without a tray in the panel, how to come back to these settings is said where starting is.
    SettingsRow *atLogin = startup->addRow(QStringLiteral("Open at login"), {}, login);
    atLogin->detail()->setObjectName(QStringLiteral("general.noTray"));
    const auto followTray = [this, atLogin] {
        atLogin->setDetail(m_model->showsNoTrayNote() ? GeneralSettingsModel::noTrayNote() : QString());
    };
    connect(m_model, &GeneralSettingsModel::showsNoTrayNoteChanged, atLogin, followTray);
    followTray();
    auto *updates = switchBox("general.checkForUpdates");
    bindProperty(m_model, "checksForUpdates", updates, "checked");
    startup->addRow(QStringLiteral("Check for updates automatically"), {}, updates);
    column->addWidget(formSection(QStringLiteral("Startup"), startup));

    // Permissions
    auto *permissions = new QWidget;
    auto *permissionCards = new QVBoxLayout(permissions);
    permissionCards->setContentsMargins(0, 0, 0, 0);
    permissionCards->setSpacing(0);
    auto *allSet = new SettingsCard(appearance);
    auto *review = button(QStringLiteral("Review…"), "general.reviewPermissions");
    connect(review, &QPushButton::clicked, m_model, &GeneralSettingsModel::reviewPermissions);
    SettingsRow *allSetRow = allSet->addRow(
        QStringLiteral("All set"), QStringLiteral("Lumivox can read words on screen, in images and PDFs."), review);
    auto *check = new SymbolMark(QStringLiteral("checkmark.circle.fill"), grantedGreen(), 20);
    check->setObjectName(QStringLiteral("general.allSetCheck"));
    allSetRow->setLeading(check);
    auto *rows = new SettingsCard(appearance);
    m_accessibility = new PermissionRowView(
        PermissionRowView::accessibility(), [&controller] { controller.requestAccessibilityPermission(); }, appearance,
        false);
    m_screenRecording = new PermissionRowView(
        PermissionRowView::screenCapture(), [&controller] { controller.requestScreenRecordingPermission(); },
        appearance, false);
    rows->addWidget(m_accessibility);
    rows->addWidget(m_screenRecording);
    permissionCards->addWidget(allSet);
    permissionCards->addWidget(rows);
    m_allSet = allSet;
    m_permissionRows = rows;
    column->addWidget(formSection(QStringLiteral("Permissions"), permissions));
    connect(m_model, &GeneralSettingsModel::showsPermissionRowsChanged, this, &GeneralSettingsPane::showPermissions);
    connect(&controller, &HoverTextController::hasAccessibilityPermissionChanged, this,
            &GeneralSettingsPane::showPermissions);
    connect(&controller, &HoverTextController::hasScreenRecordingPermissionChanged, this,
            &GeneralSettingsPane::showPermissions);

    // Help
    auto *help = new SettingsCard(appearance);
    auto *guide = button(QStringLiteral("Show…"), "general.welcomeGuide");
    connect(guide, &QPushButton::clicked, &controller, &HoverTextController::openOnboarding);
    help->addRow(QStringLiteral("Welcome guide"), {}, guide);
    auto *words = button(QStringLiteral("Open…"), "general.openWords");
    connect(words, &QPushButton::clicked, &controller, &HoverTextController::openWordsSettings);
    help->addRow(QStringLiteral("Saved words and history"),
                 QStringLiteral("What Lumivox keeps on this computer is in Settings › Words."), words);
    column->addWidget(formSection(QStringLiteral("Help"), help));

    // Google Translate
    auto *google = new SettingsCard(appearance);
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 10, 0, 10);
    line->setSpacing(12);
    line->addWidget(new GlobeTile(appearance));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    QLabel *title = plainLabel(QStringLiteral("Google Translate (BYOK)"));
    QFont medium = title->font();
    medium.setWeight(QFont::Medium);
    title->setFont(medium);
    m_googleSubtitle = plainLabel({});
    m_googleSubtitle->setObjectName(QStringLiteral("general.googleSubtitle"));
    m_googleSubtitle->setFont(captionFont());
    m_googleSubtitle->setWordWrap(true);
    tone(m_googleSubtitle, Brand::secondaryText(), appearance);
    texts->addWidget(title);
    texts->addWidget(m_googleSubtitle);
    line->addLayout(texts, 1);
    m_googleButton = button({}, "general.googleKey");
    connect(m_googleButton, &QPushButton::clicked, m_model, &GeneralSettingsModel::openGoogleKey);
    line->addWidget(m_googleButton);
    google->addWidget(row);
    column->addWidget(formSection({}, google));
    connect(m_model, &GeneralSettingsModel::hasStoredGoogleKeyChanged, this, &GeneralSettingsPane::showGoogleRow);
    column->addStretch(1);
    showPermissions();
    showGoogleRow();
}

void GeneralSettingsPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->appear();
}

void GeneralSettingsPane::showPermissions()
{
    const bool rows = m_model->showsPermissionRows();
    m_allSet->setVisible(!rows);
    m_permissionRows->setVisible(rows);
    m_accessibility->setGranted(m_model->controller().hasAccessibilityPermission());
    m_screenRecording->setGranted(m_model->controller().hasScreenRecordingPermission());
}

void GeneralSettingsPane::showGoogleRow()
{
    m_googleSubtitle->setText(m_model->googleRowSubtitle());
    m_googleButton->setText(m_model->googleRowButtonTitle());
}

} // namespace Lumivox
