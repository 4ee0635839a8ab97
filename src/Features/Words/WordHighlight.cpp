#include "Features/Words/WordHighlight.h"

#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/MarkedText.h"

namespace Lumivox::WordHighlight {

StyledText sentence(const QString &sentence, const QString &word, std::optional<qint64> offset)
{
    StyledText styled(sentence);
    std::optional<qsizetype> utf16Offset;
    if (offset)
        utf16Offset = qsizetype(*offset);
    if (const auto range = GlanceTranslator::wordRange(word, sentence, utf16Offset))
        styled.setInlinePresentationIntent(*range, InlinePresentationIntent::stronglyEmphasized);
    return styled;
}

StyledText translation(const QString &translation, const QString &meaning)
{
    return MarkedText::remarked(StyledText(translation), meaning);
}

QString html(const StyledText &text, const QColor &markBackground)
{
    QString open = QStringLiteral("<b>");
    QString close = QStringLiteral("</b>");
    if (markBackground.isValid()) {
        open = QStringLiteral("<span style=\"background-color:rgba(%1,%2,%3,%4)\"><b>")
                   .arg(markBackground.red())
                   .arg(markBackground.green())
                   .arg(markBackground.blue())
                   .arg(markBackground.alpha());
        close = QStringLiteral("</b></span>");
    }
    QString out;
    for (const StyledText::Run &run : text.runs()) {
        const QString piece = text.text(run).toHtmlEscaped();
        out += run.attributes.isStronglyEmphasized() ? open + piece + close : piece;
    }
    return out;
}

} // namespace Lumivox::WordHighlight
