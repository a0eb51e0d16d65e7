// The table of the program's texts and their English renderings, the choice of
// language at start and the lookup every shown text goes through. Read on
// every message box and painted text; in the program's own language the lookup
// is one comparison.
//
// Sections: table - lookup - choosing the language
#include "platform/texts.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

/*==========================================================================
** Table
**========================================================================*/

// Every text the program writes in Russian, grouped by the folder that shows
// it. A format keeps its conversions, in the same order, in both columns.
constexpr TextRendering kTexts[] = {
    /* synthesis */
    {"Неверно задан wAlphabetSize!\n\nЭталонов не может быть больше 20.",
     "Invalid wAlphabetSize!\n\nThere cannot be more than 20 etalons."},
    {"Неверно задан wImpulseSize!\n\nДлина эталона должна быть не меньше 1.",
     "Invalid wImpulseSize!\n\nThe etalon length must be at least 1."},
    {"Неверно задан wAmplitude!\n\nАмплитуда должна быть не меньше 1.",
     "Invalid wAmplitude!\n\nThe amplitude must be at least 1."},
    {"Предварительное освобождение памяти!", "Freeing the memory first!"},
    {"Отладка", "Debugging"},
    {"Не могу выделить память!", "Cannot allocate memory!"},
    {"Неверно задан wEtalonsQuantity!\n\nwEtalonsQuantity: %d (от 1 до %d)",
     "Invalid wEtalonsQuantity!\n\nwEtalonsQuantity: %d (from 1 to %d)"},
    {"Неверно задан wTmin!\n\nwTmin: %d, wTmax: %d (нужно 1 <= wTmin <= wTmax)",
     "Invalid wTmin!\n\nwTmin: %d, wTmax: %d (needs 1 <= wTmin <= wTmax)"},
    {"Неверно задан dwSeriesSize!\n\ndwSeriesSize: %d (от 1 до %d)",
     "Invalid dwSeriesSize!\n\ndwSeriesSize: %d (from 1 to %d)"},
    {"Неверно задан wImpulseSize!\n\nwImpulseSize: %d, wTmax: %d, dwSeriesSize: %d"
     " (нужно 1 <= wImpulseSize <= wTmax и wImpulseSize <= dwSeriesSize)",
     "Invalid wImpulseSize!\n\nwImpulseSize: %d, wTmax: %d, dwSeriesSize: %d"
     " (needs 1 <= wImpulseSize <= wTmax and wImpulseSize <= dwSeriesSize)"},
    {"Нет результатов статистического моделирования!", "No statistical simulation results!"},
    {"Нет памяти для newSeriesHeader!", "No memory for newSeriesHeader!"},
    {"Нет памяти для newSeriesHeader->lpPureData!", "No memory for newSeriesHeader->lpPureData!"},
    {"Нет памяти для newSeriesHeader->lpPulsesList!", "No memory for newSeriesHeader->lpPulsesList!"},
    {"Несовместимые входные параметры!\n\ndwSeriesSize: %d [%d]\nwImpulseSize: %d [%d]\n"
     "wMinPulses: %d [%d]\nwMaxPulses: %d [%d]\nwImpulseQuantity: %d\n\n",
     "Incompatible input parameters!\n\ndwSeriesSize: %d [%d]\nwImpulseSize: %d [%d]\n"
     "wMinPulses: %d [%d]\nwMaxPulses: %d [%d]\nwImpulseQuantity: %d\n\n"},
    {"Заголовок ряда не подготовлен для этих параметров!", "The series header is not prepared for these parameters!"},
    {"Неверно задан wImpulseSize!\n\nэталон %d: %d отсчётов, wImpulseSize: %d",
     "Invalid wImpulseSize!\n\netalon %d: %d samples, wImpulseSize: %d"},
    {"Неверно задано подмножество!\n\nwSubsetInitPosition: %d (не меньше 1)\nwSubsetLength: %d (не больше %d)",
     "Invalid subset!\n\nwSubsetInitPosition: %d (at least 1)\nwSubsetLength: %d (at most %d)"},
    {"Нет памяти для PartialEnergy!", "No memory for PartialEnergy!"},
    {"Не могу выделить память для lpSeriesHeader!", "Cannot allocate memory for lpSeriesHeader!"},
    {"Неверно задана длина подмножества!\n\nдлина: %d (от 0 до %d)",
     "Invalid subset length!\n\nlength: %d (from 0 to %d)"},
    {"Неверно заданы ёмкости подмножеств!", "Invalid subset capacities!"},
    {"Неверно задана длина подмножества!", "Invalid subset length!"},
    {"Выбранное подмножество длиннее wMaxPulses!", "The selected subset is longer than wMaxPulses!"},
    {"Нет памяти для lpSeriesHeader->selectedSubsetSize!", "No memory for lpSeriesHeader->selectedSubsetSize!"},
    {"Нет памяти для lpSeriesHeader->selectedSubsetList!", "No memory for lpSeriesHeader->selectedSubsetList!"},
    {"Нет памяти для newList!", "No memory for newList!"},

    /* detection */
    {"Нет памяти для newChainsHeader!", "No memory for newChainsHeader!"},
    {"Нет памяти для newChainsHeader->distance!", "No memory for newChainsHeader->distance!"},
    {"Нет памяти для newChainsHeader->pulsesList!", "No memory for newChainsHeader->pulsesList!"},
    {"Нет памяти для newChainsHeader->pulsesList[0]!", "No memory for newChainsHeader->pulsesList[0]!"},
    {"Не определен lpChainsHeader!", "lpChainsHeader is not defined!"},
    {"Не определен lpSeriesHeader!", "lpSeriesHeader is not defined!"},
    {"Не определен Alphabet!", "Alphabet is not defined!"},
    {"Неверно задан wRequiredQuantity!\n\nwRequiredQuantity: %d (нужен хотя бы один эталон)",
     "Invalid wRequiredQuantity!\n\nwRequiredQuantity: %d (at least one etalon is needed)"},
    {"Неверно задан lpRequiredList!\n\nэлемент %d: %d (от 1 до %d)",
     "Invalid lpRequiredList!\n\nentry %d: %d (from 1 to %d)"},
    {"Неверно задан wImpulseSize!\n\nwImpulseSize: %d, dwSeriesSize: %d",
     "Invalid wImpulseSize!\n\nwImpulseSize: %d, dwSeriesSize: %d"},
    {"Неверно задан wImpulseQuantity!\n\nwImpulseQuantity: %d (от 1 до %d)",
     "Invalid wImpulseQuantity!\n\nwImpulseQuantity: %d (from 1 to %d)"},
    {"Неверно задан wTmin!\n\nwTmin: %d: цепочка может содержать до %d импульсов, а в ряду есть место только для %d",
     "Invalid wTmin!\n\nwTmin: %d: a chain may hold up to %d pulses, but the series has room for only %d"},
    {"Нет памяти для ppDw!", "No memory for ppDw!"},
    {"Нет памяти для ppDw[m]!", "No memory for ppDw[m]!"},
    {"Нет памяти для ppDw[]!", "No memory for ppDw[]!"},
    {"Нет памяти для indexes!", "No memory for indexes!"},
    {"Нет памяти для EtalonsPartialEnergy!", "No memory for EtalonsPartialEnergy!"},
    {"Нет памяти для G_on_layers!", "No memory for G_on_layers!"},
    {"Неверно задан wReservedSubsetsUsed!\n\nwReservedSubsetsUsed: %d (нужен хотя бы один кортеж)",
     "Invalid wReservedSubsetsUsed!\n\nwReservedSubsetsUsed: %d (at least one tuple is needed)"},
    {"Неверно задан selectedSubsetArraySize!\n\nкортеж %d: %d эталонов (от 1 до 32767)",
     "Invalid selectedSubsetArraySize!\n\ntuple %d: %d etalons (from 1 to 32767)"},
    {"Неверно задан wSelectedSubsetLength!\n\nwSelectedSubsetLength: %d (от 1 до 32767)",
     "Invalid wSelectedSubsetLength!\n\nwSelectedSubsetLength: %d (from 1 to 32767)"},
    {"Неверно задан selectedSubsetArray!\n\nкортеж %d, элемент %d: %d (от 1 до %d)",
     "Invalid selectedSubsetArray!\n\ntuple %d, entry %d: %d (from 1 to %d)"},
    {"Неверно задан selectedSubset!\n\nэлемент %d: %d (от 1 до %d)",
     "Invalid selectedSubset!\n\nentry %d: %d (from 1 to %d)"},

    /* simulation */
    {"Нет памяти для newRestErrorHeader!", "No memory for newRestErrorHeader!"},
    {"Нет памяти для newRestErrorHeader->lpNoiseLevel!", "No memory for newRestErrorHeader->lpNoiseLevel!"},
    {"Нет памяти для newRestErrorHeader->lpErrors!", "No memory for newRestErrorHeader->lpErrors!"},
    {"Нет памяти для newRestErrorHeader->lpErrors[]!", "No memory for newRestErrorHeader->lpErrors[]!"},
    {"Не определен lpErrorHeader!", "lpErrorHeader is not defined!"},
    {"Неверно задан wVariousPulsesNumber!", "Invalid wVariousPulsesNumber!"},
    {"Неверно задан wNoiseLevels!", "Invalid wNoiseLevels!"},
    {"Нет RestoreErrorHeader!", "No RestoreErrorHeader!"},
    {"Не могу выделить память для lpCutOffSeriesHeader!", "Cannot allocate memory for lpCutOffSeriesHeader!"},
    {"Ошибка initRestErrHeader!", "Error initRestErrHeader!"},
    {"Ошибка addInitRestErrHeader!", "Error addInitRestErrHeader!"},
    {"Не определен wNoiseSeed!", "wNoiseSeed is not defined!"},
    {"Не определен Alphabet!\n\nwAlphabetSize: %d", "Alphabet is not defined!\n\nwAlphabetSize: %d"},
    {"Неверно задан repeats!\n\nrepeats: %d (от 1 до 65535)", "Invalid repeats!\n\nrepeats: %d (from 1 to 65535)"},
    {"Неверно задан Alphabet!\n\nэталон %d: %d отсчётов, длина эталона: %d",
     "Invalid Alphabet!\n\netalon %d: %d samples, etalon length: %d"},
    {"Неверно заданы параметры ряда!\n\ndwSeriesSize: %d, wTmin: %d, wTmax: %d, длина эталона: %d\n"
     "(нужно 1 <= wTmin <= wTmax, длина эталона <= wTmax и <= dwSeriesSize)",
     "Invalid series parameters!\n\ndwSeriesSize: %d, wTmin: %d, wTmax: %d, etalon length: %d\n"
     "(needs 1 <= wTmin <= wTmax, etalon length <= wTmax and <= dwSeriesSize)"},
    {"Не подготовлен lpSeriesHeader (getCutOffSeriesHeader)!",
     "lpSeriesHeader is not prepared (getCutOffSeriesHeader)!"},
    {"Неверно задано число импульсов!\n\nчисло импульсов: %d (столбец %d из %d)\n"
     "допустимо от %d до %d при dwSeriesSize: %d, wTmin: %d, wTmax: %d, длина эталона: %d",
     "Invalid number of pulses!\n\nnumber of pulses: %d (column %d of %d)\n"
     "admissible from %d to %d with dwSeriesSize: %d, wTmin: %d, wTmax: %d, etalon length: %d"},
    {"Неверно задан selectedSubset!\n\n(номера эталонов от 1 до %d)",
     "Invalid selectedSubset!\n\n(etalon numbers from 1 to %d)"},
    {"Неверно задан selectedSubsetArray!\n\nкортеж %d: %d эталонов (номера от 1 до %d)",
     "Invalid selectedSubsetArray!\n\ntuple %d: %d etalons (numbers from 1 to %d)"},
    {"Ошибка испытания: детектор прерван исключением!", "Trial failed: the detector was stopped by an exception!"},
    {"Нет памяти для испытаний!", "No memory for the trials!"},
    {"Ошибка lpEtalonNumbersList!", "Error lpEtalonNumbersList!"},
    {"Не могу выделить память для сумм по ячейкам!", "Cannot allocate memory for the cell sums!"},

    /* shell */
    {"Нет памяти для lpEtalonSequence!", "No memory for lpEtalonSequence!"},
    {"Нет памяти для lpNewEtalonSequence!", "No memory for lpNewEtalonSequence!"},
    {"Нет памяти для lpRequiredList!", "No memory for lpRequiredList!"},
    {"Не могу создать ряд!", "Cannot create the series!"},
    {"Ошибка addToChainsHeader!", "Error addToChainsHeader!"},
    {"Create series parameters:\nдлина серии: %d\nwTmin: %d\nwTmax: %d\nдлина эталона: %d\n"
     "MinPulses: %d -> %d\nMaxPulses: %d -> %d\n\npulses: %d, from %d to %d incr %d \n"
     "noise level: from %d to %d incr %d\nnumber of repeats: %d\n",
     "Create series parameters:\nseries length: %d\nwTmin: %d\nwTmax: %d\netalon length: %d\n"
     "MinPulses: %d -> %d\nMaxPulses: %d -> %d\n\npulses: %d, from %d to %d incr %d \n"
     "noise level: from %d to %d incr %d\nnumber of repeats: %d\n"},

    /* display */
    {"Неверно задан wTmin!", "Invalid wTmin!"},
    {"Неверно задан wTmax!", "Invalid wTmax!"},
    {"Нет памяти для newParamsHeader!", "No memory for newParamsHeader!"},
    {"Нет памяти для newParamsHeader->pulsesSelectedAreas!", "No memory for newParamsHeader->pulsesSelectedAreas!"},
    {"Нет памяти для ButtonsWhileSelectedSubsetRect!", "No memory for ButtonsWhileSelectedSubsetRect!"},
    {"Нет памяти для possibleSubsetRect!", "No memory for possibleSubsetRect!"},
    {"Нет памяти для selectedSubset!", "No memory for selectedSubset!"},
    {"Нет памяти для selectedSubsetArraySize!", "No memory for selectedSubsetArraySize!"},
    {"Нет памяти для possibleSubsetArrayRect!", "No memory for possibleSubsetArrayRect!"},

    /* snapshot */
    {"Проблемы при выполнении GetObject", "GetObject failed"},
    {"Нет памяти для BITMAPINFO", "No memory for BITMAPINFO"},
    {"Нет памяти для буфера строки!", "No memory for the line buffer!"},
    {"Нет памяти для кодов строки!", "No memory for the line codes!"},
    {"Неверно задан SnapshotImage!", "Invalid SnapshotImage!"},

    /* platform */
    {"Не могу выделить память!\n\nСообщение 0x%04X не выполнено.",
     "Cannot allocate memory!\n\nMessage 0x%04X was not carried out."},
    {"Ошибка: %s\n\nСообщение 0x%04X не выполнено.", "Error: %s\n\nMessage 0x%04X was not carried out."},
};

