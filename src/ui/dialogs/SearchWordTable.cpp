#include "ui/dialogs/SearchWordTable.h"
#include "ui/dialogs/SearchTextNormaliser.h"

void SearchWordTable::add (const juce::String& key, const juce::String& replacement)
{
    for (auto& e : entries)
    {
        if (e.key.equalsIgnoreCase (key))
        {
            e.replacement = replacement;
            e.replacementChars = searchtext::toChars (replacement);
            return;
        }
    }

    Entry e;
    e.key = key;
    e.replacement = replacement;
    e.keyChars = searchtext::toChars (key);
    e.replacementChars = searchtext::toChars (replacement);
    searchtext::addToCharacterMask (e.keyChars, e.pairMask);
    entries.push_back (std::move (e));
}

void buildSearchWordTable (SearchWordTable& table)
{
    // Symbols stand free, dots go; then the usual spellings and abbreviations of a
    // word fold into one form; last, the blanks the steps above doubled are merged.
    static const char* const pairs[][2] = {
        { "&", " & " },
        { "-", " - " },
        { ".", "" },
        { "+", " + " },
        { " AND ", " & " },
        { " DRIVE ", " DRV " },
        { " CLEAN ", " CLN " },
        { " DOUBLE ", " DBL " },
        { " GUITAR ", " GTR " },
        { " REVERB ", " VERB " },
        { " VRB ", " VERB " },
        { " REV ", " VERB " },
        { " REVERBS ", " VERB " },
        { " DLY ", " DELAY " },
        { " ACOU ", " AC " },
        { " ACOUS ", " AC " },
        { " ACOUST ", " AC " },
        { " ACOUSTI ", " AC " },
        { " ACOUSTIC ", " AC " },
        { " OCTAVE ", " OCT " },
        { " HARM ", " HRMNY " },
        { " HARMONY ", " HRMNY " },
        { " HMNY ", " HRMNY " },
        { " GENDER ", " GNDR " },
        { " ROBOPITCH ", " RPTCH " },
        { " YOU ", " U " },
        { " ARE ", " R " },
        { " FIRST ", " 1ST " },
        { " SECOND ", " 2ND " },
        { " THIRD ", " 3RD " },
        { " THIRDS ", " 3RDS " },
        { " FOURTH ", " 4TH " },
        { " FIFTH ", " 5TH " },
        { " FIFTHS ", " 5THS " },
        { " SIXTH ", " 6TH " },
        { " SEVENTH ", " 7TH " },
        { " LOOS ", " LOOSE " },
        { " YUR ", " YOUR " },
        { "  ", " " },
    };

    for (auto& p : pairs)
        table.add (p[0], p[1]);
}
