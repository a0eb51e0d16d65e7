// The program's texts in two languages: every Russian string literal of src/
// and app/ has an English rendering in the one table (so a message added
// without one fails here, naming its file and line), the renderings are
// English and keep every conversion and figure, the lookup changes nothing in
// the program's own language, and --lang is taken from anywhere on the
// command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/texts.h"

namespace fs = std::filesystem;

namespace {

/*---- The literals of a C++ source ----*/

struct Literal {
    std::string value;  // the bytes it stands for; adjacent literals joined
    int line;           // where it starts, 1-based
};

// The value of one escape after the backslash at `at`; advances `at` past it.
char unescape(const std::string& s, size_t& at)
{
    const char c = s[at + 1];
    at += 2;
    switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'r': return '\r';
    case '0': return '\0';
    default: return c;  // \" \' \\ and \?
    }
}

bool identifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Every string literal of `src` outside comments and character literals, each
// run of adjacent literals (blanks and comments between) joined into one, as
// the compiler joins them. Raw literals are taken as written; a quote after a
// digit is a digit separator.
std::vector<Literal> literalsOf(const std::string& src)
{
    std::vector<Literal> out;
    bool joinable = false;  // only blanks and comments since the last literal
    int line = 1;
    for (size_t i = 0; i < src.size();) {
        const bool afterWord = i > 0 && identifierChar(src[i - 1]);
        const size_t from = i;
        if (src.compare(i, 2, "//") == 0) {
            i = std::min(src.find('\n', i), src.size());
        } else if (src.compare(i, 2, "/*") == 0) {
            i = std::min(src.find("*/", i + 2), src.size() - 2) + 2;
        } else if (src[i] == '\'' && !(afterWord && std::isdigit(static_cast<unsigned char>(src[i - 1])))) {
            for (i++; i < src.size() && src[i] != '\''; i += src[i] == '\\' ? 2 : 1) {}
            i++;
            joinable = false;
        } else if (src[i] == '"' || (src.compare(i, 2, "R\"") == 0 && !afterWord)) {
            std::string value;
            if (src[i] == 'R') {
                const size_t open = src.find('(', i);
                const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
                const size_t end = src.find(close, open);
                value = src.substr(open + 1, end - open - 1);
                i = end + close.size();
            } else {
                for (i++; i < src.size() && src[i] != '"';)
                    value += src[i] == '\\' ? unescape(src, i) : src[i++];
                i++;
            }
            if (joinable)
                out.back().value += value;
            else
                out.push_back(Literal{value, line});
            joinable = true;
        } else {
            joinable = joinable && std::isspace(static_cast<unsigned char>(src[i]));
            i++;
        }
        line += static_cast<int>(std::count(src.begin() + static_cast<long>(from),
                                            src.begin() + static_cast<long>(std::min(i, src.size())), '\n'));
    }
    return out;
}

// The printf conversions of a format, in order (%% is none), and the figures
// written around them.
std::vector<std::string> conversionsOf(const std::string& format)
{
    static const std::regex conversion(R"(%[-+ #0]*[0-9]*(\.[0-9]+)?(hh|h|ll|l|z|j|t)?[diouxXeEfgGcsp]|%%)");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(format.begin(), format.end(), conversion); it != std::sregex_iterator(); ++it)
        if (it->str() != "%%")
            found.push_back(it->str());
    return found;
}
std::vector<std::string> figuresOf(const std::string& text)
{
    static const std::regex conversion(R"(%[-+ #0]*[0-9]*(\.[0-9]+)?[a-zA-Z])"), figure("[0-9]+");
    const std::string plain = std::regex_replace(text, conversion, "%");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(plain.begin(), plain.end(), figure); it != std::sregex_iterator(); ++it)
        found.push_back(it->str());
    return found;
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(ProgramTexts, TheLiteralScannerJoinsAndUnescapesAsTheCompilerDoes)
{
    const std::string src = "// \"not this\"\n"
                            "char c = '\"'; int n = 0x1'000; /* \"nor\n this\" */\n"
                            "f(\"a\\\"b\\n\"  /* between */ \"c\", 'x', \"d\");\n"
                            "g(R\"x(raw \"quoted\")x\", \"\\\\\");\n";
    const std::vector<Literal> found = literalsOf(src);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].value, "a\"b\nc");
    EXPECT_EQ(found[0].line, 4);
    EXPECT_EQ(found[1].value, "d");
    EXPECT_EQ(found[2].value, "raw \"quoted\"");
    EXPECT_EQ(found[3].value, "\\");
    EXPECT_EQ(found[3].line, 5);
}

