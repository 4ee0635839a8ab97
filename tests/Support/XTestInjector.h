#pragma once

// Input for system tests, sent through XTest on a connection of its own: it goes through the X
// server's input path like a person's keys and clicks, so it produces raw events and honours grabs
// (a warp or a synthetic event would do neither).

#include <QPoint>

#include <chrono>
#include <initializer_list>
#include <string>

typedef struct _XDisplay Display;

namespace Lumivox::Testing {

class XTestInjector
{
public:
    /// An X keysym (XK_Return, XK_Shift_L, …), spelled without including Xlib here.
    using KeySymbol = unsigned long;

    XTestInjector();
    ~XTestInjector();
    XTestInjector(const XTestInjector &) = delete;
    XTestInjector &operator=(const XTestInjector &) = delete;

    /// False when no X display could be opened.
    bool ok() const { return m_display != nullptr; }

    /// Absolute motion, in device pixels.
    void moveTo(int x, int y);
    void key(KeySymbol symbol, bool down);
    void tap(KeySymbol symbol);
    /// Presses the keys one after another, holds them for `hold` and lets go in reverse order, as a
    /// person presses a shortcut (Super, Alt, L).
    void chord(std::initializer_list<KeySymbol> keys, std::chrono::milliseconds hold);
    /// Taps the key of each character (letters and digits).
    void type(const std::string &text);
    /// Presses and releases the left button where the pointer is.
    void click();
    /// The window that has the X input focus (1 for PointerRoot).
    unsigned long inputFocus() const;
    int screenHeightPixels() const;
    /// Where the pointer is, in root-window pixels.
    QPoint pointer() const;

private:
    Display *m_display;
};

} // namespace Lumivox::Testing
