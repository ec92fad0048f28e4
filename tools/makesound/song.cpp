// "son": the game's music. C major, 140 beats a minute, 96 bars. An intro
// that builds from pads and arpeggio, the main theme (A), a syncopated
// second theme (B), the theme once more, a half-time bridge around A minor
// with a bell melody, the theme in harmony over a driving beat, and a
// variation that thins out again into the intro's texture, ending on G7 so
// that the loop's first bar is its resolution.

#include "tools/makesound/song.h"

namespace {

// Phrases that melodies use more than once, by name.
const NamedText PHRASES[] = {
    {"opening",
     "E5:2 G5:2 C6:3 B5:1 C6:2 G5:2 E5:4 | D5:2 G5:2 B5:3 A5:1 B5:2 G5:2 D5:4 |"
     "C5:2 E5:2 A5:3 G5:1 A5:2 E5:2 C6:4 | A5:3 G5:1 F5:2 E5:2 F5:2 A5:2 C6:4 |"},
    {"theme",
     "$opening E6:2 D6:2 C6:2 G5:2 E5:2 G5:2 C6:4 | B5:2 A5:2 G5:2 D5:2 B4:2 D5:2 G5:4 |"
     "A5:2 C6:2 A5:2 F5:2 G5:2 A5:2 B5:2 C6:2 | D6:6 B5:2 G5:4 -:4 |"
     "$opening F5:2 A5:2 D6:3 C6:1 D6:2 A5:2 F5:4 | G5:2 B5:2 D6:3 C6:1 B5:2 A5:2 G5:2 B5:2 |"
     "C6:8 G5:2 E5:2 G5:4 | E6:2 D6:2 C6:4 -:8"},
    {"shortTheme",
     "$opening E6:2 D6:2 C6:2 G5:2 E5:2 G5:2 C6:4 | B5:2 A5:2 G5:2 D5:2 B4:2 D5:2 G5:4 |"
     "A5:2 C6:2 A5:2 F5:2 G5:2 A5:2 B5:2 C6:2 | D6:4 B5:4 G5:4 F5:4"},
};

constexpr const char* THEME_CHORDS = "C G Am F C G F-G G C G Am F Dm G C C";

const Section SECTIONS[] = {
    {"intro", 8, "C Am F G C Am F G7", LeadSound::NONE, false, "-:128",
     /*pad*/ "P:6*8",
     /*arp*/ "up:4 up:5 up:6 up:7 up:8*4",
     /*stabs*/ "-*8",
     /*bass*/ "-*4 oct*4",
     /*drums*/ "-*4 hats hats build roll"},

    {"theme", 16, THEME_CHORDS, LeadSound::LEAD, false, "$theme",
     /*pad*/ "P:5*16",
     /*arp*/ "up:7*16",
     /*stabs*/ "-*16",
     /*bass*/ "oct*16",
     /*drums*/ "beat!*1 beat*6 fill beat!*1 beat*6 fill"},

    {"second theme", 16, "F G Em Am F G7 C C7 F G Em Am Dm7 Em7 Fmaj7 G7", LeadSound::LEAD, false,
     "-:2 A5:2 A5:1 G5:1 A5:2 C6:3 A5:3 G5:2 | B5:3 D6:3 B5:2 G5:2 A5:2 B5:4 |"
     "-:2 G5:2 G5:1 E5:1 G5:2 B5:3 G5:3 E5:2 | A5:6 C6:2 E6:2 C6:2 A5:4 |"
     "-:2 A5:2 A5:1 G5:1 A5:2 C6:3 F6:3 E6:2 | D6:3 B5:3 G5:2 D6:2 E6:2 F6:4 |"
     "E6:6 D6:2 C6:2 G5:2 E5:4 | E5:2 G5:2 A#5:4 G5:2 E5:2 C5:4 |"
     "-:2 A5:2 A5:1 G5:1 A5:2 C6:3 A5:3 G5:2 | B5:3 D6:3 B5:2 G5:2 A5:2 B5:4 |"
     "-:2 G5:2 G5:1 E5:1 G5:2 B5:3 G5:3 E5:2 | A5:4 C6:4 E6:4 A5:4 |"
     "F5:2 A5:2 D6:4 C6:2 A5:2 F5:4 | G5:2 B5:2 E6:4 D6:2 B5:2 G5:4 |"
     "A5:2 C6:2 F6:4 E6:2 C6:2 A5:4 | B5:2 D6:2 G6:4 F6:2 D6:2 B5:2 G5:2",
     /*pad*/ "P:4*16",
     /*arp*/ "skip:5*16",
     /*stabs*/ "off*16",
     /*bass*/ "sync*16",
     /*drums*/ "beat2!*1 beat2*6 fill beat2!*1 beat2*6 roll"},

    {"theme again", 8, "C G Am F C G F-G G7", LeadSound::LEAD, false, "$shortTheme",
     /*pad*/ "P:5*8",
     /*arp*/ "skip:7*8",
     /*stabs*/ "off:6*8",
     /*bass*/ "oct*8",
     /*drums*/ "beat!*1 beat*6 fill"},

    {"bridge", 16, "Am F C G Am F G G Am Fmaj7 C G Dm Em F G", LeadSound::BELL, false,
     "E5:8 A5:4 B5:4 | C6:8 A5:4 F5:4 | G5:8 E5:4 G5:4 | D6:12 B5:4 |"
     "E6:8 C6:4 A5:4 | F5:8 A5:4 C6:4 | B5:8 D6:4 B5:4 | G5:16 |"
     "A5:4 C6:4 E6:8 | F6:4 E6:4 C6:8 | E6:4 D6:4 C6:4 G5:4 | B5:8 D6:8 |"
     "A5:4 D6:4 F6:8 | G6:4 E6:4 B5:8 | A5:2 C6:2 F6:2 A6:2 G6:4 F6:4 | G6:8 -:8",
     /*pad*/ "P:8*16",
     /*arp*/ "up:6*8 up:7*8",
     /*stabs*/ "-*16",
     /*bass*/ "-*2 half*12 oct*2",
     /*drums*/ "-*2 hats*2 half*3 halfroll half!*1 half*5 riseA riseB"},

    {"theme in harmony", 16, THEME_CHORDS, LeadSound::LEAD, true, "$theme",
     /*pad*/ "P:5*16",
     /*arp*/ "up:7*16",
     /*stabs*/ "off:7*16",
     /*bass*/ "drive*16",
     /*drums*/ "drive!*1 drive*6 fill drive!*1 drive*6 fill"},

    {"variation", 16, "C Am F G7 C Am Dm G F G Em Am F G F G7", LeadSound::LEAD, false,
     "C6:1 G5:1 E5:1 G5:1 C6:2 E6:2 G6:2 E6:2 C6:4 | A5:1 E5:1 C5:1 E5:1 A5:2 C6:2 E6:2 C6:2 A5:4 |"
     "F5:1 A5:1 C6:1 A5:1 F6:2 E6:2 C6:2 A5:2 C6:4 | B5:2 D6:2 G6:4 F6:2 D6:2 B5:4 |"
     "E6:2 G6:2 E6:2 C6:2 G5:2 C6:2 E6:4 | C6:2 E6:2 C6:2 A5:2 E5:2 A5:2 C6:4 |"
     "D6:2 F6:2 A6:2 F6:2 D6:2 A5:2 F5:2 A5:2 | B5:4 D6:4 G5:8 |"
     "A5:8 C6:8 | B5:8 D6:8 | G5:8 B5:8 | C6:16 | -:64",
     /*pad*/ "P:5*12 P:6*4",
     /*arp*/ "skip:7*8 up:7*4 up:6*2 up:5 up:4",
     /*stabs*/ "push:6*8 -*8",
     /*bass*/ "sync*8 oct*6 -*2",
     /*drums*/ "beat2!*1 beat2*6 fill beat!*1 beat*3 light*2 -*2"},
};

// A grid reads best with its steps in columns.
// clang-format off
const DrumPattern DRUMS[] = {
    // name       kick                snare               clap                hat                 open hat
    {"hats",      "................", "................", "................", "..6...6...6...6.", "................"},
    {"build",     "8...8...8...8...", "................", "................", "..6...6...6...6.", "................"},
    {"roll",      "8...8...8...8...", "........3.4.5678", "................", "..6...6.........", "................"},
    {"beat",      "9...9...9...9...", "....9.......9...", "................", "6363636363636363", "..............5."},
    {"beat2",     "9.....8...9.....", "....9.......9...", "................", "6363636363636363", "......5.......5."},
    {"fill",      "9.......9.......", "....9.....6.7899", "................", "6363636363......", "................"},
    {"half",      "9.........8.....", "........9.......", "................", "5...5...5...5...", "..............4."},
    {"halfroll",  "9.........8.....", "........4.5.6789", "................", "5...5...5.......", "................"},
    {"riseA",     "9...9...9...9...", "3.3.3.3.4.4.4.4.", "................", "5.5.5.5.5.5.5.5.", "................"},
    {"riseB",     "9...9...9...9...", "5555666677778899", "................", "5.5.5.5.........", "................"},
    {"drive",     "9...9...9...9...", "....9.......9...", "....7.......7...", "6464646464646464", "......5.......5."},
    {"light",     "8.......8.......", "................", "................", "..5...5...5...5.", "................"},
};
// clang-format on

const NamedText BASS[] = {
    {"oct", "R.O.R.O.R.O.R.O."},
    {"sync", "R--R--R-F--R--O-"},
    {"half", "R-------F-------"},
    {"drive", "R.ROR.ROR.ROR.FO"},
};

const NamedText ARPS[] = {
    {"up", "0123432101234321"},
    {"skip", "0213243502132435"},
};

const NamedText STABS[] = {
    {"off", "..x-..x-..x-..x-"},
    {"push", "x-.x-.x-..x-.x-."},
};

}  // namespace

std::span<const Section> SongSections() { return SECTIONS; }
std::span<const NamedText> Phrases() { return PHRASES; }
std::span<const DrumPattern> DrumPatterns() { return DRUMS; }
std::span<const NamedText> BassPatterns() { return BASS; }
std::span<const NamedText> ArpPatterns() { return ARPS; }
std::span<const NamedText> StabPatterns() { return STABS; }
