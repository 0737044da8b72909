#include <gtest/gtest.h>
#include "ui/ColourPalette.h"

namespace
{
    struct Entry { const juce::Colour* colour; juce::uint32 argb; const char* name; };

    // Every entry with the value it must have, in table order.
    const Entry palette[] =
    {
        { &paletteColour001, 0xffedce83u, "paletteColour001" },
        { &paletteColour002, 0xffeaeef0u, "paletteColour002" },
        { &paletteColour003, 0xffb7bfc4u, "paletteColour003" },
        { &paletteColour004, 0xff95c7feu, "paletteColour004" },
        { &paletteColour005, 0xffeeeebbu, "paletteColour005" },
        { &paletteColour006, 0xffd7c48cu, "paletteColour006" },
        { &paletteColour007, 0xffccd3d7u, "paletteColour007" },
        { &paletteColour008, 0xffe7edf1u, "paletteColour008" },
        { &paletteColour009, 0xff98b8dau, "paletteColour009" },
        { &paletteColour010, 0x33000000u, "paletteColour010" },
        { &paletteColour011, 0xff595959u, "paletteColour011" },
        { &paletteColour012, 0xff406a80u, "paletteColour012" },
        { &paletteColour013, 0xff406a80u, "paletteColour013" },
        { &paletteColour014, 0xffca0000u, "paletteColour014" },
        { &paletteColour015, 0xff80919cu, "paletteColour015" },
        { &paletteColour016, 0xff000000u, "paletteColour016" },
        { &paletteColour017, 0xff4b5f6eu, "paletteColour017" },
        { &paletteColour018, 0xffb2c0cau, "paletteColour018" },
        { &paletteColour019, 0xffeaeef0u, "paletteColour019" },
        { &paletteColour020, 0xffdbe2e6u, "paletteColour020" },
        { &paletteColour021, 0xffbecdd2u, "paletteColour021" },
        { &paletteColour022, 0xff35c8ffu, "paletteColour022" },
        { &paletteColour023, 0xffc86464u, "paletteColour023" },
        { &paletteColour024, 0xff9d5b63u, "paletteColour024" },
        { &paletteColour025, 0xffffffffu, "paletteColour025" },
        { &paletteColour026, 0xffe6eaedu, "paletteColour026" },
        { &paletteColour027, 0xffe9e9e9u, "paletteColour027" },
        { &paletteColour028, 0xff75838eu, "paletteColour028" },
        { &paletteColour029, 0xff086da6u, "paletteColour029" },
        { &paletteColour030, 0xff8599a3u, "paletteColour030" },
        { &paletteColour031, 0x4c000000u, "paletteColour031" },
        { &paletteColour032, 0xffdae1e6u, "paletteColour032" },
        { &paletteColour033, 0xffff0000u, "paletteColour033" },
        { &paletteColour034, 0xff000000u, "paletteColour034" },
        { &paletteColour035, 0xff000000u, "paletteColour035" },
        { &paletteColour036, 0xffd9d9d9u, "paletteColour036" },
        { &paletteColour037, 0xffaa6e6eu, "paletteColour037" },
        { &paletteColour038, 0xff97abbcu, "paletteColour038" },
        { &paletteColour039, 0x99000000u, "paletteColour039" },
        { &paletteColour040, 0xff797d80u, "paletteColour040" },
        { &paletteColour041, 0xffffffffu, "paletteColour041" },
        { &paletteColour042, 0xff303234u, "paletteColour042" },
        { &paletteColour043, 0xffcdd8deu, "paletteColour043" },
        { &paletteColour044, 0xff1a1a1cu, "paletteColour044" },
        { &paletteColour045, 0xffa2b4c4u, "paletteColour045" },
        { &paletteColour046, 0xff77a6e0u, "paletteColour046" },
        { &paletteColour047, 0xff5e8ec9u, "paletteColour047" },
        { &paletteColour048, 0xff97abbcu, "paletteColour048" },
        { &paletteColour049, 0xffedce83u, "paletteColour049" },
        { &paletteColour050, 0xffb6c8d1u, "paletteColour050" },
        { &paletteColour051, 0xff000000u, "paletteColour051" },
        { &paletteColour052, 0xff26a2dbu, "paletteColour052" },
        { &paletteColour053, 0xffc2af77u, "paletteColour053" },
        { &paletteColour054, 0xff00435au, "paletteColour054" },
        { &paletteColour055, 0xff828e98u, "paletteColour055" },
        { &paletteColour056, 0xffffffffu, "paletteColour056" },
        { &paletteColour057, 0xff939fa8u, "paletteColour057" },
        { &paletteColour058, 0xffa5a6a7u, "paletteColour058" },
        { &paletteColour059, 0xffc8c8c8u, "paletteColour059" },
        { &paletteColour060, 0xfffefefeu, "paletteColour060" },
        { &paletteColour061, 0xffdae1d5u, "paletteColour061" },
        { &paletteColour062, 0xffac9961u, "paletteColour062" },
        { &paletteColour063, 0xfffefefeu, "paletteColour063" },
        { &paletteColour064, 0xffe6eaedu, "paletteColour064" },
        { &paletteColour065, 0xff80919cu, "paletteColour065" },
        { &paletteColour066, 0xffffffffu, "paletteColour066" },
        { &paletteColour067, 0xffd7dcdfu, "paletteColour067" },
        { &paletteColour068, 0xffa2b5c4u, "paletteColour068" },
        { &paletteColour069, 0xff555555u, "paletteColour069" },
        { &paletteColour070, 0xff000000u, "paletteColour070" },
        { &paletteColour071, 0xff42545eu, "paletteColour071" },
        { &paletteColour072, 0xff98b8dau, "paletteColour072" },
        { &paletteColour073, 0xff000000u, "paletteColour073" },
        { &paletteColour074, 0xffffffffu, "paletteColour074" },
        { &paletteColour075, 0xffb2c0cau, "paletteColour075" },
        { &paletteColour076, 0xff9fb3bdu, "paletteColour076" },
        { &paletteColour077, 0xffdf4526u, "paletteColour077" },
        { &paletteColour078, 0xff0000c8u, "paletteColour078" },
        { &paletteColour079, 0xff000000u, "paletteColour079" },
        { &paletteColour080, 0xffeeeeeeu, "paletteColour080" },
        { &paletteColour081, 0xffffffffu, "paletteColour081" },
        { &paletteColour082, 0xff374c57u, "paletteColour082" },
        { &paletteColour083, 0xff42545eu, "paletteColour083" },
        { &paletteColour084, 0xff78848cu, "paletteColour084" },
        { &paletteColour085, 0xffe6eaedu, "paletteColour085" },
        { &paletteColour086, 0x00000000u, "paletteColour086" },
        { &paletteColour087, 0xff42545eu, "paletteColour087" },
        { &paletteColour088, 0xb342545eu, "paletteColour088" },
        { &paletteColour089, 0xff42545eu, "paletteColour089" },
        { &paletteColour090, 0xffdae1e6u, "paletteColour090" },
        { &paletteColour091, 0xff42545eu, "paletteColour091" },
        { &paletteColour092, 0xffe6eaedu, "paletteColour092" },
        { &paletteColour093, 0xffdae1e6u, "paletteColour093" },
        { &paletteColour094, 0xff42545eu, "paletteColour094" },
        { &paletteColour095, 0xff797d80u, "paletteColour095" },
        { &paletteColour096, 0xffdae1e6u, "paletteColour096" },
        { &paletteColour097, 0xff9ba0a4u, "paletteColour097" },
        { &paletteColour098, 0xff42545eu, "paletteColour098" },
        { &paletteColour099, 0xff42545eu, "paletteColour099" },
        { &paletteColour100, 0xff9fb3bdu, "paletteColour100" },
        { &paletteColour101, 0xff8599a3u, "paletteColour101" },
        { &paletteColour102, 0xffffffffu, "paletteColour102" },
        { &paletteColour103, 0xffbecdd2u, "paletteColour103" },
        { &paletteColour104, 0x7f69c3f5u, "paletteColour104" },
        { &paletteColour105, 0x7f003755u, "paletteColour105" },
        { &paletteColour106, 0xffdae1e6u, "paletteColour106" },
        { &paletteColour107, 0xff406a80u, "paletteColour107" },
        { &paletteColour108, 0xff086da6u, "paletteColour108" },
        { &paletteColour109, 0xffe9e9e9u, "paletteColour109" },
        { &paletteColour110, 0xff80919cu, "paletteColour110" },
        { &paletteColour111, 0xffe9e9e9u, "paletteColour111" },
        { &paletteColour112, 0xffdae1e6u, "paletteColour112" },
        { &paletteColour113, 0xff42545eu, "paletteColour113" },
    };
}

