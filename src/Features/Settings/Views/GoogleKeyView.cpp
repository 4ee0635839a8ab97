#include "Features/Settings/Views/GoogleKeyView.h"

#include "Features/Design/Brand.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>

namespace Lumivox {

namespace {

QLabel *centred(QLabel *label, int maxWidth)
{
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    // A fixed width, so the layout knows the wrapped height before it places the rest.
    label->setFixedWidth(maxWidth);
    return label;
}

QPushButton *linkButton(const QString &title, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

QUrl GoogleKeyView::keyHelpLink()
{
    return QUrl(QStringLiteral("https://cloud.google.com/translate/docs/setup"));
}

QUrl GoogleKeyView::cloudConsoleLink()
{
    return QUrl(QStringLiteral("https://console.cloud.google.com/apis/api/translate.googleapis.com/metrics"));
}

GoogleKeyView::GoogleKeyView(const Appearance &appearance, std::function<void()> onBack, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_model(new GoogleKeyModel(this))
    , m_screens(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("googleKey"));
    auto *back = linkButton(QStringLiteral("‹ General"), this);
    back->setObjectName(QStringLiteral("googleKey.back"));
    tone(back, Brand::accent(), appearance);
    connect(back, &QPushButton::clicked, this, [onBack] {
        if (onBack)
            onBack();
    });

    m_screens->addWidget(makeEntryScreen());
    m_screens->addWidget(makeSavedScreen());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addWidget(back, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_screens, 1);

    connect(m_model, &GoogleKeyModel::apiKeyChanged, this, &GoogleKeyView::showState);
    connect(m_model, &GoogleKeyModel::savedKeyChanged, this, &GoogleKeyView::showState);
    connect(m_model, &GoogleKeyModel::errorMessageChanged, this, &GoogleKeyView::showState);
    connect(m_model, &GoogleKeyModel::isBusyChanged, this, &GoogleKeyView::showState);
    showState();
}

QWidget *GoogleKeyView::makeEntryScreen()
{
    auto *screen = new QWidget;
    auto *column = new QVBoxLayout(screen);
    column->setSpacing(6);
    column->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_entryIcon = new GoogleKeyIcon(m_appearance, screen);
    column->addWidget(m_entryIcon, 0, Qt::AlignHCenter);
    QLabel *title = plainLabel(QStringLiteral("Unlock more languages"), screen);
    title->setFont(Brand::title(24));
    title->setContentsMargins(0, 8, 0, 0);
    column->addWidget(title, 0, Qt::AlignHCenter);
    QLabel *body = centred(plainLabel(QStringLiteral("These translate through Google using your own key. The first "
                                                     "500,000 characters each month are free."),
                                      screen),
                           360);
    tone(body, Brand::secondaryText(), m_appearance);
    column->addWidget(body, 0, Qt::AlignHCenter);

    auto *chips = new QHBoxLayout;
    chips->setSpacing(6);
    chips->setContentsMargins(0, 6, 0, 0);
    for (const QString &name : m_model->chipTexts())
        chips->addWidget(new LanguageChip(name, false, m_appearance, screen));
    if (const QString more = m_model->moreChipText(); !more.isEmpty())
        chips->addWidget(new LanguageChip(more, true, m_appearance, screen));
    column->addLayout(chips);
    column->setAlignment(chips, Qt::AlignHCenter);

    auto *fieldRow = new QWidget(screen);
    fieldRow->setFixedWidth(280);
    auto *field = new QHBoxLayout(fieldRow);
    field->setContentsMargins(0, 16, 0, 0);
    field->setSpacing(6);
    m_field = new QLineEdit(fieldRow);
    m_field->setObjectName(QStringLiteral("googleKey.field"));
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setPlaceholderText(QStringLiteral("Paste your API key"));
    m_field->setAccessibleName(QStringLiteral("Google API key"));
    field->addWidget(m_field, 1);
    m_paste = new QPushButton(QStringLiteral("Paste"), fieldRow);
    m_paste->setObjectName(QStringLiteral("googleKey.paste"));
    field->addWidget(m_paste);
    column->addWidget(fieldRow, 0, Qt::AlignHCenter);

    QLabel *kept = plainLabel(QStringLiteral("Kept in your keyring. Sent only to Google."), screen);
    kept->setFont(captionFont());
    tone(kept, Brand::secondaryText(), m_appearance);
    column->addWidget(kept, 0, Qt::AlignHCenter);

    m_entryError = centred(plainLabel({}, screen), 320);
    m_entryError->setObjectName(QStringLiteral("googleKey.error"));
    m_entryError->setFont(captionFont());
    tone(m_entryError, Color(0xd70015, 0xff6961), m_appearance);
    column->addWidget(m_entryError, 0, Qt::AlignHCenter);

    m_save = new PrimaryButton(QStringLiteral("Save Key"), m_appearance, screen);
    m_save->setObjectName(QStringLiteral("googleKey.save"));
    column->addSpacing(10);
    column->addWidget(m_save, 0, Qt::AlignHCenter);

    auto *help = linkButton(QStringLiteral("How do I get a key? ›"), screen);
    help->setObjectName(QStringLiteral("googleKey.help"));
    tone(help, Brand::accent(), m_appearance);
    column->addSpacing(8);
    column->addWidget(help, 0, Qt::AlignHCenter);

    connect(m_field, &QLineEdit::textEdited, m_model, &GoogleKeyModel::setApiKey);
    connect(m_field, &QLineEdit::returnPressed, m_model, [this] { [[maybe_unused]] auto t = m_model->saveKey(); });
    connect(m_save, &QPushButton::clicked, m_model, [this] { [[maybe_unused]] auto t = m_model->saveKey(); });
    connect(m_paste, &QPushButton::clicked, m_model, [this] {
        const QClipboard *clipboard = QGuiApplication::clipboard();
        const QString text = clipboard ? clipboard->text() : QString();
        m_model->pasteKey(text.isEmpty() ? std::nullopt : std::optional<QString>(text));
    });
    connect(help, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(keyHelpLink()); });
    return screen;
}

QWidget *GoogleKeyView::makeSavedScreen()
{
    auto *screen = new QWidget;
    auto *column = new QVBoxLayout(screen);
    column->setSpacing(6);
    column->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_savedIcon = new GoogleKeyIcon(m_appearance, screen);
    m_savedIcon->setSaved(true);
    column->addWidget(m_savedIcon, 0, Qt::AlignHCenter);
    QLabel *title = plainLabel(QStringLiteral("All languages ready"), screen);
    title->setFont(Brand::title(24));
    title->setContentsMargins(0, 8, 0, 0);
    column->addWidget(title, 0, Qt::AlignHCenter);
    QLabel *line = centred(plainLabel(m_model->savedLine(), screen), 360);
    tone(line, Brand::secondaryText(), m_appearance);
    column->addWidget(line, 0, Qt::AlignHCenter);

    auto *card = new SettingsCard(m_appearance, screen);
    card->setFixedWidth(320);
    auto *keyValue = new QWidget;
    auto *keyRow = new QHBoxLayout(keyValue);
    keyRow->setContentsMargins(0, 0, 0, 0);
    keyRow->setSpacing(7);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QLabel *dots = plainLabel(QStringLiteral("•••• ••••"), keyValue);
    dots->setFont(mono);
    tone(dots, Brand::tertiaryText(), m_appearance);
    m_keyTail = plainLabel({}, keyValue);
    m_keyTail->setObjectName(QStringLiteral("googleKey.tail"));
    mono.setWeight(QFont::DemiBold);
    m_keyTail->setFont(mono);
    keyRow->addWidget(dots);
    keyRow->addWidget(m_keyTail);
    card->addRow(QStringLiteral("Google key"), {}, keyValue);
    QLabel *storage = plainLabel(QStringLiteral("Keyring"));
    tone(storage, Brand::secondaryText(), m_appearance);
    card->addRow(QStringLiteral("Storage"), {}, storage);
    auto *console = linkButton(QStringLiteral("Google Cloud ›"), nullptr);
    console->setObjectName(QStringLiteral("googleKey.console"));
    tone(console, Brand::accent(), m_appearance);
    connect(console, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(cloudConsoleLink()); });
    card->addRow(QStringLiteral("Usage and billing"), {}, console);
    column->addSpacing(14);
    column->addWidget(card, 0, Qt::AlignHCenter);

