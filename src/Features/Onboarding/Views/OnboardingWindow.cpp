#include "Features/Onboarding/Views/OnboardingWindow.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/LanguagePicker/Views/LanguagePicker.h"
#include "Features/Onboarding/Views/OnboardingDemos.h"
#include "Features/Overlay/Views/TooltipText.h"
#include "Features/Settings/Views/PermissionRowView.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEasingCurve>
#include <QFontMetricsF>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <cmath>

namespace Lumivox {

namespace {

constexpr int fadeMs = 200;

QFont designFont(double points, QFont::Weight weight = QFont::Normal)
{
    return TooltipText::systemFont(points, weight);
}

// Brand::title sizes in typographic points; the design's 28 are screen points.
QFont pageTitleFont()
{
    return Brand::title(28 * 72.0 / 96.0);
}

QLabel *textLabel(const QString &text, const QFont &font, const Color &colour, const Appearance &appearance)
{
    QLabel *label = plainLabel(text);
    label->setFont(font);
    tone(label, colour, appearance);
    return label;
}

QWidget *formCard(SettingsCard *card)
{
    auto *holder = new QWidget;
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(36, 0, 36, 0);
    layout->addWidget(card);
    return holder;
}

} // namespace

/// One of the three numbered steps under the demonstration: its number on a disc, a title and a
/// detail. Active: a filled accent disc. Another step active: the title recedes.
class MiniStep final : public QWidget
{
public:
    MiniStep(int number, QString title, QString detail, const Appearance &appearance)
        : m_number(number)
        , m_title(std::move(title))
        , m_detail(std::move(detail))
        , m_appearance(appearance)
    {
        setObjectName(QStringLiteral("onboarding.miniStep%1").arg(number));
        setAccessibleName(m_title + QStringLiteral(". ") + m_detail);
        setFixedHeight(22 + 4 + 2 * int(std::ceil(QFontMetricsF(designFont(12)).height())) + 4);
    }

