#pragma once

// The small building blocks of the settings panes: a rounded card of rows, a row (title, optional
// detail line, its control at the trailing edge), a section of a form (a header above a card), a
// language chip, the wide capsule button that confirms a screen, and the Google key screen's icon.
// Each draws in the scheme of the Appearance it is given. Main thread.

#include "Features/Design/Appearance.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QTimer;
class QVBoxLayout;

namespace Lumivox {

class SettingsRow final : public QWidget
{
    Q_OBJECT
public:
    SettingsRow(const QString &label, const QString &detail, QWidget *value, bool showsDivider,
                const Appearance &appearance, QWidget *parent = nullptr);

    QLabel *label() const { return m_label; }
    QLabel *detail() const { return m_detail; }
    void setDetail(const QString &detail);
    /// Puts `widget` (a symbol) before the title and its detail, 10 points from them.
    void setLeading(QWidget *widget);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
    QLabel *m_label;
    QLabel *m_detail;
    QHBoxLayout *m_lead;
    bool m_showsDivider;
};

class SettingsCard final : public QFrame
{
    Q_OBJECT
public:
    explicit SettingsCard(const Appearance &appearance, QWidget *parent = nullptr);

    /// A row below the others, with a divider above it unless it is the first.
    SettingsRow *addRow(const QString &label, const QString &detail, QWidget *value);
    /// Any other content, full width, with a divider above it unless it is the first.
    void addWidget(QWidget *widget);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
    QVBoxLayout *m_rows;
};

/// The column a pane's form is laid out in: in a scroll area that fills `pane`, on the white
/// grouped-form background, its sections 18 points apart.
QVBoxLayout *formColumn(QWidget *pane);

/// A form section: an optional header above a card (or a stack of cards).
QWidget *formSection(const QString &header, QWidget *card);

/// The forms' controls, under the object names that tests and the accessibility tree find them by.
QCheckBox *switchBox(const char *name, QWidget *parent = nullptr);
QPushButton *button(const QString &title, const char *name);
QComboBox *picker(const char *name);

class LanguageChip final : public QLabel
{
    Q_OBJECT
public:
    LanguageChip(const QString &text, bool isMuted, const Appearance &appearance, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
};

/// A prominent capsule 280 points wide; while busy a spinner takes the title's place.
class PrimaryButton final : public QPushButton
{
    Q_OBJECT
public:
    PrimaryButton(const QString &title, const Appearance &appearance, QWidget *parent = nullptr);

    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    /// Dimmed and inert, without the style's disabled look.
    void setDimmed(bool dimmed);
    bool isDimmed() const { return m_dimmed; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    const Appearance &m_appearance;
    bool m_busy = false;
    bool m_dimmed = false;
    int m_phase = 0;
    QTimer *m_spinner;
};

class GoogleKeyIcon final : public QWidget
{
    Q_OBJECT
public:
    explicit GoogleKeyIcon(const Appearance &appearance, QWidget *parent = nullptr);
    void setSaved(bool saved);

    QSize sizeHint() const override { return {72, 72}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
    bool m_saved = false;
};

/// A symbol of the windows (see Symbols) in one colour, `side` points square; it only decorates.
class SymbolMark final : public QWidget
{
    Q_OBJECT
public:
    SymbolMark(QString name, QColor color, int side, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_name;
    QColor m_color;
};

/// The green of a granted permission and of everything being set up.
QColor grantedGreen();

/// A hairline rule across the full width, in the scheme's separator colour.
void paintDivider(QPainter &painter, const QRectF &line, const Appearance &appearance);

} // namespace Lumivox
