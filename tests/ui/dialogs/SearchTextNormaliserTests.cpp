#include <gtest/gtest.h>
#include <clocale>
#include <cmath>
#include "ui/dialogs/PresetNameMatcher.h"
#include "ui/dialogs/SearchTextNormaliser.h"

namespace
{
    struct Normaliser : ::testing::Test
    {
        SearchWordTable table;
        Normaliser() { buildSearchWordTable (table); }
        juce::String norm (const juce::String& s) const { return normaliseSearchText (table, s); }
    };

    // The matching rules written out plainly on juce::String, the way one would
    // first write them down: the fast matcher must agree with it to the last bit.
    struct PlainMatcher
    {
        const SearchWordTable& table;

        juce::String normalise (const juce::String& text) const
        {
            auto s = padWithBlanks (text.toUpperCase());
            for (int i = 0; i < table.size(); ++i)
                s = s.replace (table[i].key, table[i].replacement, false);
            while (s.startsWithChar (' '))
                s = s.substring (1);
            while (s.endsWithChar (' '))
                s = s.dropLastCharacters (1);
            return s;
        }

        static float similarity (const juce::String& x, const juce::String& y)
        {
            auto px = letterPairs (padWithBlanks (x).toUpperCase());
            auto py = letterPairs (padWithBlanks (y).toUpperCase());
            const int total = px.size() + py.size();
            if (total == 0)
                return 0.0f;
            int matches = 0;
            for (auto& p : px)
            {
                for (int j = 0; j < py.size(); ++j)
                {
                    if (py[j] == p)
                    {
                        ++matches;
                        py.remove (j);
                        break;
                    }
                }
            }
            return 2.0f * (float) matches / (float) total;
        }

        float score (const juce::String& nameIn, const juce::String& queryIn) const
        {
            if (nameIn.isEmpty() || queryIn.isEmpty())
                return 0.0f;
            const auto name = nameIn.toUpperCase(), query = queryIn.toUpperCase();
            const auto nn = normalise (name), nq = normalise (query);
            const float a = 0.75f * similarity (nn, nq);
            const float b = 0.25f * similarity (name, query);
            float score = a + b;

            juce::StringArray words;
            words.addTokens (query, " ", "");
            for (auto& w : words)
                if (w != "-" && w != "+" && nn.isNotEmpty() && padWithBlanks (w).containsIgnoreCase (nn))
                    score = score + 0.07f * (float) w.length() * (1.0f - score);

            int k = 1;
            while (k < 6 && name.startsWith (query.substring (0, k)))
            {
                score = score + 0.1f * (1.0f - score);
                ++k;
            }
            if (k < 6 && k > 1)
                score = score * (1.0f - 0.04f * (float) (6 - k));
            return score;
        }
    };
}

TEST_F (Normaliser, TableHoldsTheStandardEntriesInOrder)
{
    ASSERT_EQ (table.size(), 39);
    EXPECT_EQ (table[0].key, "&");
    EXPECT_EQ (table[0].replacement, " & ");
    EXPECT_EQ (table[2].key, ".");
    EXPECT_EQ (table[2].replacement, "");
    EXPECT_EQ (table[13].key, " DLY ");
    EXPECT_EQ (table[13].replacement, " DELAY ");
    EXPECT_EQ (table[38].key, "  ");
    EXPECT_EQ (table[38].replacement, " ");
}

TEST_F (Normaliser, AddingAKnownKeyReplacesInPlaceIgnoringCase)
{
    table.add (" and ", " N ");
    EXPECT_EQ (table.size(), 39);
    EXPECT_EQ (table[4].key, " AND ") << "the entry keeps its key and place";
    EXPECT_EQ (table[4].replacement, " N ");
    EXPECT_EQ (norm ("Salt and Pepper"), "SALT N PEPPER");

    table.add (" NEW ", " NU ");
    EXPECT_EQ (table.size(), 40);
    EXPECT_EQ (table[39].key, " NEW ");
}