    void setActiveStep(std::optional<int> active)
    {
        if (active == m_active)
            return;
        m_active = active;
        update();
    }
    bool isActive() const { return m_active == m_number; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const ColorScheme scheme = m_appearance.scheme();
        const bool active = isActive();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF disc(width() / 2.0 - 11, 0, 22, 22);
        painter.setPen(Qt::NoPen);
        painter.setBrush((active ? Brand::accent() : Brand::highlighter()).resolved(scheme));
        painter.drawEllipse(disc);
        painter.setFont(designFont(12, QFont::Bold));
        painter.setPen(active ? QColor(Qt::white) : Brand::accent().resolved(scheme));
        painter.drawText(disc, Qt::AlignCenter, QString::number(m_number));
        const QFont titleFont = designFont(12, QFont::DemiBold);
        const double line = QFontMetricsF(titleFont).height();
        painter.setFont(titleFont);
        painter.setPen((active || !m_active ? Brand::primaryText() : Brand::secondaryText()).resolved(scheme));
        painter.drawText(QRectF(0, 26, width(), line), Qt::AlignHCenter | Qt::AlignTop, m_title);
        painter.setFont(designFont(12));
        painter.setPen(Brand::secondaryText().resolved(scheme));
        painter.drawText(QRectF(0, 30 + line, width(), line), Qt::AlignHCenter | Qt::AlignTop, m_detail);
    }

private:
    int m_number;
    QString m_title;
    QString m_detail;
    const Appearance &m_appearance;
    std::optional<int> m_active;
};

OnboardingWindow::OnboardingWindow(HoverTextController &controller, std::shared_ptr<Native::MotionPreference> motion,
                                   std::shared_ptr<Clock> clock, const Appearance &appearance, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
    , m_appearance(appearance)
    , m_model(new OnboardingModel(controller, std::move(motion), std::move(clock), this))
    , m_pages(new QStackedWidget)
    , m_dots(new PageDots(OnboardingModel::stepCount, appearance))
    , m_back(new QPushButton(QStringLiteral("Back")))
    , m_primary(new QPushButton)
    , m_fade(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("onboarding"));
    setWindowTitle(QStringLiteral("Welcome to Lumivox"));
    setFixedSize(contentWidth, contentHeight);
    windowBackground(this);

    m_pages->setObjectName(QStringLiteral("onboarding.pages"));
    m_pages->addWidget(howItWorksPage(appearance));
    m_pages->addWidget(wordFilterPage(appearance));
    m_pages->addWidget(permissionsPage(appearance));
    m_pages->addWidget(readyPage(appearance));

    auto *footer = new QWidget;
    footer->setObjectName(QStringLiteral("onboarding.footer"));
    auto *row = new QHBoxLayout(footer);
    row->setContentsMargins(20, 14, 20, 14);
    row->addWidget(m_dots);
    row->addStretch(1);
    m_back->setObjectName(QStringLiteral("onboarding.back"));
    m_primary->setObjectName(QStringLiteral("onboarding.primary"));
    for (QPushButton *button : {m_back, m_primary}) {
        button->setCursor(Qt::PointingHandCursor);
        button->setMinimumHeight(28);
        row->addWidget(button);
    }
    connect(m_back, &QPushButton::clicked, m_model, &OnboardingModel::back);
    connect(m_primary, &QPushButton::clicked, m_model, &OnboardingModel::primary);

    auto *rule = new QFrame;
    rule->setFixedHeight(1);
    rule->setObjectName(QStringLiteral("onboarding.divider"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_pages, 1);
    column->addWidget(rule);
    column->addWidget(footer);

    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->setDuration(fadeMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        if (auto *effect = qobject_cast<QGraphicsOpacityEffect *>(m_pages->graphicsEffect()))
            effect->setOpacity(value.toDouble());
    });
    // The effect renders the page offscreen: kept only while it fades.
    connect(m_fade, &QVariantAnimation::finished, this, [this] { m_pages->setGraphicsEffect(nullptr); });

    connect(m_model, &OnboardingModel::stepChanged, this, &OnboardingWindow::showStep);
    connect(m_model, &OnboardingModel::demoPhaseChanged, this, [this] { showDemoPhase(true); });
    connect(m_model, &OnboardingModel::reducesMotionChanged, this, [this] { showDemoPhase(false); });
    connect(&controller, &HoverTextController::hasAccessibilityPermissionChanged, this,
            &OnboardingWindow::showPermissions);
    connect(&controller, &HoverTextController::hasScreenRecordingPermissionChanged, this,
            &OnboardingWindow::showPermissions);
    connect(&appearance, &Appearance::isDarkChanged, this, &OnboardingWindow::applyScheme);
    applyScheme();
    showDemoPhase(false);
    showPermissions();
    m_pages->setCurrentIndex(m_model->stepIndex());
    showStep();
    m_fade->stop();
    m_pages->setGraphicsEffect(nullptr);
}

OnboardingWindow::~OnboardingWindow() = default;

bool OnboardingWindow::isFading() const
{
    return m_fade->state() == QAbstractAnimation::Running;
}

QWidget *OnboardingWindow::stepHeader(const QString &title, const QString &message, const Appearance &appearance)
{
    auto *header = new QWidget;
    auto *column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    QLabel *step = textLabel(m_model->stepLabel().toUpper(), Brand::label(), Brand::secondaryText(), appearance);
    QFont tracked = step->font();
    tracked.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    step->setFont(tracked);
    step->setContentsMargins(0, 0, 0, 2);
    m_stepLabels.push_back(step);
    column->addWidget(step);
    column->addWidget(textLabel(title, pageTitleFont(), Brand::primaryText(), appearance));
    QLabel *text = textLabel(message, designFont(13), Brand::secondaryText(), appearance);
    text->setWordWrap(true);
    column->addWidget(text);
    // Every page's heading is centred, as the first page's is.
    for (QLabel *label : header->findChildren<QLabel *>())
        label->setAlignment(Qt::AlignHCenter);
    return header;
}

QVBoxLayout *OnboardingWindow::headedPage(QWidget *page, const char *name, const QString &title, const QString &message,
                                          int spacing, const Appearance &appearance)
{
    page->setObjectName(QString::fromLatin1(name));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 30, 0, 16);
    column->setSpacing(spacing);
    // A page with little on it sits in the middle of the window rather than leaving its lower half
    // empty; the page adds the matching stretch below its content.
    column->addStretch(1);
    QWidget *header = stepHeader(title, message, appearance);
    header->setContentsMargins(36, 0, 36, 0);
    column->addWidget(header);
    return column;
}

