// What the tests of the two languages share: whether a text still holds
// Russian, and a language chosen for one test and given back at its end.
#pragma once

#include <string_view>

#include "platform/texts.h"

// Whether UTF-8 text holds a Cyrillic letter (U+0400..U+04FF: lead bytes D0..D3).
inline bool hasCyrillic(std::string_view s)
{
    for (size_t i = 0; i + 1 < s.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(s[i]), next = static_cast<unsigned char>(s[i + 1]);
        if (c >= 0xD0 && c <= 0xD3 && next >= 0x80 && next <= 0xBF)
            return true;
    }
    return false;
}

// Speaks `language` while it lives; the program's own texts after.
struct SpokenLanguage {
    explicit SpokenLanguage(Language language) { setLanguage(language); }
    ~SpokenLanguage() { setLanguage(Language::Own); }
    SpokenLanguage(const SpokenLanguage&) = delete;
    SpokenLanguage& operator=(const SpokenLanguage&) = delete;
};