TEST_F (Normaliser, PadsWithOneBlankOnEachSideAtMost)
{
    EXPECT_EQ (padWithBlanks ("abc"), " abc ");
    EXPECT_EQ (padWithBlanks (" abc"), " abc ");
    EXPECT_EQ (padWithBlanks ("abc "), " abc ");
    EXPECT_EQ (padWithBlanks ("  abc  "), "  abc  ");
    EXPECT_EQ (padWithBlanks (""), " ");
    EXPECT_EQ (padWithBlanks (" "), " ");
}

TEST_F (Normaliser, FoldsTheUsualSpellings)
{
    EXPECT_EQ (norm ("Dbl Vocal Reverb"), "DBL VOCAL VERB");
    EXPECT_EQ (norm ("Rock & Roll"), "ROCK & ROLL");
    EXPECT_EQ (norm ("Rock and Roll"), "ROCK & ROLL");
    EXPECT_EQ (norm ("rock&roll"), "ROCK & ROLL");
    EXPECT_EQ (norm ("Mr. Blue"), "MR BLUE");
    EXPECT_EQ (norm ("U.S.A."), "USA");
    EXPECT_EQ (norm ("Acoustic Guitar"), "AC GTR");
    EXPECT_EQ (norm ("acou gtr"), "AC GTR");
    EXPECT_EQ (norm ("Harmony"), "HRMNY");
    EXPECT_EQ (norm ("hmny"), "HRMNY");
    EXPECT_EQ (norm ("Robopitch"), "RPTCH");
    EXPECT_EQ (norm ("Drive Clean Octave Gender"), "DRV CLN OCT GNDR");
    EXPECT_EQ (norm ("Are You First"), "R U 1ST");
    EXPECT_EQ (norm ("Third Fifths Seventh"), "3RD 5THS 7TH");
}

TEST_F (Normaliser, ThreeEntriesExpandRatherThanShorten)
{
    EXPECT_EQ (norm ("Dly Throw"), "DELAY THROW");
    EXPECT_EQ (norm ("Loos Yur Voice"), "LOOSE YOUR VOICE");
    // Reverb spellings all meet on one form, the short one included.
    EXPECT_EQ (norm ("Rev"), "VERB");
    EXPECT_EQ (norm ("Vrb"), "VERB");
    EXPECT_EQ (norm ("Reverbs"), "VERB");
}

TEST_F (Normaliser, SymbolsStandFreeAndBlanksAreMerged)
{
    EXPECT_EQ (norm ("Lo-Fi"), "LO - FI");
    EXPECT_EQ (norm ("Lo - Fi"), "LO - FI");
    EXPECT_EQ (norm ("Chorus+Verb"), "CHORUS + VERB");
    EXPECT_EQ (norm ("  lots   of    space  "), "LOTS  OF  SPACE") << "one pass of the blank entry shortens a run, it does not collapse it";
    EXPECT_EQ (norm ("..."), "");
    EXPECT_EQ (norm (""), "");
}

TEST_F (Normaliser, OnlyWholeWordsAreReplaced)
{
    EXPECT_EQ (norm ("Reverberation"), "REVERBERATION");
    EXPECT_EQ (norm ("Android"), "ANDROID");
    EXPECT_EQ (norm ("Harmless"), "HARMLESS");
}

TEST_F (Normaliser, AdjacentWordsSharingABlankAreNotBothMatchedInOnePass)
{
    // The first match takes the blank between the two words with it.
    EXPECT_EQ (norm ("Double Double Trouble"), "DBL DOUBLE TROUBLE");
    EXPECT_EQ (norm ("rev rev rev"), "VERB REV VERB");
    // Different entries each get their own pass, so neighbours of two kinds both fold.
    EXPECT_EQ (norm ("Double Reverb"), "DBL VERB");
    // " AND " runs before the blank merge: "and and" keeps its second word.
    EXPECT_EQ (norm ("and and"), "& AND");
}

