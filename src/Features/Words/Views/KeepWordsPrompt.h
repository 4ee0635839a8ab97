#pragma once

// The one-time question whether Lumivox may keep the words the user looks up: what the word book
// keeps, that it stays on this computer, which key saves a word, and "Not Now" (Escape) or
// "Keep Words" (Return). It keeps no state; the window's owner applies the answer and closes it.

#include "Features/Design/Appearance.h"
#include "Models/TooltipKeyLabels.h"

#include <QWidget>

#include <functional>

namespace Lumivox {

class KeepWordsPrompt final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int width = 420;

    /// `answer` gets false for "Not Now", true for "Keep Words".
    KeepWordsPrompt(const TooltipKeyLabels &keys, std::function<void(bool)> answer, const Appearance &appearance,
                    QWidget *parent = nullptr);

    static QString title() { return QStringLiteral("Keep the words you look up?"); }
    static QString explanation();
    /// "Press S while holding Alt to save a word for review."; without a hold key, no "while holding".
    static QString saveLine(const TooltipKeyLabels &keys);

private:
    std::function<void(bool)> m_answer;
};

} // namespace Lumivox
