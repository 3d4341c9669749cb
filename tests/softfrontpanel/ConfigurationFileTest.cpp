// Saved configurations as text: what is written reads back unchanged, anything a file may hold
// that is not a configuration is refused naming its line, and what does not fit the cards at
// hand is told in words a person can act on.
#include "ConfigurationFile.h"
#include "ConfigurationKeys.h"
#include "ConfigurationMismatches.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace K = ConfigurationKeys;

// Saving and opening settings through the window is the ConfigurationSaveOpen workflow's; here a
// hand-edited file (comments, blanks around names, Windows line ends) and the line a value was
// found on, what a value or key may not hold, and numbers that read back exactly.
TEST(ConfigurationFile, ReadsAHandEditedFileAndNumbersBackExactly) {
    ConfigurationFile file;
    std::string error;
    ASSERT_TRUE(
        ConfigurationFile::parse("# mine\r\n[View]\r\n ; old\r\n  Symbols = Large \r\n", file, error));
    EXPECT_EQ(std::tuple(file.find("View", "Symbols")->value, file.find("View", "Symbols")->line),
              std::tuple(std::string("Large"), 4));
    EXPECT_THROW(file.set(K::kStorage, "FileName", "a\nb"), std::invalid_argument);
    EXPECT_THROW(file.set(K::kStorage, "File=Name", "a"), std::invalid_argument);
    for (double value : {0.5, -10.24, 0.1, 1e-12, 1e12, 2.0 / 3.0, std::numeric_limits<double>::denorm_min()})
        EXPECT_EQ(K::toNumber(K::fromNumber(value)), value) << K::fromNumber(value);
    EXPECT_EQ(K::fromNumber(0.5), "0.5");
}

// Neither a configuration nor the panel's settings: refused, naming the line.
TEST(ConfigurationFile, RefusesWhatIsNoConfigurationAndKeysOrValuesNotOfTheirKind) {
    std::string many = "[View]\n";
    for (std::size_t i = 0; i <= ConfigurationFile::kMaxEntries; ++i)
        many += "k" + std::to_string(i) + "=1\n";
    std::vector<std::pair<std::string, std::string>> refusals = {
        {"Symbols=Large\n", "line 1: a key before the first [Section]"},
        {"[View]\n\nSymbols Large\n", "line 3: expected key=value or [Section]"},
        {"[View]\n=Large\n", "line 2: expected key=value or [Section]"},
        {"[View\n", "line 1: a section must be written [Name]"},
        {"[View]\nSymbols=Large\nSymbols=None\n", "line 3: [View] Symbols is given twice"},
        {std::string("[View]\nSymbols=La\0rge\n", 20), "line 2: holds a control character"},
        {"[View]\nUnitName=" + std::string(ConfigurationFile::kMaxLineLength, 'x') + "\n",
         "line 2: longer than 4096 characters"},
        {std::string(ConfigurationFile::kMaxBytes + 1, '\n'), "the file is larger than 1024 KiB"},
        {many, "line 10002: more than 10000 settings"},
        {"[Plots]\nSymbols=Large\n", "line 2: [Plots] unknown section"},
        {"[Card64]\nChannel9.Gain=1\n", "line 2: [Card64] Channel9.Gain: unknown key"},
        {"[Card2]\nChannel1.Enabled=yes\n", "line 2: [Card2] Channel1.Enabled: expected true or false"},
        {"[Card2]\nChannel1.Colour=red\n", "line 2: [Card2] Channel1.Colour: expected a colour #rrggbb"},
        {"[Card2]\nChannel1.Gain=\n",
         "line 2: [Card2] Channel1.Gain: expected one of the panel's choices (1 to 64 characters)"},
        {"[Storage]\nFileName=" + std::string(1025, 'x') + "\n",
         "line 2: [Storage] FileName: longer than 1024 characters"},
    };
    for (const std::string section : {"Card0", "Card65", "Card01", "Card1x"})
        refusals.push_back({"[" + section + "]\nSerial=1\n", "line 2: [" + section + "] unknown section"});
    // The trigger level's range is the panel's; a decimal comma or a number past it is no level.
    for (const std::string level : {"0,5", "10.001", "nan", "inf", "1e400", "0.5V", ""})
        refusals.push_back({"[Acquisition]\nTriggerLevel=" + level + "\n",
                            "line 2: [Acquisition] TriggerLevel: expected a number from -10 to 10"});
    for (const auto &[text, why] : refusals) {
        ConfigurationFile file;
        std::string error;
        EXPECT_FALSE(ConfigurationFile::parse(text, file, error) && K::check(file, error))
            << text.substr(0, 60);
        EXPECT_EQ(error, why);
    }
}

// The Configuration workflows show the text of a card of another serial number, a gain not
// offered and a card missing; here the rest: a file without a serial number, a setting with
// nothing kept.
TEST(ConfigurationMismatches, TellsWhichCardsAndSettingsDoNotFit) {
    ConfigurationMismatches m;
    // The second written by hand without a serial number.
    EXPECT_TRUE(m.matchCard(0, 1, "71500021", "71500021") && m.matchCard(0, 1, "", "71500021") && m.empty());
    m.notOffered("", "Sine fitting", "3 parameter", "");
    EXPECT_EQ(m.text(), "Sine fitting \"3 parameter\" is not offered here");
}