// A text added to the program without an English rendering fails here.
TEST(ProgramTexts, EveryRussianLiteralOfTheProgramHasAnEnglishRendering)
{
    std::set<std::string> table;
    for (const TextRendering& t : textRenderings())
        EXPECT_TRUE(table.insert(t.text).second) << "twice in the table: " << t.text;

    std::set<std::string> used;
    const fs::path source(PULSEBENCH_SOURCE);
    for (const char* folder : {"src", "app"})
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(source / folder)) {
            const std::string ext = e.path().extension().string();
            if ((ext != ".cpp" && ext != ".h") || e.path().filename() == "texts.cpp")
                continue;
            for (const Literal& l : literalsOf(readAll(e.path())))
                if (hasCyrillic(l.value)) {
                    used.insert(l.value);
                    EXPECT_TRUE(table.count(l.value))
                        << fs::relative(e.path(), source).string() << ":" << l.line
                        << ": no English rendering in src/platform/texts.cpp for \"" << l.value << "\"";
                }
        }
    EXPECT_GE(used.size(), 90u) << "the scan found too few texts to be reading the sources";
    for (const std::string& text : table)
        EXPECT_TRUE(used.count(text)) << "in the table but no longer in the program: " << text;
}

TEST(ProgramTexts, RenderingsAreEnglishAndKeepEveryConversionAndFigure)
{
    for (const TextRendering& t : textRenderings()) {
        const std::string text = t.text, english = t.english;
        EXPECT_FALSE(english.empty()) << text;
        EXPECT_FALSE(hasCyrillic(english)) << english;
        EXPECT_EQ(conversionsOf(text), conversionsOf(english)) << text << "\n" << english;
        EXPECT_EQ(figuresOf(text), figuresOf(english)) << text << "\n" << english;
    }
}

// In the program's own language nothing changes, not even the pointer; in
// English every text of the table becomes its rendering, once (a rendering is
// its own rendering: a kept text may pass the lookup again), every other text
// stays itself, and a box records the text as shown.
TEST(ProgramTexts, LookupRendersTableTextsOnlyInEnglishAndBoxesRecordWhatWasShown)
{
    std::mt19937 random(18);
    std::set<std::string> table;
    for (const TextRendering& t : textRenderings())
        table.insert(t.text);
    std::vector<std::string> others;  // texts outside the table: cut or grown table texts, random bytes
    for (const TextRendering& t : textRenderings()) {
        const std::string text = t.text;
        std::string bytes(random() % 40, ' ');
        for (char& c : bytes)
            c = static_cast<char>(1 + random() % 255);
        for (const std::string& other : {text.substr(0, random() % text.size()), text + " ", bytes})
            if (!table.count(other))
                others.push_back(other);
    }
    ASSERT_EQ(currentLanguage(), Language::Own);
    EXPECT_EQ(shownText(static_cast<const char*>(nullptr)), nullptr);
    for (const TextRendering& t : textRenderings()) {
        EXPECT_EQ(shownText(t.text), t.text);
        EXPECT_EQ(shownText(std::string_view(t.text)).data(), t.text);
    }
    for (const std::string& other : others)
        EXPECT_EQ(shownText(other.c_str()), other.c_str());

    SpokenLanguage english(Language::English);
    for (const TextRendering& t : textRenderings()) {
        EXPECT_STREQ(shownText(t.text), t.english);
        EXPECT_EQ(shownText(std::string_view(t.text)), t.english);
        EXPECT_EQ(shownText(t.english), t.english);
    }
    for (const std::string& other : others)
        EXPECT_EQ(shownText(other.c_str()), other.c_str());

    RecordingMessageBoxes boxes;
    PlatformWindow window{&boxes, nullptr};
    const TextRendering first = textRenderings()[0];
    MessageBoxA(&window, first.text, "Отладка", MB_OK);
    MessageBoxA(&window, "plain", nullptr, MB_OK);
    const std::vector<MessageRecord> shown = boxes.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, first.english);
    EXPECT_EQ(shown[0].caption, "Debugging");
    EXPECT_EQ(shown[1].text, "plain");
    EXPECT_FALSE(shown[1].hasCaption);
}