TEST_F (Normaliser, LetterPairsAreTheTwoCharacterSubstrings)
{
    EXPECT_EQ (letterPairs ("ABCD"), juce::StringArray ({ "AB", "BC", "CD" }));
    EXPECT_EQ (letterPairs ("A").size(), 0);
    EXPECT_EQ (letterPairs ("").size(), 0);
    EXPECT_EQ (letterPairs (juce::String::fromUTF8 ("\xc3\xa4" "b")), juce::StringArray ({ juce::String::fromUTF8 ("\xc3\xa4" "b") }))
        << "pairs are of characters, not bytes";
}

TEST_F (Normaliser, LetterPairSimilarityUsesEachPairOnce)
{
    EXPECT_FLOAT_EQ (letterPairSimilarity ("vocal", "VOCAL"), 1.0f);
    EXPECT_FLOAT_EQ (letterPairSimilarity ("abc", "xyz"), 0.0f) << "padding blanks never meet letters";
    // " AA " has pairs " A", "AA", "A "; " AAAA " has " A", "AA", "AA", "AA", "A ".
    // Every pair of the first finds a partner; the second's extra "AA"s stay unmatched.
    EXPECT_FLOAT_EQ (letterPairSimilarity ("AA", "AAAA"), 2.0f * 3 / 8);
    EXPECT_FLOAT_EQ (letterPairSimilarity ("AAAA", "AA"), 2.0f * 3 / 8) << "a matched pair is removed, so repeats cannot count twice";
    // " H " against " HALL ": " H" matches, "H " does not.
    EXPECT_FLOAT_EQ (letterPairSimilarity ("h", "Hall"), 2.0f / 7);
    EXPECT_FLOAT_EQ (letterPairSimilarity ("a b", "ab"), 2.0f * 2 / 7);
}

TEST_F (Normaliser, TextsWithoutPairsHaveNoSimilarity)
{
    EXPECT_EQ (letterPairSimilarity ("", ""), 0.0f);
    EXPECT_EQ (letterPairSimilarity (" ", ""), 0.0f);
    EXPECT_EQ (letterPairSimilarity ("", "abc"), 0.0f);
    EXPECT_FALSE (std::isnan (scorePresetName (table, "...", "...")));
}

TEST_F (Normaliser, ScoresOfKnownPairs)
{
    // Worked out separately with every step rounded to single precision.
    struct Case { const char* name; const char* query; float score; };
    const Case cases[] = {
        { "Dbl Vocal Reverb", "double vocal reverb", 0.804243f },
        { "Dbl Vocal Reverb", "dbl", 0.652218f },
        { "Rock and Roll", "rock & roll", 0.965933f },
        { "Mr. Blue", "mr blue", 0.848553f },
        { "Harmony Lead", "harm", 0.787732f },
        { "Harmony Lead", "harmony", 0.834597f },
        { "Acoustic Guitar", "acoustic", 0.781519f },
        { "Big Room Verb", "reverb", 0.513784f },
        { "Big Room Verb", "room", 0.526316f },
        { "Octave Down", "oct", 0.737402f },
        { "Robopitch Lead", "robopitch", 0.840220f },
        { "Delay Throw", "dly", 0.509250f },
        { "Thirds Above", "3rds", 0.552083f },
        { "Gender Bender", "gndr", 0.477214f },
        { "Vocal", "vocal", 1.000000f },
        { "Vocal", "vocals", 0.920965f },
        { "Slapback", "slap", 0.746933f },
        { "Slapback", "back", 0.571429f },
        { "Clean Double", "cln dbl", 0.786657f },
        { "Ambient Wash", "xyz", 0.000000f },
        { "A", "a", 1.000000f },
        { "Hall", "HALL", 1.000000f },
        { "Hall", "h", 0.578221f },
        { "Chorus+Verb", "chorus + verb", 0.965933f },
        { "Lo-Fi Radio", "lofi", 0.476154f },
        { "Verb", "reverb", 0.951667f },
        { "Warm Harmony", "warm harm", 0.967908f },
        { "...", "...", 0.557132f },
        { "Second Voice", "2nd voice", 0.923913f },
        { "You Are Here", "u r here", 0.886364f },
    };
    for (auto& c : cases)
        EXPECT_NEAR (scorePresetName (table, c.name, c.query), c.score, 1e-4f) << c.name << " / " << c.query;
}

