#include "filecrypt/key_rules.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace brindlecot {
namespace {

// ISO/IEC 7064 hybrid MOD 17,16 written as the standard's validation rule, not as the
// check-digit formula: run the whole string, check character included; it is valid when
// the last intermediate sum is congruent to 1 modulo 16.
bool IsoMod17_16Valid(const std::string& digits) {
    const std::string alphabet = "0123456789ABCDEF";
    int product = 16;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto value = static_cast<int>(alphabet.find(digits[i]));
        if (value < 0)
            return false;
        const int sum = product + value;
        if (i + 1 == digits.size())
            return sum % 16 == 1;
        const int reduced = sum % 16 == 0 ? 16 : sum % 16;
        product = (2 * reduced) % 17;
    }
    return false;
}

std::vector<std::string> SamplePrefixes() {
    std::vector<std::string> prefixes = {"0000000", "1234567", "ABCDEF0",
                                         "FFFFFFF", "8000001", "0F0F0F0"};
    std::mt19937 generator(20261207);
    std::uniform_int_distribution<int> digit(0, 15);
    for (int i = 0; i < 40; ++i) {
        std::string prefix;
        for (int j = 0; j < 7; ++j)
            prefix += "0123456789ABCDEF"[digit(generator)];
        prefixes.push_back(prefix);
    }
    return prefixes;
}

TEST(KeyCheckDigit, ExactlyOneOfTheSixteenCandidatesIsAcceptedAndItIsTheStandardsOne) {
    const std::string alphabet = "0123456789ABCDEF";
    for (const std::string& prefix : SamplePrefixes()) {
        int accepted = 0;
        for (char candidate : alphabet) {
            const std::string key = prefix + candidate;
            const bool standardSays = IsoMod17_16Valid(key);
            const KeyEntryCheck check = CheckKeyEntry(key);
            EXPECT_EQ(check.problem == KeyEntryProblem::None, standardSays) << key;
            if (!standardSays) {
                EXPECT_EQ(check.problem, KeyEntryProblem::WrongCheckDigit) << key;
            } else {
                ++accepted;
                EXPECT_EQ(KeyCheckDigit(prefix), static_cast<int>(alphabet.find(candidate))) << key;
            }
        }
        EXPECT_EQ(accepted, 1) << prefix;
    }
}

TEST(KeyCheckDigit, RefusesCharactersOutsideUpperCaseHexadecimal) {
    EXPECT_FALSE(KeyCheckDigit("123456a").has_value());
    EXPECT_FALSE(KeyCheckDigit("12 4567").has_value());
    EXPECT_FALSE(KeyCheckDigit("G000000").has_value());
}

std::string WithCheckDigit(const std::string& prefix) {
    return prefix + "0123456789ABCDEF"[*KeyCheckDigit(prefix)];
}

TEST(CheckKeyEntry, AppliesTheRulesInOrder) {
    EXPECT_EQ(CheckKeyEntry("").problem, KeyEntryProblem::Empty);
    // Length is tested before the characters: even hexadecimal 7 or 9 digits are too short/long.
    EXPECT_EQ(CheckKeyEntry("1234567").problem, KeyEntryProblem::WrongLength);
    EXPECT_EQ(CheckKeyEntry(WithCheckDigit("1234567") + "0").problem, KeyEntryProblem::WrongLength);
    EXPECT_EQ(CheckKeyEntry("xyz").problem, KeyEntryProblem::WrongLength);
    EXPECT_EQ(CheckKeyEntry("1234567G").problem, KeyEntryProblem::NotHexadecimal);
    EXPECT_EQ(CheckKeyEntry(" 1234567").problem, KeyEntryProblem::NotHexadecimal);
    // Eight bytes, two of them one GBK character.
    EXPECT_EQ(CheckKeyEntry("\xB0\xB2"
                            "123456")
                  .problem,
              KeyEntryProblem::NotHexadecimal);
}

TEST(CheckKeyEntry, LowerCaseIsAcceptedAndInstalledInUpperCase) {
    const std::string upper = WithCheckDigit("ABCDEF0");
    std::string lower = upper;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const KeyEntryCheck check = CheckKeyEntry(lower);
    EXPECT_EQ(check.problem, KeyEntryProblem::None);
    EXPECT_EQ(check.key, upper);
}

TEST(CheckKeyEntry, SevenZerosTakeOnlyTheirOwnCheckDigit) {
    const std::string good = WithCheckDigit("0000000");
    EXPECT_TRUE(IsoMod17_16Valid(good));
    EXPECT_EQ(CheckKeyEntry(good).problem, KeyEntryProblem::None);
    for (char other : std::string("0123456789abcdefABCDEF")) {
        if (std::toupper(static_cast<unsigned char>(other)) == good.back())
            continue;
        EXPECT_EQ(CheckKeyEntry("0000000" + std::string(1, other)).problem,
                  KeyEntryProblem::WrongCheckDigit);
    }
}

}  // namespace
}  // namespace brindlecot