QWidget *OnboardingWindow::howItWorksPage(const Appearance &appearance)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("onboarding.howItWorks"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(36, 22, 36, 16);
    column->setSpacing(18);
    QWidget *header =
        stepHeader(QStringLiteral("How Lumivox works"),
                   QStringLiteral("Translate any word on screen without leaving what you’re doing."), appearance);
    column->addWidget(header);
    m_hoverDemo = new HoverDemo(appearance);
    column->addWidget(m_hoverDemo);
    auto *steps = new QHBoxLayout;
    steps->setSpacing(14);
    const std::array<std::pair<QString, QString>, 3> texts {
        std::pair {QStringLiteral("Hold Alt"), QStringLiteral("Or choose another key")},
        std::pair {QStringLiteral("Point at a word"), QStringLiteral("Works in any application")},
        std::pair {QStringLiteral("Read it"), QStringLiteral("Let go to hide it")}};
    for (int i = 0; i < 3; ++i) {
        m_miniSteps[size_t(i)] = new MiniStep(i + 1, texts[size_t(i)].first, texts[size_t(i)].second, appearance);
        steps->addWidget(m_miniSteps[size_t(i)], 1);
    }
    column->addLayout(steps);
    column->addStretch(1);
    return page;
}

QWidget *OnboardingWindow::wordFilterPage(const Appearance &appearance)
{
    HoverTextController &controller = m_model->controller();
    auto *page = new QWidget;
    QVBoxLayout *column = headedPage(
        page, "onboarding.wordFilter", QStringLiteral("Smart Word Filter"),
        QStringLiteral("Names, code, links and numbers get no tooltip, so you only see translations that help."), 0,
        appearance);
    auto *demo = new QWidget;
    auto *demoColumn = new QVBoxLayout(demo);
    demoColumn->setContentsMargins(36, 16, 36, 16);
    demoColumn->setSpacing(10);
    m_filterDemo = new WordFilterDemo(appearance);
    demoColumn->addWidget(m_filterDemo);
    demoColumn->addWidget(new FilterLegend(appearance));
    column->addWidget(demo);
    auto *card = new SettingsCard(appearance);
    QCheckBox *skip = switchBox("onboarding.skipNonWords");
    bindProperty(&controller, "skipNonWords", skip, "checked");
    card->addRow(QStringLiteral("Dictionary words only"),
                 QStringLiteral("Skips names, code, links and numbers. Checked on this computer."), skip);
    column->addWidget(formCard(card));
    column->addStretch(1);
    // The picture follows the setting, whoever changes it.
    const auto follow = [this, &controller] { m_filterDemo->setFiltering(controller.skipNonWords()); };
    connect(&controller, &HoverTextController::skipNonWordsChanged, m_filterDemo, follow);
    follow();
    return page;
}

QWidget *OnboardingWindow::permissionsPage(const Appearance &appearance)
{
    HoverTextController &controller = m_model->controller();
    auto *page = new QWidget;
    QVBoxLayout *column = headedPage(
        page, "onboarding.permissions", QStringLiteral("Allow access"),
        QStringLiteral(
            "Lumivox reads the text under your pointer. Only the word being translated leaves your computer."),
        18, appearance);
    auto *card = new SettingsCard(appearance);
    m_accessibility = new PermissionRowView(
        PermissionRowView::accessibility(PermissionRowView::Place::onboarding),
        [&controller] { controller.requestAccessibilityPermission(); }, appearance, false);
    m_accessibility->setObjectName(QStringLiteral("onboarding.accessibility"));
    m_screen = new PermissionRowView(
        PermissionRowView::screenCapture(PermissionRowView::Place::onboarding),
        [&controller] { controller.requestScreenRecordingPermission(); }, appearance, false);
    m_screen->setObjectName(QStringLiteral("onboarding.screenRecording"));
    card->addWidget(m_accessibility);
    card->addWidget(m_screen);
    auto *form = new QWidget;
    auto *formColumn = new QVBoxLayout(form);
    formColumn->setContentsMargins(36, 0, 36, 0);
    formColumn->setSpacing(8);
    formColumn->addWidget(card);
    QLabel *note = textLabel(QStringLiteral("You can change these later in Settings › General."), designFont(11),
                             Brand::secondaryText(), appearance);
    note->setWordWrap(true);
    note->setContentsMargins(4, 0, 4, 0);
    formColumn->addWidget(note);
    column->addWidget(form);
    column->addStretch(1);
    return page;
}

