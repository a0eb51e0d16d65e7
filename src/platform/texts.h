// The languages the program speaks: the one table from each of its own texts
// (message boxes, standard error, menus, dialog titles and labels, painted
// texts) to its English rendering, and the one function that gives the text to
// show. The program's own texts are the default, shown character for
// character. Free of Qt; the engine, the window layer and app/ call it.
//
// Where a text is looked up: a text handed to MessageBoxA, a menu item, a
// dialog title or label and a painted text are looked up where they are shown;
// a text that is formatted, or kept to be shown later (an error string), is
// looked up where it is written: the format and the pieces, never the finished
// text, so that the arguments keep their order and values.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/*---- Languages ----*/
enum class Language : uint8_t {
    Own,      // the program's own texts, as written in its sources (the default)
    English,  // the English rendering of every text the table holds
};

// One entry of the table: a text as the program writes it, and its English rendering.
struct TextRendering {
    const char* text;     // the program's own text, UTF-8, character for character (a format keeps its %-conversions)
    const char* english;  // its English rendering: non-empty, no Cyrillic, the same conversions in the same order
};

// Every entry, in the order of the sources (tests walk it).
std::span<const TextRendering> textRenderings();

// The language of every text shown from now on. Set once at start, before any
// worker thread runs (the lookups read it without a lock).
void setLanguage(Language language);
Language currentLanguage();

// The text to show for `text` in the current language: its English rendering
// when English is chosen and the table holds `text`, otherwise `text` itself
// (the same pointer; null stays null). A printf format keeps its checks.
const char* shownText(const char* text) __attribute__((format_arg(1)));
// The same for a text given by its bytes (a painted text of a given length).
std::string_view shownText(std::string_view text);

/*---- Choosing the language ----*/

// The language a name selects: "en" English, "ru" the program's own texts.
// False for any other name.
bool languageNamed(std::string_view name, Language& language);

// The language of a start of the program: PULSEBENCH_LANG (`environment`, null
// when unset or empty), then `--lang NAME` or `--lang=NAME` anywhere on the
// command line, the last one winning. Every --lang is taken out of argv (argc
// shrinks, argv[argc] stays null) before the other parsers see it. Returns ""
// with `language` set, or why the choice was refused (`language`, argc and
// argv untouched).
std::string takeLanguageOption(int& argc, char** argv, const char* environment, Language& language);
