// Renders the review (a question, the revealed meaning, the closing screen, nothing to review), the
// keep-words prompt and the Words pane of Settings, light and dark.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/WordsFixture.h"
#include "Features/Design/Appearance.h"
#include "Features/Design/FormStyle.h"
#include "Features/Words/Views/KeepWordsPrompt.h"
#include "Features/Words/Views/ReviewView.h"
#include "Features/Words/Views/WordsSettingsPane.h"
#include "Screenshots/Shooter.h"

#include <QApplication>
#include <QDir>
#include <QStyle>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

void fill(WordsFixture &f)
{
    LookupFields maison {.word = QStringLiteral("maison"),
                         .meaning = QStringLiteral("house"),
                         .date = f.ago(3 * 1440.0),
                         .source = QStringLiteral("fr"),
                         .target = QStringLiteral("en"),
                         .sentence = QStringLiteral("Nous avons acheté une vieille maison au bord de la mer."),
                         .translation = QStringLiteral("We bought an old house by the sea."),
                         .appID = QStringLiteral("org.gnome.Evince"),
                         .appName = QStringLiteral("Document Viewer"),
                         .grammarTag = QStringLiteral("Noun"),
                         .grammarText = QStringLiteral("feminine noun: la maison, les maisons")};
    f.saved.push_back(makeSaved(maison));
    LookupFields fleur {.word = QStringLiteral("fleur"),
                        .meaning = QStringLiteral("flower"),
                        .date = f.ago(2 * 1440.0),
                        .source = QStringLiteral("fr"),
                        .target = QStringLiteral("en"),
                        .sentence = QStringLiteral("Une fleur pousse entre les pavés."),
                        .translation = QStringLiteral("A flower grows between the cobblestones."),
                        .appID = QStringLiteral("org.mozilla.firefox"),
                        .appName = QStringLiteral("Firefox")};
    f.saved.push_back(makeSaved(fleur));
    SavedWord later =
        makeSaved({.word = QStringLiteral("nuage"), .meaning = QStringLiteral("cloud"), .date = f.ago(60)});
    later.review.due = plusSeconds(f.now(), 3 * 86400);
    f.saved.push_back(later);
}

class PaneCoordinator : public CoordinatorOverFakes
{
public:
    PaneCoordinator()
    {
        book->setKeepsHistory(true);
        for (int i = 0; i < 4; ++i)
            book->record(lookup(QStringLiteral("river"), plusSeconds(now(), i), QStringLiteral("A river %1.").arg(i)));
        book->save(lookup(QStringLiteral("river"), now()), now());
        book->setExcludedAppIDs({QStringLiteral("org.gnome.Evince"), QStringLiteral("org.mozilla.firefox")});
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormStyle::install();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString folder = qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral("."));
    QDir().mkpath(folder);
    Shooter shooter(folder);
    Appearance appearance {std::nullopt};
    for (const bool dark : {false, true}) {
        shooter.setDark(dark);
        WordsFixture fixture;
        fill(fixture);
        const auto book = fixture.book();
        {
            ReviewView review(*book, std::nullopt, {}, appearance, fixture.clock);
            shooter.shoot(&review, QStringLiteral("review-question"));
            review.model()->reveal();
            shooter.shoot(&review, QStringLiteral("review-revealed"));
            review.model()->answer(ReviewAnswer::gotIt);
            review.model()->reveal();
            review.model()->answer(ReviewAnswer::hard);
            shooter.shoot(&review, QStringLiteral("review-done"));
            review.close();
        }
        {
            ReviewView nothing(*book, std::nullopt, {}, appearance, fixture.clock);
            shooter.shoot(&nothing, QStringLiteral("review-nothing"));
            nothing.close();
        }
        {
            KeepWordsPrompt prompt(TooltipKeyLabels {}, {}, appearance);
            shooter.shoot(&prompt, QStringLiteral("keep-words-prompt"));
            prompt.close();
        }
        {
            PaneCoordinator coordinator;
            WordsSettingsPane pane(*coordinator.book, *coordinator.controller, {}, {}, appearance);
            pane.resize(520, 640);
            shooter.shoot(&pane, QStringLiteral("settings-words"));
            // The whole form at once, as it scrolls.
            pane.resize(520, 900);
            shooter.shoot(&pane, QStringLiteral("settings-words-whole"));
            pane.close();
        }
    }
    return shooter.ok() ? 0 : 1;
}