TEST (ColourPalette, EveryEntryHasItsValue)
{
    ASSERT_EQ (std::size (palette), 113u);
    for (const auto& e : palette)
        EXPECT_EQ (e.colour->getARGB(), e.argb) << e.name << " is 0x" << juce::String::toHexString (e.colour->getARGB());
}

TEST (ColourPalette, DerivedEntriesTruncateLikeTheirRules)
{
    // Brighter and darker truncate toward zero; the alpha-derived entries keep the
    // truncated alpha byte, where today's withAlpha() would round to 0xb2 and 0x80.
    EXPECT_EQ (paletteColour084.getARGB(), 0xff78848cu);
    EXPECT_EQ (paletteColour097.getARGB(), 0xff9ba0a4u);
    EXPECT_EQ (paletteColour088.getARGB(), 0xb342545eu);
    EXPECT_EQ (paletteColour104.getARGB(), 0x7f69c3f5u);
    EXPECT_EQ (paletteColour105.getARGB(), 0x7f003755u);
    EXPECT_EQ (paletteColour071.withAlpha (0.7f).getAlpha(), 0xb2) << "the framework's rounding changed: revisit the literals";

    // Copies follow their source.
    EXPECT_EQ (paletteColour083, paletteColour071);
    EXPECT_EQ (paletteColour090, paletteColour032);
    EXPECT_EQ (paletteColour106, paletteColour090);
}

TEST (ColourPalette, TransparentEntryDrawsNothing)
{
    EXPECT_EQ (paletteColour086, juce::Colours::transparentBlack);
    juce::Image image (juce::Image::ARGB, 8, 8, true);
    {
        juce::Graphics g (image);
        g.fillAll (paletteColour086);
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ (image.getPixelAt (x, y).getARGB(), 0u);
}
