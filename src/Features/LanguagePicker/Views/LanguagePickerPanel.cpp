#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"

#include "Features/LanguagePicker/LanguagePickerPlacement.h"
#include "Features/LanguagePicker/Views/LanguagePickerView.h"
#include "Native/Input/PointerGrab.h"
#include "Native/Services.h"
#include "Native/Windows/Compositing.h"
#include "Shared/Platform/ScreenGeometry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <QWindow>

namespace Lumivox {

namespace {

Q_LOGGING_CATEGORY(lcPicker, "app.lumivox.Picker")

} // namespace

LanguagePickerPanel::LanguagePickerPanel(Appearance &appearance, QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , m_appearance(appearance)
    , m_model(new LanguagePickerModel(this))
{
    setObjectName(QStringLiteral("languagePicker.panel"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Languages"));
    resize(fallbackWidth, fallbackHeight);
    m_focusCheck.setSingleShot(true);
    m_focusCheck.setInterval(0);
    connect(&m_focusCheck, &QTimer::timeout, this, &LanguagePickerPanel::checkFocus);
    m_grabRetry.setSingleShot(true);
    connect(&m_grabRetry, &QTimer::timeout, this, &LanguagePickerPanel::holdInput);
    // The first showing would otherwise wait for the view and for the fonts of a dozen scripts
    // (the native names), several times the time of every later one; they are made as soon as the
    // program is idle instead.
    QTimer::singleShot(0, this, &LanguagePickerPanel::warmUp);
}

LanguagePickerPanel::~LanguagePickerPanel()
{
    // A hide from the base destructor must not come back into dismiss() half-destroyed.
    m_isDismissing = true;
}

void LanguagePickerPanel::makeView()
{
    if (m_view)
        return;
    // Translucency is chosen once, before the window exists: without a compositing manager the
    // corners would show black, so the rounded shape is cut out of an opaque window instead.
    m_translucent = Native::service<Native::Compositing>()->isActive();
    setAttribute(Qt::WA_TranslucentBackground, m_translucent);
    m_view = new LanguagePickerView(m_model, m_appearance, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->searchField()->installEventFilter(this);
}

void LanguagePickerPanel::warmUp()
{
    if (m_view || isVisible())
        return;
    makeView();
    // Drawing a sample list once off screen loads the fonts its rows need; the panel's own model
    // is left alone, as its owner may have prepared it already.
    LanguagePickerModel sample;
    sample.prepare(QString(), {}, true);
    LanguagePickerView view(&sample, m_appearance);
    view.resize(view.sizeHint());
    QImage scratch(view.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    view.render(&painter);
}

void LanguagePickerPanel::showNear(QPointF point)
{
    m_focusCheck.stop();
    m_grabRetry.stop();
    m_grabAttempts = 0;
    m_holdsInput = false;
    m_isDismissing = false;

    makeView();
    QSize size = m_view->sizeHint();
    if (size.width() < 50 || size.height() < 50)
        size = QSize(fallbackWidth, fallbackHeight);
    const QRectF frame =
        LanguagePickerPlacement::frame(point, QSizeF(size), ScreenGeometry::screens(), ScreenGeometry::mainScreen());
    setGeometry(ScreenGeometry::qtRectFromCocoa(frame).toRect());
    if (!m_translucent) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), LanguagePickerView::cornerRadius,
                             LanguagePickerView::cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
    QWidget::setVisible(true);
    raise();
    // No activation: the keyboard grab brings the keys here, and the application in front keeps
    // the input focus, so it has it back the moment the picker closes.
    m_view->present();
    // The window system may hand the focus over only after this turn.
    m_focusCheck.start();
    holdInput();
}

void LanguagePickerPanel::dismiss()
{
    if (m_isDismissing)
        return;
    m_isDismissing = true;
    m_focusCheck.stop();
    releaseInput();
    QWidget::setVisible(false);
    m_isDismissing = false;
    emit dismissed();
}

void LanguagePickerPanel::setVisible(bool visible)
{
    // Only dismiss() hides the panel, so that its owner hears of every way it goes away (a click
    // outside, another pop-up closing it, a hide from elsewhere).
    if (!visible && isVisible() && !m_isDismissing) {
        dismiss();
        return;
    }
    QWidget::setVisible(visible);
}

void LanguagePickerPanel::closeEvent(QCloseEvent *event)
{
    event->ignore();
    // The toolkit closes its pop-ups when the program loses the activation. The picker never takes
    // it (the grab brings the keys), but the X server reports the end of an earlier showing's grab
    // as such a loss a moment later, by then perhaps during the next showing. While the picker
    // holds keyboard and pointer, or is still taking them, no other window can have been chosen:
    // such a close is not the user's, and the picker stays.
    if (!m_isPressed && QGuiApplication::applicationState() != Qt::ApplicationActive
        && (m_holdsInput || m_grabRetry.isActive()))
        return;
    // Otherwise it is a click outside.
    if (!m_isDismissing)
        dismiss();
}

bool LanguagePickerPanel::isToggleKey(const QKeyEvent &event)
{
    const auto mods =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return event.key() == Qt::Key_L && mods == (Qt::AltModifier | Qt::MetaModifier);
}

bool LanguagePickerPanel::handleKey(const QKeyEvent &event)
{
    if (isToggleKey(event)) {
        dismiss();
        return true;
    }
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Used even with nothing highlighted, so the key does nothing rather than reach the field.
        m_model->chooseSelected();
        return true;
    case Qt::Key_Escape:
        m_model->cancel();
        return true;
    case Qt::Key_Down:
        m_model->moveSelection(1);
        return true;
    case Qt::Key_Up:
        m_model->moveSelection(-1);
        return true;
    default:
        return false;
    }
}

bool LanguagePickerPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (m_view && watched == m_view->searchField()) {
        if (event->type() == QEvent::KeyPress && handleKey(*static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::FocusOut && isVisible() && !m_focusCheck.isActive())
            m_focusCheck.start();
    }
    return QWidget::eventFilter(watched, event);
}

bool LanguagePickerPanel::event(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const QScopedValueRollback pressed(m_isPressed, true);
        return QWidget::event(event);
    }
    if (event->type() == QEvent::WindowDeactivate && isVisible() && !m_focusCheck.isActive())
        m_focusCheck.start();
    return QWidget::event(event);
}

void LanguagePickerPanel::checkFocus()
{
    if (!isVisible() || !m_view)
        return;
    // A pop-up of our own above the panel (the search field's context menu) keeps its focus.
    if (QWidget *popup = QApplication::activePopupWidget(); popup && popup != this)
        return;
    if (!m_view->searchField()->hasFocus())
        m_view->searchField()->setFocus(Qt::PopupFocusReason);
    holdInput();
}

void LanguagePickerPanel::holdInput()
{
    m_grabRetry.stop();
    if (!isVisible())
        return;
    // A pop-up of our own above the panel (the search field's context menu) holds them meanwhile.
    if (QWidget *popup = QApplication::activePopupWidget(); popup && popup != this)
        return;
    const auto pointer = Native::service<Native::PointerGrab>();
    // Held: watched, since the toolkit takes a refused pointer grab for granted (see PointerGrab),
    // and a grab refused while another client held the pointer for a moment is asked for again.
    if (m_holdsInput && pointer->isHeld() != false) {
        m_grabRetry.start(grabWatchInterval);
        return;
    }
    // Unmapped windows cannot grab either: the first attempts may come before the server shows it.
    QWindow *window = windowHandle();
    m_holdsInput = window && window->setKeyboardGrabEnabled(true) && window->setMouseGrabEnabled(true)
        && pointer->isHeld() != false;
    if (m_holdsInput) {
        m_grabAttempts = 0;
        m_grabRetry.start(grabWatchInterval);
    } else if (++m_grabAttempts < maxGrabAttempts) {
        m_grabRetry.start(grabRetryInterval);
    } else {
        qCWarning(lcPicker) << "another application holds the keyboard or pointer; the picker takes no keys";
    }
}

void LanguagePickerPanel::releaseInput()
{
    m_grabRetry.stop();
    m_grabAttempts = 0;
    m_holdsInput = false;
    // Hiding releases them too; released first, the application in front has its keys back at once.
    if (QWindow *window = windowHandle(); window && isVisible()) {
        window->setKeyboardGrabEnabled(false);
        window->setMouseGrabEnabled(false);
    }
}

} // namespace Lumivox
