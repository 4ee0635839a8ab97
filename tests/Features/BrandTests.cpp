#include "Features/Design/Appearance.h"
#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

QPalette palette(QColor window, QColor text)
{
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Highlight, QColor(0x1E, 0x66, 0xD0));
    return p;
}

const QPalette light = palette(QColor(0xEF, 0xEF, 0xEF), QColor(0x20, 0x20, 0x20));
const QPalette dark = palette(QColor(0x30, 0x30, 0x30), QColor(0xE0, 0xE0, 0xE0));

class BrandTest : public ::testing::Test
{
protected:
    void SetUp() override { QApplication::setPalette(light); }
    void TearDown() override { QApplication::setPalette(light); }
};

} // namespace

TEST_F(BrandTest, ColoursAndFontsHoldTheirValues)
{
    EXPECT_EQ(Brand::rule().resolved(ColorScheme::light), QColor(0xE5, 0xE5, 0xEA));
    EXPECT_EQ(Brand::rule().resolved(ColorScheme::dark), QColor(0x3A, 0x3A, 0x3C));
    EXPECT_EQ(Brand::tooltip().resolved(ColorScheme::light), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(Brand::tooltip().resolved(ColorScheme::dark), QColor(0x2C, 0x2C, 0x2E));
    EXPECT_EQ(Color(0xAB123456, 0).resolved(ColorScheme::light), QColor(0x12, 0x34, 0x56));
    EXPECT_NEAR(Brand::highlighter().resolved(ColorScheme::light).alphaF(), 0.16, 0.01);
    EXPECT_NEAR(Brand::highlighter().resolved(ColorScheme::dark).alphaF(), 0.38, 0.01);
    EXPECT_EQ(Brand::highlighter().resolved(ColorScheme::dark).rgb(), QColor(0x1E, 0x66, 0xD0).rgb());

    // The palette's own text is the label colour only in the palette's scheme; against the dark
    // surfaces white stands in, or the demonstration would vanish.
    EXPECT_EQ(Brand::ignored().resolved(ColorScheme::light).rgb(), QColor(0x20, 0x20, 0x20).rgb());
    EXPECT_NEAR(Brand::ignored().resolved(ColorScheme::light).alphaF(), 0.08, 0.01);
    EXPECT_EQ(Brand::ignored().resolved(ColorScheme::dark).rgb(), QColor(Qt::white).rgb());

    EXPECT_EQ(Brand::label().pointSizeF(), 11);
    EXPECT_EQ(Brand::label().weight(), QFont::Medium);
    EXPECT_TRUE(QFontInfo(Brand::label()).fixedPitch());
    EXPECT_EQ(Brand::title(24).pointSizeF(), 24);
    EXPECT_TRUE(QFontInfo(Brand::title(24)).family().contains(QLatin1String("Serif")));
}

TEST_F(BrandTest, PaletteSchemeReachesObserversAndRecoloursSurfaces)
{
    Appearance &appearance = Appearance::shared();
    ASSERT_FALSE(appearance.isDark());
    QSignalSpy spy(&appearance, &Appearance::isDarkChanged);

    QLabel surface(QStringLiteral("preview"));
    surface.resize(120, 60);
    previewSurface(&surface, appearance);
    previewSurface(&surface, appearance);
    EXPECT_EQ(surface.contentsMargins(), QMargins(10, 10, 10, 10));
    auto outline = [&] { return QColor(surface.grab().toImage().pixel(0, 30)); };
    EXPECT_EQ(outline(), Brand::rule().resolved(ColorScheme::light));

    QApplication::setPalette(dark);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(outline(), Brand::rule().resolved(ColorScheme::dark));
    QApplication::setPalette(palette(Qt::black, Qt::white)); // still dark: no change to announce
    QApplication::setPalette(light);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toBool(), true);
    EXPECT_EQ(spy.at(1).at(0).toBool(), false);
}

TEST_F(BrandTest, HoveredWordKeepsItsPaddingEitherWay)
{
    const Appearance appearance {std::nullopt};
    QLabel word(QStringLiteral("word"));
    word.setContentsMargins(1, 1, 1, 1);
    hoveredWord(&word, false, appearance);
    EXPECT_EQ(word.contentsMargins(), QMargins(3, 1, 3, 1));
    const QRgb plain = word.grab().toImage().pixel(1, word.height() / 2);
    hoveredWord(&word, true, appearance);
    hoveredWord(&word, true, appearance);
    EXPECT_EQ(word.contentsMargins(), QMargins(3, 1, 3, 1));
    EXPECT_NE(word.grab().toImage().pixel(1, word.height() / 2), plain);
}

// The protocol of the desktop's setting (the value's extra wrapping, late answers, wrong types)
// over a private bus with a portal object of the test's own; the real portal runs in the system
// tests.
namespace {

class TestPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    std::optional<uint> answer; // none: the question waits for answerLater()
    QList<QDBusMessage> waiting;

    void change(const QVariant &value)
    {
        emit SettingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                            QDBusVariant(value));
    }
    void answerLater(QDBusConnection bus, uint value)
    {
        for (const QDBusMessage &question : std::exchange(waiting, {}))
            bus.send(question.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(value)))));
    }

public slots:
    QDBusVariant Read(const QString &, const QString &)
    {
        if (answer)
            return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(*answer))));
        setDelayedReply(true);
        waiting << message();
        return {};
    }

signals:
    void SettingChanged(const QString &group, const QString &key, const QDBusVariant &value);
};

// A dbus-daemon of the test's own, without service folders, so nothing on it may start the
// machine's own portal. Its connections are closed however the test ends.
class PrivateBus
{
public:
    PrivateBus()
    {
        QFile config(m_folder.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write("<busconfig><type>session</type><listen>unix:dir=" + m_folder.path().toUtf8()
                     + "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (Testing::spinUntil([&] { return m_daemon.canReadLine(); }))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString &name : std::as_const(m_names))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    bool isUp() const { return !m_address.isEmpty(); }
    QDBusConnection connect(const QString &name)
    {
        m_names << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

} // namespace

TEST_F(BrandTest, TheDesktopsPreferenceOutweighsThePalette)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isUp()) << "dbus-daemon did not start";
    QDBusConnection service = bus.connect(QStringLiteral("portal"));
    TestPortal portal;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    portal.answer = 1;
    Appearance first(bus.connect(QStringLiteral("first")));
    EXPECT_FALSE(first.isDark()) << "the palette decides until the portal answers";
    ASSERT_TRUE(Testing::spinUntil([&] { return first.isDark(); }));
    portal.change(QVariant::fromValue(2u));
    ASSERT_TRUE(Testing::spinUntil([&] { return !first.isDark(); }));
    QApplication::setPalette(dark);
    EXPECT_FALSE(first.isDark()) << "a stated light preference outweighs a dark palette";
    portal.change(QVariant(QStringLiteral("prefer-dark"))); // not the setting's type
    portal.change(QVariant::fromValue(0u)); // no preference: the palette again
    ASSERT_TRUE(Testing::spinUntil([&] { return first.isDark(); }));

    // A change signalled while the question is under way is newer than its late answer.
    QApplication::setPalette(light);
    portal.answer.reset();
    Appearance second(bus.connect(QStringLiteral("second")));
    ASSERT_TRUE(Testing::spinUntil([&] { return portal.waiting.size() == 1; }));
    portal.change(QVariant::fromValue(1u));
    ASSERT_TRUE(Testing::spinUntil([&] { return second.isDark(); }));
    portal.answerLater(service, 2);
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(second.isDark());
}

#include "BrandTests.moc"