/*==========================================================================
** Lookup
**========================================================================*/

Language gLanguage = Language::Own;  // written once at start (setLanguage), read by every thread

// The English rendering of each text, made on first use (thread-safe static).
const std::unordered_map<std::string_view, std::string_view>& englishOf()
{
    static const std::unordered_map<std::string_view, std::string_view> map = [] {
        std::unordered_map<std::string_view, std::string_view> m;
        for (const TextRendering& t : kTexts)
            m.emplace(t.text, t.english);
        return m;
    }();
    return map;
}

} // namespace

std::span<const TextRendering> textRenderings()
{
    return kTexts;
}

void setLanguage(Language language)
{
    gLanguage = language;
    if (language == Language::English)
        englishOf();  // made now, before any worker thread asks
}

Language currentLanguage()
{
    return gLanguage;
}

const char* shownText(const char* text)
{
    if (gLanguage == Language::Own || !text)
        return text;
    const auto& map = englishOf();
    const auto found = map.find(text);
    return found == map.end() ? text : found->second.data();  // the renderings are literals: NUL-terminated
}

std::string_view shownText(std::string_view text)
{
    if (gLanguage == Language::Own)
        return text;
    const auto& map = englishOf();
    const auto found = map.find(text);
    return found == map.end() ? text : found->second;
}