TEST_F (Normaliser, EveryLetterIsUpperCasedWhateverTheLocale)
{
    const auto u = [] (const char* text) { return juce::String::fromUTF8 (text); };
    for (const char* locale : { "C", "C.UTF-8" })
    {
        if (std::setlocale (LC_CTYPE, locale) == nullptr)
            continue;
        SCOPED_TRACE (locale);

        // Accented Latin, Greek, Cyrillic, Armenian, and a letter beyond the 16-bit range.
        EXPECT_EQ (norm (u ("ch\u0153ur \u00e9th\u00e9r\u00e9 \u00fcber")), u ("CH\u0152UR \u00c9TH\u00c9R\u00c9 \u00dcBER"));
        EXPECT_EQ (norm (u ("\u03c9\u03bc\u03ad\u03b3\u03b1 \u0434\u0443\u0445 \u0571\u0561\u0575\u0576 \U00010428")),
                   u ("\u03a9\u039c\u0388\u0393\u0391 \u0414\u0423\u0425 \u0541\u0531\u0545\u0546 \U00010400"));

        // A name and a query that differ only in letter case are equal once upper-cased:
        // both similarities are 1 and every beginning bonus is earned, so the score is 1.
        const char* sameButCase[][2] = {
            { "\u00c9clat \u00dcber Chor", "\u00e9CLAT \u00fcber chor" },
            { "\u03a9\u03bc\u03ad\u03b3\u03b1", "\u03c9\u039c\u0388\u0393\u0391" },
            { "\u0414\u0443\u0445 \u0425\u043e\u0440", "\u0434\u0423\u0425 \u0445\u041e\u0420" },
        };
        for (auto& c : sameButCase)
        {
            EXPECT_EQ (scorePresetName (table, u (c[0]), u (c[1])), 1.0f) << c[0];
            EXPECT_EQ (scorePresetName (table, u (c[1]), u (c[0])), 1.0f) << c[1];
        }

        // A partial hit scores as the same texts with plain letters do.
        EXPECT_EQ (scorePresetName (table, u ("\u00dcber Hall"), u ("\u00fcber")), scorePresetName (table, "Uber Hall", "uber"));
        EXPECT_NEAR (scorePresetName (table, "Uber Hall", "uber"), 0.803170f, 1e-5f);
    }
    std::setlocale (LC_CTYPE, "C");
}

TEST_F (Normaliser, EmptyNameOrQueryScoresZero)
{
    EXPECT_EQ (scorePresetName (table, "", "vocal"), 0.0f);
    EXPECT_EQ (scorePresetName (table, "Vocal", ""), 0.0f);
    PresetNameMatcher m (table, "");
    EXPECT_FALSE (m.hasQuery());
    EXPECT_EQ (m.score ("Vocal"), 0.0f);
}

TEST_F (Normaliser, BeginningBonusAndPenalty)
{
    // With nothing else in common, only the beginning counts.
    const float base = scorePresetName (table, "QQQQQQQ", "XQQQQQQ");
    // A prefix of five or more characters: five bonuses, no penalty.
    const float full = scorePresetName (table, "Abcdefgh", "abcdef");
    const float plain = 0.75f * letterPairSimilarity ("ABCDEFGH", "ABCDEF") + 0.25f * letterPairSimilarity ("ABCDEFGH", "ABCDEF");
    float expected = plain;
    for (int i = 0; i < 5; ++i)
        expected = expected + 0.1f * (1.0f - expected);
    EXPECT_NEAR (full, expected, 1e-6f);

    // Two characters in common, then a difference: two bonuses and the penalty for k = 3.
    const float partial = scorePresetName (table, "ABXXXX", "ABYYYY");
    float p = 0.75f * letterPairSimilarity ("ABXXXX", "ABYYYY") + 0.25f * letterPairSimilarity ("ABXXXX", "ABYYYY");
    p = p + 0.1f * (1.0f - p);
    p = p + 0.1f * (1.0f - p);
    p = p * (1.0f - 0.04f * 3);
    EXPECT_NEAR (partial, p, 1e-6f);

    // A different first character: no bonus and no penalty.
    const float none = 0.75f * letterPairSimilarity ("QQQQQQQ", "XQQQQQQ") + 0.25f * letterPairSimilarity ("QQQQQQQ", "XQQQQQQ");
    EXPECT_NEAR (base, none, 1e-6f);
}

