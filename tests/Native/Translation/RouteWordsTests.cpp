// The numbers a route's first pair gives its words, read back by the second pair's stages, on streams
// as the stages write them.

#include "Native/Translation/RouteWords.h"

#include <gtest/gtest.h>

using namespace Lumivox::Native;

TEST(RouteWords, NumbersReadBackAsUserWordsAndNames)
{
    RouteWords words;
    // Content words, names and unknown words get numbers; a mark's blank takes its number in; a
    // superblank and escapes pass untouched.
    QString tagged = QStringLiteral("[\\]x] ^I/prpers<prn><subj><p1><mf><sg>$ ^saw/see<vblex><past>$ "
                                    "[[b]]^Los Angeles/Los Angeles<np><loc><sg>$ \\^ ^and/and<cnjcoo>$ "
                                    "^Nevada/Nevada<np><loc><sg>$ ^the/the<det><def><sp>$ ^zorblax/*zorblax$");
    words.number(tagged);
    EXPECT_EQ(tagged,
              QStringLiteral("[\\]x] ^I/prpers<prn><subj><p1><mf><sg>$ [[w:0]]^saw/see<vblex><past>$ "
                             "[[b; w:1]]^Los Angeles/Los Angeles<np><loc><sg>$ \\^ ^and/and<cnjcoo>$ "
                             "[[w:2]]^Nevada/Nevada<np><loc><sg>$ ^the/the<det><def><sp>$ "
                             "[[w:3]]^zorblax/*zorblax$"));

    // The second pair: a name it splits is one proper noun again, with its own tags when it reads the
    // name as one, the first pair's otherwise; a word unknown to either pair is the user's word.
    QString second =
        QStringLiteral("[\\]x] [[w:0]]^Vi/Ver<vblex><ifi><p1><sg>$ [[b; w:1]]^Los/el<det><def><m><pl>$ "
                       "[[b; w:1]]^Ángeles/ángel<n><m><pl>$ \\^ ^y/y<cnjcoo>$ [[w:2]]^Nevada/Nevada<np><loc><f><sg>$ "
                       "^la/el<det><def><f><sg>$ [[w:3]]^zorblax/zorblax<n><f><sg>$ [[w:0]]^estera/*estera$");
    words.carry(second);
    EXPECT_EQ(second,
              QStringLiteral("[\\]x] [[w:0]]^Vi/Ver<vblex><ifi><p1><sg>$ "
                             "[[b; w:1]]^Los Ángeles/Los Ángeles<np><loc><sg>$ \\^ ^y/y<cnjcoo>$ "
                             "[[w:2]]^Nevada/Nevada<np><loc><f><sg>$ ^la/el<det><def><f><sg>$ "
                             "[[w:3]]^zorblax/*zorblax$ [[w:0]]^saw/*saw$"));

    // Names translate to themselves; a word the dictionary lacks is the user's word, untranslated.
    QString translated = QStringLiteral("[[w:2]]^Nevada<np><loc><f><sg>/Neigée<np><loc><f><sg>$ "
                                        "[[w:0]]^ver<vblex><ifi><p1><sg>/@ver<vblex><ifi><p1><sg>$");
    words.carryTranslations(translated);
    EXPECT_EQ(translated,
              QStringLiteral("[[w:2]]^Nevada<np><loc><f><sg>/Nevada<np><loc><f><sg>$ "
                             "[[w:0]]^ver<vblex><ifi><p1><sg>/@saw<vblex><ifi><p1><sg>$"));
    QString generated = QStringLiteral("[[w:2]]#Nevada[[/]] [[w:0]]#vu[[/]]");
    words.unmarkNames(generated);
    EXPECT_EQ(generated, QStringLiteral("[[w:2]]Nevada[[/]] [[w:0]]#vu[[/]]"));
}