/*==========================================================================
** Choosing the language
**========================================================================*/

bool languageNamed(std::string_view name, Language& language)
{
    if (name == "en")
        language = Language::English;
    else if (name == "ru")
        language = Language::Own;
    else
        return false;
    return true;
}

namespace {

std::string unknownLanguage(const std::string& where, std::string_view name)
{
    return where + ": unknown language \"" + std::string(name) + "\" (en: English, ru: the program's own texts)";
}

} // namespace

std::string takeLanguageOption(int& argc, char** argv, const char* environment, Language& language)
{
    Language chosen = language;
    if (environment && environment[0] && !languageNamed(environment, chosen))
        return unknownLanguage("PULSEBENCH_LANG", environment);
    std::vector<char*> kept(argv, argv + std::min(argc, 1));  // argv[0], the program's name, stays
    for (int i = 1; i < argc; i++) {
        const std::string_view arg = argv[i];
        std::string_view name;
        if (arg == "--lang") {
            if (i + 1 >= argc)
                return "--lang needs a language: en or ru";
            name = argv[++i];
        } else if (arg.starts_with("--lang=")) {
            name = arg.substr(7);
        } else {
            kept.push_back(argv[i]);
            continue;
        }
        if (!languageNamed(name, chosen))
            return unknownLanguage("--lang", name);
    }
    std::copy(kept.begin(), kept.end(), argv);
    argc = static_cast<int>(kept.size());
    argv[argc] = nullptr;
    language = chosen;
    return "";
}
