#pragma once

#include <juce_graphics/juce_graphics.h>

// The application's one fixed set of colours. Every user-interface file draws
// with these names; nothing reads colours from settings or files.
//
// Several roles share a value on purpose (0xff42545e is the dark slate of text
// and outlines, 0xffdae1e6 the light panel background): each role keeps its own
// name so that it can change alone.
//
// Every entry is a literal, including those that repeat or derive from another
// entry (named in the comment): juce::Colour is not a constant expression, and a
// derived entry computed at start-up could see its source before that source is
// initialised. The alpha-derived entries keep the alpha byte truncated
// (trunc (alpha x 255.996)); the framework's withAlpha() now rounds.

inline const juce::Colour paletteColour001 { 0xffedce83u };
inline const juce::Colour paletteColour002 { 0xffeaeef0u };
inline const juce::Colour paletteColour003 { 0xffb7bfc4u };
inline const juce::Colour paletteColour004 { 0xff95c7feu };
inline const juce::Colour paletteColour005 { 0xffeeeebbu };
inline const juce::Colour paletteColour006 { 0xffd7c48cu };
inline const juce::Colour paletteColour007 { 0xffccd3d7u };
inline const juce::Colour paletteColour008 { 0xffe7edf1u };
inline const juce::Colour paletteColour009 { 0xff98b8dau };
inline const juce::Colour paletteColour010 { 0x33000000u };
inline const juce::Colour paletteColour011 { 0xff595959u };
inline const juce::Colour paletteColour012 { 0xff406a80u };
inline const juce::Colour paletteColour013 { 0xff406a80u };
inline const juce::Colour paletteColour014 { 0xffca0000u };
inline const juce::Colour paletteColour015 { 0xff80919cu };
inline const juce::Colour paletteColour016 { 0xff000000u };
inline const juce::Colour paletteColour017 { 0xff4b5f6eu };
inline const juce::Colour paletteColour018 { 0xffb2c0cau };
inline const juce::Colour paletteColour019 { 0xffeaeef0u };
inline const juce::Colour paletteColour020 { 0xffdbe2e6u };
inline const juce::Colour paletteColour021 { 0xffbecdd2u };
inline const juce::Colour paletteColour022 { 0xff35c8ffu };
inline const juce::Colour paletteColour023 { 0xffc86464u };
inline const juce::Colour paletteColour024 { 0xff9d5b63u };
inline const juce::Colour paletteColour025 { 0xffffffffu };
inline const juce::Colour paletteColour026 { 0xffe6eaedu };
inline const juce::Colour paletteColour027 { 0xffe9e9e9u };
inline const juce::Colour paletteColour028 { 0xff75838eu };
inline const juce::Colour paletteColour029 { 0xff086da6u };
inline const juce::Colour paletteColour030 { 0xff8599a3u };
inline const juce::Colour paletteColour031 { 0x4c000000u };
inline const juce::Colour paletteColour032 { 0xffdae1e6u };
inline const juce::Colour paletteColour033 { 0xffff0000u };
inline const juce::Colour paletteColour034 { 0xff000000u };
inline const juce::Colour paletteColour035 { 0xff000000u };
inline const juce::Colour paletteColour036 { 0xffd9d9d9u };
inline const juce::Colour paletteColour037 { 0xffaa6e6eu };
inline const juce::Colour paletteColour038 { 0xff97abbcu };
inline const juce::Colour paletteColour039 { 0x99000000u };
inline const juce::Colour paletteColour040 { 0xff797d80u };
inline const juce::Colour paletteColour041 { 0xffffffffu };
inline const juce::Colour paletteColour042 { 0xff303234u };
inline const juce::Colour paletteColour043 { 0xffcdd8deu };
inline const juce::Colour paletteColour044 { 0xff1a1a1cu };
inline const juce::Colour paletteColour045 { 0xffa2b4c4u };
inline const juce::Colour paletteColour046 { 0xff77a6e0u };
inline const juce::Colour paletteColour047 { 0xff5e8ec9u };
inline const juce::Colour paletteColour048 { 0xff97abbcu };
inline const juce::Colour paletteColour049 { 0xffedce83u };
inline const juce::Colour paletteColour050 { 0xffb6c8d1u };
inline const juce::Colour paletteColour051 { 0xff000000u };
inline const juce::Colour paletteColour052 { 0xff26a2dbu };
inline const juce::Colour paletteColour053 { 0xffc2af77u };
inline const juce::Colour paletteColour054 { 0xff00435au };
inline const juce::Colour paletteColour055 { 0xff828e98u };
inline const juce::Colour paletteColour056 { 0xffffffffu };
inline const juce::Colour paletteColour057 { 0xff939fa8u };
inline const juce::Colour paletteColour058 { 0xffa5a6a7u };
inline const juce::Colour paletteColour059 { 0xffc8c8c8u };
inline const juce::Colour paletteColour060 { 0xfffefefeu };
inline const juce::Colour paletteColour061 { 0xffdae1d5u };
inline const juce::Colour paletteColour062 { 0xffac9961u };
inline const juce::Colour paletteColour063 { 0xfffefefeu };
inline const juce::Colour paletteColour064 { 0xffe6eaedu };
inline const juce::Colour paletteColour065 { 0xff80919cu };
inline const juce::Colour paletteColour066 { 0xffffffffu };
inline const juce::Colour paletteColour067 { 0xffd7dcdfu };
inline const juce::Colour paletteColour068 { 0xffa2b5c4u };
inline const juce::Colour paletteColour069 { 0xff555555u };
inline const juce::Colour paletteColour070 { 0xff000000u };
inline const juce::Colour paletteColour071 { 0xff42545eu };
inline const juce::Colour paletteColour072 { 0xff98b8dau };
inline const juce::Colour paletteColour073 { 0xff000000u };
inline const juce::Colour paletteColour074 { 0xffffffffu };
inline const juce::Colour paletteColour075 { 0xffb2c0cau };
inline const juce::Colour paletteColour076 { 0xff9fb3bdu };
inline const juce::Colour paletteColour077 { 0xffdf4526u };
inline const juce::Colour paletteColour078 { 0xff0000c8u };
inline const juce::Colour paletteColour079 { 0xff000000u };
inline const juce::Colour paletteColour080 { 0xffeeeeeeu };
inline const juce::Colour paletteColour081 { 0xffffffffu };
inline const juce::Colour paletteColour082 { 0xff374c57u };
inline const juce::Colour paletteColour083 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour084 { 0xff78848cu };   // paletteColour083.brighter (0.4f)
inline const juce::Colour paletteColour085 { 0xffe6eaedu };   // paletteColour064
inline const juce::Colour paletteColour086 { 0x00000000u };   // transparent black; a literal, so it needs no other file initialised first
inline const juce::Colour paletteColour087 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour088 { 0xb342545eu };   // paletteColour071 at alpha 0.7
inline const juce::Colour paletteColour089 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour090 { 0xffdae1e6u };   // paletteColour032
inline const juce::Colour paletteColour091 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour092 { 0xffe6eaedu };   // paletteColour064
inline const juce::Colour paletteColour093 { 0xffdae1e6u };   // paletteColour032
inline const juce::Colour paletteColour094 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour095 { 0xff797d80u };   // paletteColour040
inline const juce::Colour paletteColour096 { 0xffdae1e6u };   // paletteColour032
inline const juce::Colour paletteColour097 { 0xff9ba0a4u };   // paletteColour090.darker (0.4f)
inline const juce::Colour paletteColour098 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour099 { 0xff42545eu };   // paletteColour071
inline const juce::Colour paletteColour100 { 0xff9fb3bdu };   // paletteColour076
inline const juce::Colour paletteColour101 { 0xff8599a3u };   // paletteColour030
inline const juce::Colour paletteColour102 { 0xffffffffu };   // paletteColour074
inline const juce::Colour paletteColour103 { 0xffbecdd2u };   // paletteColour021
inline const juce::Colour paletteColour104 { 0x7f69c3f5u };   // 0x69c3f5 at alpha 0.5
inline const juce::Colour paletteColour105 { 0x7f003755u };   // 0x003755 at alpha 0.5
inline const juce::Colour paletteColour106 { 0xffdae1e6u };   // paletteColour090
inline const juce::Colour paletteColour107 { 0xff406a80u };   // paletteColour013
inline const juce::Colour paletteColour108 { 0xff086da6u };   // paletteColour029
inline const juce::Colour paletteColour109 { 0xffe9e9e9u };   // paletteColour027
inline const juce::Colour paletteColour110 { 0xff80919cu };   // paletteColour065
inline const juce::Colour paletteColour111 { 0xffe9e9e9u };   // paletteColour027
inline const juce::Colour paletteColour112 { 0xffdae1e6u };   // paletteColour032
inline const juce::Colour paletteColour113 { 0xff42545eu };   // paletteColour071
