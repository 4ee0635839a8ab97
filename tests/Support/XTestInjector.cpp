#include "Support/XTestInjector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <thread>

namespace Lumivox::Testing {

XTestInjector::XTestInjector()
    : m_display(XOpenDisplay(nullptr))
{ }

XTestInjector::~XTestInjector()
{
    if (m_display)
        XCloseDisplay(m_display);
}

void XTestInjector::moveTo(int x, int y)
{
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    XSync(m_display, False);
}

void XTestInjector::key(KeySymbol symbol, bool down)
{
    XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, symbol), down, CurrentTime);
    XSync(m_display, False);
}

void XTestInjector::tap(KeySymbol symbol)
{
    key(symbol, true);
    key(symbol, false);
}

void XTestInjector::chord(std::initializer_list<KeySymbol> keys, std::chrono::milliseconds hold)
{
    for (KeySymbol symbol : keys)
        key(symbol, true);
    std::this_thread::sleep_for(hold);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        key(*it, false);
}

void XTestInjector::type(const std::string &text)
{
    for (char c : text)
        tap(XStringToKeysym(std::string(1, c).c_str()));
}

void XTestInjector::click()
{
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
}

unsigned long XTestInjector::inputFocus() const
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus;
}

int XTestInjector::screenHeightPixels() const
{
    return DisplayHeight(m_display, DefaultScreen(m_display));
}

QPoint XTestInjector::pointer() const
{
    Window root = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int state = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y, &windowX, &windowY, &state);
    return QPoint(x, y);
}

} // namespace Lumivox::Testing