TEST_F (Normaliser, WordBonusNeedsTheWholeFoldedNameInOneQueryWord)
{
    // Folded name "VERB" lies within the padded word " REVERB ": 6 characters of bonus.
    const float s = scorePresetName (table, "Verb", "reverb");
    float expected = 0.75f * letterPairSimilarity ("VERB", "VERB") + 0.25f * letterPairSimilarity ("VERB", "REVERB");
    expected = expected + 0.07f * 6.0f * (1.0f - expected);
    EXPECT_NEAR (s, expected, 1e-6f) << "no beginning bonus: V differs from R";

    // A longer name never lies within one word.
    const float t = scorePresetName (table, "Verb Hall", "reverb");
    const float noBonus = 0.75f * letterPairSimilarity ("VERB HALL", "VERB") + 0.25f * letterPairSimilarity ("VERB HALL", "REVERB");
    EXPECT_NEAR (t, noBonus, 1e-6f);

    // "-" and "+" words of a query never earn it, even against a name that folds to "-".
    const float dash = scorePresetName (table, "-", "- x");
    float d = 0.75f * letterPairSimilarity ("-", "- X") + 0.25f * letterPairSimilarity ("-", "- X");
    d = d + 0.1f * (1.0f - d);
    d = d * (1.0f - 0.04f * 4);
    EXPECT_NEAR (dash, d, 1e-6f);
}

TEST_F (Normaliser, PreparedMatcherAgreesWithThePlainRulesBitForBit)
{
    PlainMatcher plain { table };
    const char* words[] = { "Dbl", "Double", "Vocal", "Reverb", "REV", "Verb", "and", "&", "-", "+", "Mr.", "Blue",
                            "Harmony", "harm", "Hmny", "Acoustic", "Acous", "Gtr", "Guitar", "Dly", "Delay", "Loos",
                            "Yur", "You", "Are", "Third", "Thirds", "Fifth", "Oct", "Octave", "Lo-Fi", "Rock&Roll",
                            "A", "AA", "x", "...", "Robopitch", "Gender", "  ", "Drive", "Clean", "7th", "1st" };
    juce::Random rng (1234);
    auto phrase = [&]
    {
        juce::String s;
        const int n = 1 + rng.nextInt (4);
        for (int i = 0; i < n; ++i)
        {
            if (i > 0)
                s << (rng.nextInt (5) == 0 ? "  " : " ");
            juce::String w = words[rng.nextInt ((int) std::size (words))];
            s << (rng.nextBool() ? w.toLowerCase() : w);
        }
        return s;
    };

    int compared = 0;
    for (int q = 0; q < 60; ++q)
    {
        const auto query = phrase();
        PresetNameMatcher matcher (table, query);
        for (int n = 0; n < 60; ++n)
        {
            const auto name = (n % 7 == 0) ? query.substring (0, 1 + rng.nextInt (query.length())) : phrase();
            const float expected = plain.score (name, query);
            const float got = matcher.score (name);
            ASSERT_EQ (got, expected) << "name '" << name << "' query '" << query << "'";
            ASSERT_EQ (normaliseSearchText (table, name), plain.normalise (name)) << name;
            ++compared;
        }
    }
    EXPECT_EQ (compared, 3600);
}
