// Renders the Words window over a fixture word book: sections, the detail of long words and of
// Arabic and Chinese meanings, the empty messages, light and dark.

#include "Fakes/WordsFixture.h"
#include "Features/Design/Appearance.h"
#include "Features/Design/FormStyle.h"
#include "Features/Words/Views/WordDetailView.h"
#include "Features/Words/Views/WordsView.h"
#include "Screenshots/Shooter.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPalette>
#include <QStyle>
#include <QTimer>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

void fill(WordsFixture &f)
{
    const auto reader = [&](LookupFields fields) {
        fields.appID = QStringLiteral("org.gnome.Evince");
        fields.appName = QStringLiteral("Document Viewer");
        fields.title = QStringLiteral("The Count of Monte Cristo — Chapter 12.pdf");
        return fields;
    };
    const auto browser = [&](LookupFields fields) {
        fields.appID = QStringLiteral("org.mozilla.firefox");
        fields.appName = QStringLiteral("Firefox");
        fields.title = QStringLiteral("Le Monde — Actualités en France et dans le monde");
        return fields;
    };
    // maison: met four times, with the word marked in French sentences and their translations.
    std::vector<WordLookup> maison;
    const char *sentences[] = {"Nous avons acheté une vieille maison au bord de la mer.",
                               "La maison de mes grands-parents sentait le pain chaud.",
                               "Il est rentré à la maison très tard.", "Cette maison a trois chambres et un jardin."};
    const char *translations[] = {"We bought an old house by the sea.", "My grandparents' house smelled of warm bread.",
                                  "He came home very late.", "This house has three bedrooms and a garden."};
    for (int i = 0; i < 4; ++i) {
        LookupFields fields = i % 2 ? browser({}) : reader({});
        fields.word = QStringLiteral("maison");
        fields.meaning = QStringLiteral("house");
        fields.date = f.ago(i * 1900.0 + 40);
        fields.source = QStringLiteral("fr");
        fields.target = QStringLiteral("en");
        fields.sentence = QString::fromUtf8(sentences[i]);
        fields.translation = QString::fromUtf8(translations[i]);
        fields.grammarTag = QStringLiteral("Noun");
        fields.grammarText = QStringLiteral("feminine noun: la maison, les maisons");
        maison.push_back(makeLookup(fields));
    }
    SavedWord house = makeSaved({.word = QStringLiteral("maison"),
                                 .meaning = QStringLiteral("house"),
                                 .date = f.ago(3 * 1440.0),
                                 .source = QStringLiteral("fr"),
                                 .target = QStringLiteral("en"),
                                 .grammarTag = QStringLiteral("Noun"),
                                 .grammarText = QStringLiteral("feminine noun: la maison, les maisons")},
                                maison, 4);
    house.senses.push_back({QStringLiteral("home"), std::nullopt, std::nullopt});
    house.base = QStringLiteral("maison");
    house.review.due = f.ago(-2 * 1440.0);

    SavedWord long_ = makeSaved(reader({.word = QStringLiteral("Rechtsschutzversicherungsgesellschaften"),
                                        .meaning = QStringLiteral("legal expenses insurance companies"),
                                        .date = f.ago(50 * 60.0),
                                        .source = QStringLiteral("de"),
                                        .target = QStringLiteral("en"),
                                        .sentence = QStringLiteral("Viele Rechtsschutzversicherungsgesellschaften "
                                                                   "lehnen solche Fälle grundsätzlich ab."),
                                        .translation = QStringLiteral("Many legal expenses insurance companies refuse "
                                                                      "such cases as a matter of principle."),
                                        .grammarTag = QStringLiteral("Noun")}),
                                {}, 2);
    SavedWord arabic = makeSaved(browser({.word = QStringLiteral("library"),
                                          .meaning = QStringLiteral("مكتبة"),
                                          .date = f.ago(26 * 60.0),
                                          .source = QStringLiteral("en"),
                                          .target = QStringLiteral("ar"),
                                          .sentence = QStringLiteral("She spent the whole afternoon in the library."),
                                          .translation = QStringLiteral("قضت فترة ما بعد الظهر كلها في المكتبة."),
                                          .grammarTag = QStringLiteral("Noun")}));
    arabic.senses.push_back({QStringLiteral("دار الكتب"), std::nullopt, std::nullopt});
    SavedWord chinese = makeSaved(reader({.word = QStringLiteral("understand"),
                                          .meaning = QStringLiteral("理解"),
                                          .date = f.ago(6 * 1440.0),
                                          .source = QStringLiteral("en"),
                                          .target = QStringLiteral("zh-CN"),
                                          .sentence = QStringLiteral("I finally understand what she meant."),
                                          .translation = QStringLiteral("我终于理解她的意思了。"),
                                          .grammarTag = QStringLiteral("Verb"),
                                          .grammarText = QStringLiteral("irregular: understood, understood")}));
    chinese.senses.push_back({QStringLiteral("明白"), QStringLiteral("Verb"), std::nullopt});
    SavedWord learned = makeSaved({.word = QStringLiteral("gato"),
                                   .meaning = QStringLiteral("cat"),
                                   .date = f.ago(40 * 1440.0),
                                   .source = QStringLiteral("es"),
                                   .target = QStringLiteral("en"),
                                   .sentence = QStringLiteral("El gato duerme."),
                                   .appID = QStringLiteral("org.gnome.TextEditor"),
                                   .appName = QStringLiteral("Text Editor")});
    learned.review.learned = true;
    SavedWord hostile = makeSaved({.word = QStringLiteral("<b>bold</b>"),
                                   .meaning = QStringLiteral("<img src=x>"),
                                   .date = f.ago(400 * 1440.0),
                                   .source = QStringLiteral("en"),
                                   .target = QStringLiteral("fr"),
                                   .sentence = QStringLiteral("Markup like <b>bold</b> stays text."),
                                   .appID = std::nullopt,
                                   .appName = std::nullopt});
    f.saved = {house, long_, arabic, chinese, learned, hostile};
    for (const SavedWord &word : f.saved) {
        for (const WordLookup &encounter : word.encounters)
            f.history.push_back(encounter);
    }
    f.history.push_back(makeLookup(browser({.word = QStringLiteral("fleur"),
                                            .meaning = QStringLiteral("flower"),
                                            .date = f.ago(8),
                                            .source = QStringLiteral("fr"),
                                            .target = QStringLiteral("en"),
                                            .sentence = QStringLiteral("Une fleur pousse entre les pavés.")})));
    std::sort(f.history.begin(), f.history.end(),
              [](const WordLookup &a, const WordLookup &b) { return a.date < b.date; });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormStyle::install();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString folder = qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral("."));
    QDir().mkpath(folder);
    Shooter shooter(folder, QStringLiteral("words-"));
    // Follows the application palette, which each pass sets light or dark.
    Appearance appearance {std::nullopt};

    for (const bool dark : {false, true}) {
        shooter.setDark(dark);
        WordsFixture full;
        fill(full);
        auto book = full.book();
        auto defaults = std::make_shared<PreferenceStore>(QString());
        WordsView view(*book, {}, defaults, appearance, full.clock);
        view.resize(1100, 720);
        WordsModel &m = *view.model();

        shooter.shoot(&view, QStringLiteral("saved"));
        // The window at its smallest, on a word met four times.
        view.resize(view.minimumSize());
        m.setSelection(full.saved[0].key());
        shooter.shoot(&view, QStringLiteral("smallest"));
        view.resize(1100, 720);
        m.setSelection(full.saved[1].key());
        shooter.shoot(&view, QStringLiteral("long-word"));
        m.setSelection(full.saved[2].key());
        shooter.shoot(&view, QStringLiteral("arabic"));
        m.setSelection(full.saved[3].key());
        shooter.shoot(&view, QStringLiteral("chinese"));
        m.setSelection(full.saved[4].key());
        shooter.shoot(&view, QStringLiteral("learned"));
        m.setSelection(full.saved[5].key());
        shooter.shoot(&view, QStringLiteral("markup"));
        m.setSection(WordsSection::history());
        shooter.shoot(&view, QStringLiteral("history"));
        m.setSection(WordsSection::pair(QStringLiteral("fr"), QStringLiteral("en")));
        shooter.shoot(&view, QStringLiteral("pair"));
        m.setSection(WordsSection::saved());
        m.setQuery(QStringLiteral("zebra"));
        shooter.shoot(&view, QStringLiteral("no-matches"));
        m.setQuery(QStringLiteral("library"));
        m.setSelection(full.saved[0].key());
        shooter.shoot(&view, QStringLiteral("no-selection"));
        m.setQuery(QString());
        m.setSelection(full.saved[0].key());
        m.detail()->requestRemove();
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
        if (QMessageBox *box = view.findChild<WordDetailView *>()->removeConfirmation()) {
            shooter.shoot(box, QStringLiteral("remove-confirmation"));
            box->reject();
        }

        WordsFixture empty;
        empty.keepsHistory = false;
        auto emptyBook = empty.book();
        WordsView emptyView(*emptyBook, {}, defaults, appearance, empty.clock);
        emptyView.resize(1100, 720);
        shooter.shoot(&emptyView, QStringLiteral("empty"));
        emptyView.model()->setSection(WordsSection::history());
        shooter.shoot(&emptyView, QStringLiteral("history-off"));
        emptyView.close();
        view.close();
    }
    return shooter.ok() ? 0 : 1;
}