    m_savedError = centred(plainLabel({}, screen), 320);
    m_savedError->setObjectName(QStringLiteral("googleKey.removeError"));
    m_savedError->setFont(captionFont());
    tone(m_savedError, Color(0xd70015, 0xff6961), m_appearance);
    column->addWidget(m_savedError, 0, Qt::AlignHCenter);

    m_remove = linkButton(QStringLiteral("Remove Key"), screen);
    m_remove->setObjectName(QStringLiteral("googleKey.remove"));
    tone(m_remove, Color(0xd70015, 0xff6961), m_appearance);
    column->addSpacing(10);
    column->addWidget(m_remove, 0, Qt::AlignHCenter);
    connect(m_remove, &QPushButton::clicked, m_model, [this] { [[maybe_unused]] auto t = m_model->removeKey(); });
    return screen;
}

void GoogleKeyView::showState()
{
    const bool saved = m_model->hasSavedKey();
    m_screens->setCurrentIndex(saved ? 1 : 0);
    if (m_field->text() != m_model->apiKey())
        m_field->setText(m_model->apiKey());
    m_paste->setVisible(m_model->showsPaste());
    m_save->setDimmed(!m_model->canSave() && !m_model->isBusy());
    m_save->setBusy(m_model->isBusy() && !saved);
    m_entryError->setText(saved ? QString() : m_model->errorMessage());
    m_entryError->setVisible(!m_entryError->text().isEmpty());
    m_savedError->setText(saved ? m_model->errorMessage() : QString());
    m_savedError->setVisible(!m_savedError->text().isEmpty());
    m_keyTail->setText(m_model->maskedKeyTail());
    m_keyTail->parentWidget()->setAccessibleName(m_model->maskedKeyDescription());
    m_remove->setEnabled(!m_model->isBusy());
}

} // namespace Lumivox
