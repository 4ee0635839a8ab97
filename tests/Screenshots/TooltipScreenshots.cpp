// Renders every state of the tooltip to tooltip-<state>[-dark].png: loading, a plain meaning, a
// glance with its grammar chip and marked sentence, an idiom, the saved header, each footer, the
// arrow on either edge, the opaque bubble of a screen without a compositor, and long meanings in
// Sinhala, Arabic and Chinese in their own fonts. Each is drawn on a plain backdrop of the scheme's
// window colour, as it would stand on a desktop.

#include "Features/Design/FormStyle.h"
#include "Features/Overlay/Views/OverlayTooltip.h"
#include "Models/TriggerMode.h"

#include <QApplication>
#include <QDir>
#include <QPainter>

#include <cstdio>

using namespace Lumivox;

namespace {

StyledText marked(const QString &text, const QString &word)
{
    StyledText styled(text);
    const qsizetype at = text.indexOf(word);
    if (at >= 0)
        styled.setInlinePresentationIntent({at, word.size()},
                                           InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized));
    return styled;
}

WordStatus status(TriggerMode mode = TriggerMode::option)
{
    WordStatus s;
    s.lookups = 2;
    s.showsKeyHints = true;
    s.suggestAfter = 3;
    s.keys = mode.tooltipKeyLabels();
    s.hasKeys = true;
    return s;
}

Glance ranGlance()
{
    Glance g;
    g.meaning = QStringLiteral("corrió");
    g.grammar = EnglishGrammar::Line {QStringLiteral("verb"), QStringLiteral("past of run")};
    g.sentence =
        marked(QStringLiteral("Corrió a la estación para tomar el último tren de la noche."), QStringLiteral("Corrió"));
    return g;
}

struct Shot
{
    QString name;
    TooltipContent content;
    ArrowEdge edge = ArrowEdge::bottom;
    bool opaque = false;
};

std::vector<Shot> shots()
{
    std::vector<Shot> out;
    TooltipContent loading;
    loading.isLoading = true;
    out.push_back({QStringLiteral("loading"), loading});

    TooltipContent meaning;
    meaning.text = QStringLiteral("casa");
    meaning.status = status();
    meaning.status->lookups = 1;
    meaning.status->showsKeyHints = false;
    out.push_back({QStringLiteral("meaning"), meaning});

    TooltipContent glance;
    glance.text = QStringLiteral("corrió");
    glance.glance = ranGlance();
    glance.status = status();
    out.push_back({QStringLiteral("glance"), glance});
    out.push_back({QStringLiteral("glance-arrow-top"), glance, ArrowEdge::top});
    out.push_back({QStringLiteral("glance-opaque"), glance, ArrowEdge::bottom, true});

    TooltipContent idiom;
    Glance ice;
    ice.meaning = QStringLiteral("romper el hielo");
    ice.grammar =
        EnglishGrammar::Line {QStringLiteral("idiom"), QStringLiteral("break the ice = start a conversation")};
    ice.sentence = StyledText(QStringLiteral("Él contó un chiste para empezar a hablar con todos."));
    idiom.glance = ice;
    idiom.status = status();
    out.push_back({QStringLiteral("idiom"), idiom});

    TooltipContent bare;
    Glance word;
    word.meaning = QStringLiteral("biblioteca");
    bare.glance = word;
    out.push_back({QStringLiteral("glance-meaning-only"), bare});

    TooltipContent saved = glance;
    saved.status->isSaved = true;
    saved.status->met = 3;
    out.push_back({QStringLiteral("saved-3rd"), saved});
    saved.status->met = 1;
    out.push_back({QStringLiteral("saved-1st"), saved});

    auto footer = [&](const QString &name, WordStatus s) {
        TooltipContent c = glance;
        c.status = s;
        out.push_back({QStringLiteral("footer-") + name, c});
    };
    footer(QStringLiteral("keys-alt"), status());
    footer(QStringLiteral("keys-super"), status(TriggerMode::command));
    footer(QStringLiteral("keys-always"), status(TriggerMode::always));
    WordStatus suggest = status();
    suggest.lookups = 4;
    footer(QStringLiteral("suggest"), suggest);
    WordStatus flash = status();
    flash.flash = WordStatus::Flash::saved(1);
    footer(QStringLiteral("flash-saved-1"), flash);
    flash.flash = WordStatus::Flash::saved(12);
    footer(QStringLiteral("flash-saved-12"), flash);
    flash.flash = WordStatus::Flash::removed();
    footer(QStringLiteral("flash-removed"), flash);
    flash.flash = WordStatus::Flash::copied();
    footer(QStringLiteral("flash-copied"), flash);

    auto longMeaning = [&](const QString &name, const QString &text, const QString &font) {
        TooltipContent c;
        c.text = text;
        c.fontName = font;
        c.status = status();
        out.push_back({QStringLiteral("long-") + name, c});
    };
    longMeaning(QStringLiteral("sinhala"),
                QStringLiteral("අපි අද උදේ පාසලට ගියේ නැහැ, මොකද වැස්ස ගොඩක් වැඩි නිසා පාරවල් වතුරෙන් යට වෙලා "
                               "තිබුණා, බස් රථ පවා ධාවනය වුණේ නැහැ"),
                QStringLiteral("Noto Sans Sinhala"));
    longMeaning(QStringLiteral("arabic"),
                QStringLiteral("ذهبنا إلى السوق في الصباح الباكر لشراء الخضروات والفواكه الطازجة قبل أن يزدحم "
                               "المكان بالناس ويصبح الحر شديدا"),
                QStringLiteral("Noto Sans Arabic"));
    longMeaning(QStringLiteral("chinese"),
                QStringLiteral("我们今天早上没有去学校，因为雨下得太大了，路上全是积水，公交车也停运了，"
                               "老师只好通知大家在家里自习。"),
                QStringLiteral("Noto Sans CJK SC"));
    longMeaning(QStringLiteral("10000-characters"), QString(QStringLiteral("word ")).repeated(2000), QString());

    TooltipContent longGlance = glance;
    longGlance.glance->sentence =
        marked(QString(QStringLiteral("Una frase muy larga. ")).repeated(400) + QStringLiteral("Corrió."),
               QStringLiteral("Corrió"));
    out.push_back({QStringLiteral("long-sentence"), longGlance});
    return out;
}

bool render(const Shot &shot, ColorScheme scheme, const QDir &dir)
{
    OverlayTooltip view;
    view.setContent(shot.content, shot.edge);
    view.setColorScheme(scheme);
    view.setOpaque(shot.opaque);
    view.resize(view.sizeHint());
    const QPixmap tooltip = view.grab();
    if (tooltip.isNull() || tooltip.size().isEmpty())
        return false;
    QImage image(tooltip.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(tooltip.devicePixelRatio());
    image.fill(scheme == ColorScheme::dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xEC, 0xEC, 0xEC));
    {
        QPainter p(&image);
        p.drawPixmap(0, 0, tooltip);
    }
    const QString file = QStringLiteral("tooltip-%1%2.png")
                             .arg(shot.name, scheme == ColorScheme::dark ? QStringLiteral("-dark") : QString());
    return image.save(dir.filePath(file));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormStyle::install();
    const QDir dir(qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral(".")));
    int failures = 0;
    for (const Shot &shot : shots()) {
        for (ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
            if (!render(shot, scheme, dir)) {
                std::fprintf(stderr, "TooltipScreenshots: could not render %s\n", qPrintable(shot.name));
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