// Every way of writing the option at every place among three other words:
// taken out with its value, the rest kept in order; the last one wins; the
// environment counts unless the command line says otherwise; anything else is
// refused with argc, argv and the language untouched.
TEST(LanguageOption, IsTakenFromAnywhereOnTheCommandLineAndAnUnknownOneIsRefused)
{
    const std::vector<std::string> words = {"simulate", "--out", "x"};
    const std::vector<std::vector<std::string>> options = {{"--lang", "en"}, {"--lang=en"}, {"--lang", "ru"}};
    const char* const environments[] = {nullptr, "", "en", "ru", "de"};
    for (const char* environment : environments)
        for (const std::vector<std::string>& option : options)
            for (size_t at = 0; at <= words.size(); at++) {
                std::vector<std::string> args = {"pulsebench"};
                args.insert(args.end(), words.begin(), words.begin() + static_cast<long>(at));
                args.insert(args.end(), option.begin(), option.end());
                args.insert(args.end(), words.begin() + static_cast<long>(at), words.end());
                std::vector<char*> argv;
                for (std::string& a : args)
                    argv.push_back(a.data());
                argv.push_back(nullptr);
                const std::vector<char*> before = argv;
                int argc = static_cast<int>(args.size());
                Language language = Language::Own;
                const std::string refused = takeLanguageOption(argc, argv.data(), environment, language);
                if (environment && std::string(environment) == "de") {
                    EXPECT_NE(refused.find("unknown language \"de\""), std::string::npos) << refused;
                    EXPECT_EQ(argc, static_cast<int>(args.size()));
                    EXPECT_EQ(argv, before);
                    EXPECT_EQ(language, Language::Own);
                    continue;
                }
                ASSERT_EQ(refused, "");
                ASSERT_EQ(argc, 4);
                EXPECT_EQ(argv[4], nullptr);
                EXPECT_STREQ(argv[0], "pulsebench");
                for (size_t i = 0; i < words.size(); i++)
                    EXPECT_EQ(argv[i + 1], words[i]);
                EXPECT_EQ(language, option.back().ends_with("en") ? Language::English : Language::Own);
            }

    const auto take = [](std::vector<std::string> args, const char* environment, Language& language) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        return takeLanguageOption(argc, argv.data(), environment, language);
    };
    Language language = Language::Own;
    EXPECT_EQ(take({"pulsebench"}, "en", language), "");
    EXPECT_EQ(language, Language::English);
    EXPECT_EQ(take({"pulsebench", "--lang", "en", "--lang=ru"}, nullptr, language), "");
    EXPECT_EQ(language, Language::Own);
    EXPECT_EQ(take({"pulsebench", "--lang"}, nullptr, language), "--lang needs a language: en or ru");
    EXPECT_NE(take({"pulsebench", "--lang", "EN"}, nullptr, language).find("unknown language \"EN\""),
              std::string::npos);
    EXPECT_NE(take({"pulsebench", "--lang="}, nullptr, language).find("unknown language \"\""), std::string::npos);
    EXPECT_EQ(language, Language::Own);
}