QWidget *OnboardingWindow::readyPage(const Appearance &appearance)
{
    HoverTextController &controller = m_model->controller();
    auto *page = new QWidget;
    QVBoxLayout *column =
        headedPage(page, "onboarding.ready", QStringLiteral("You’re all set"),
                   QStringLiteral("Pick your defaults. Everything is also in Settings and the tray."), 18, appearance);
    auto *card = new SettingsCard(appearance);
    auto *language = new LanguagePicker(QString());
    language->setObjectName(QStringLiteral("onboarding.targetLanguage"));
    bindProperty(&controller, "targetLanguage", language, "selection");
    card->addRow(QStringLiteral("Translate to"), {}, language);
    QComboBox *mode = holdKeyMenu(&controller);
    mode->setObjectName(QStringLiteral("onboarding.holdKey"));
    card->addRow(QStringLiteral("Translate when"), {}, mode);
    QCheckBox *login = switchBox("onboarding.openAtLogin");
    bindProperty(&controller, "launchAtLogin", login, "checked");
    card->addRow(QStringLiteral("Open at login"), {}, login);
    column->addWidget(formCard(card));
    column->addStretch(1);
    return page;
}

void OnboardingWindow::showStep()
{
    const int index = m_model->stepIndex();
    for (QLabel *label : m_stepLabels)
        label->setText(m_model->stepLabel().toUpper());
    if (m_pages->currentIndex() != index) {
        m_pages->setCurrentIndex(index);
        m_fade->stop();
        if (!m_model->reducesMotion() && isVisible()) {
            auto *effect = new QGraphicsOpacityEffect;
            effect->setOpacity(0);
            m_pages->setGraphicsEffect(effect);
            m_fade->start();
        } else {
            m_pages->setGraphicsEffect(nullptr);
        }
    }
    m_dots->setCurrent(index, !m_model->reducesMotion() && isVisible());
    m_back->setVisible(m_model->showsBack());
    m_primary->setText(m_model->primaryTitle());
    // Return belongs to the main button; the focus stays off the others so that it never lands on Back.
    m_primary->setFocus();
}

void OnboardingWindow::showDemoPhase(bool animated)
{
    m_hoverDemo->setPhase(m_model->shownDemoPhase(), animated && !m_model->reducesMotion());
    for (MiniStep *step : m_miniSteps)
        step->setActiveStep(m_model->activeMiniStep());
}

void OnboardingWindow::showPermissions()
{
    const HoverTextController &controller = m_model->controller();
    m_accessibility->setGranted(controller.hasAccessibilityPermission());
    m_screen->setGranted(controller.hasScreenRecordingPermission());
}

void OnboardingWindow::applyScheme()
{
    const ColorScheme scheme = m_appearance.scheme();
    setPalette(Appearance::palette(scheme));
    const QString accent = Brand::accent().resolved(scheme).name(QColor::HexArgb);
    const QString rule = Brand::rule().resolved(scheme).name(QColor::HexArgb);
    const QString face = Brand::controlBackground().resolved(scheme).name(QColor::HexArgb);
    const QString text = Brand::primaryText().resolved(scheme).name(QColor::HexArgb);
    m_primary->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; "
                                            "border-radius: 14px; padding: 5px 18px; font-weight: 600; }"
                                            "QPushButton:pressed { background: %2; }"
                                            "QPushButton:focus { outline: none; }")
                                 .arg(accent, Brand::accent().resolved(scheme).darker(120).name(QColor::HexArgb)));
    m_back->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3; "
                                         "border-radius: 14px; padding: 4px 16px; }"
                                         "QPushButton:pressed { background: %3; }")
                              .arg(face, text, rule));
    if (auto *divider = findChild<QFrame *>(QStringLiteral("onboarding.divider")))
        divider->setStyleSheet(
            QStringLiteral("background: %1;").arg(Brand::separator().resolved(scheme).name(QColor::HexArgb)));
    update();
}

void OnboardingWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->appear();
    m_primary->setFocus();
}

void OnboardingWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nothing runs for a window nobody sees: the poll, the demonstration, a fade half done.
    m_model->disappear();
    m_fade->stop();
    m_pages->setGraphicsEffect(nullptr);
    m_hoverDemo->setPhase(m_hoverDemo->phase(), false);
    m_dots->setCurrent(m_dots->current(), false);
}

void OnboardingWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_primary->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace Lumivox
