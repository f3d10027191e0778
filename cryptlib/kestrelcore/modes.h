#pragma once

#include <cstdint>

namespace kestrelvane {

// Base modes 0 to 3 each have ten four-digit family codes: first + 10 * k, k = 0..9,
// where first is the family's thousands prefix + 10 + the base mode (1010, 4011, ...).
enum class BaseMode { kNone, kEncrypt, kDecrypt, kSealOrGenerate, kOpen };

struct ModeChoice {
    BaseMode base = BaseMode::kNone;
    bool family_code = false;
};

// prefix_for_two is the thousands prefix of base mode 2: 6000 for sealing files, 9000
// for generating keys.
constexpr ModeChoice ClassifyMode(std::int32_t mode, std::int32_t prefix_for_two) {
    constexpr BaseMode kBases[4] = {BaseMode::kEncrypt, BaseMode::kDecrypt,
                                    BaseMode::kSealOrGenerate, BaseMode::kOpen};
    if (mode >= 0 && mode <= 3)
        return {kBases[mode], false};
    const std::int32_t prefixes[4] = {1000, 4000, prefix_for_two, 8000};
    for (std::int32_t base = 0; base < 4; ++base) {
        const std::int64_t rest = std::int64_t{mode} - prefixes[base] - base;
        if (rest >= 10 && rest <= 100 && rest % 10 == 0)
            return {kBases[base], true};
    }
    return {};
}

inline constexpr std::int32_t kFilePrefixForTwo = 6000;
inline constexpr std::int32_t kKeyPrefixForTwo = 9000;

}  // namespace kestrelvane
