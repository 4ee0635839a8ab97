#pragma once

// The floating language picker: a small pop-up beside the pointer that changes the target
// language from anywhere. X11 has no way to give a window the keyboard without activating its
// program, so the panel is a pop-up window that grabs keyboard and pointer while shown: typing reaches
// its search field whatever application is in front, and a click anywhere outside closes it. While
// it holds the grab the global hot key cannot fire, so the panel closes itself on that combination.
// The X server refuses a grab while another client holds the keyboard or pointer, which right after
// the hot key is our own hot key's grab (held until its last key is up), so the panel asks again
// until it holds both, and while shown it checks that it still does.
//
// The owner prepares the model before each showing, sets the model's onChoose and onCancel, and
// hears every dismissal through dismissed().

#include "Features/LanguagePicker/LanguagePickerModel.h"

#include <QPointF>
#include <QTimer>
#include <QWidget>

class QKeyEvent;

namespace Lumivox {

class Appearance;
class LanguagePickerView;

class LanguagePickerPanel : public QWidget
{
    Q_OBJECT

public:
    /// The size used when the view cannot tell its own.
    static constexpr int fallbackWidth = 300;
    static constexpr int fallbackHeight = 360;

    explicit LanguagePickerPanel(Appearance &appearance, QWidget *parent = nullptr);
    ~LanguagePickerPanel() override;

    LanguagePickerModel *model() const { return m_model; }
    /// Made when the program is first idle after the panel, or by the first showing; none before.
    LanguagePickerView *view() const { return m_view; }

    /// Shows the picker beside `point`, a position in the program's bottom-left-origin points (the
    /// pointer's location), inside the visible frame of the screen that holds it. The model must
    /// have been prepared.
    void showNear(QPointF point);
    /// Hides the picker, then reports dismissed(). Safe when already hidden (it reports again) and
    /// while a dismissal runs (it returns at once).
    void dismiss();

    /// Super+Alt+L, which also opens the picker.
    static bool isToggleKey(const QKeyEvent &event);

signals:
    /// After every dismissal: the owner returns the program to the tray when no window of its own
    /// is left.
    void dismissed();

public:
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    static constexpr int grabRetryInterval = 20; // ms
    static constexpr int grabWatchInterval = 250; // ms
    // 5 s of asking: longer than anyone holds a hot key; a keyboard held for good (a screen
    // locker) is then left alone.
    static constexpr int maxGrabAttempts = 250;

    void makeView();
    void warmUp();
    bool handleKey(const QKeyEvent &event);
    void checkFocus();
    void holdInput();
    void releaseInput();

    Appearance &m_appearance;
    LanguagePickerModel *m_model;
    LanguagePickerView *m_view = nullptr;
    QTimer m_focusCheck;
    QTimer m_grabRetry;
    int m_grabAttempts = 0;
    bool m_holdsInput = false;
    bool m_isPressed = false; // a mouse press is being handled
    bool m_isDismissing = false;
    bool m_translucent = false;
};

} // namespace Lumivox
