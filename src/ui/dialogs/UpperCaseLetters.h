#pragma once

// Upper case of one character by the Unicode simple case mappings, the same on every
// machine and under every locale (the C library's rule knows only ASCII under the C
// locale). Characters without a one-character upper case stay as they are.
char32_t upperCaseLetter (char32_t c) noexcept;
