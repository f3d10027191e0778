#include "cryptlib/config/config.h"

#include <cstring>

#include "cryptlib/include/kestrelvane.h"

namespace kestrelvane {
namespace {

// Base64 of the master key before masking, triple-DES-encrypted under the transport key.
constexpr char kMasterKeyText[] = "RiGTRaMt29sp+3BZPs24pGr2ZO+bqsSX";
static_assert(sizeof(kMasterKeyText) == kMasterKeyTextLength + 1);

// Bits 0 to 3 choose masking components 1 to 4.
constexpr std::int32_t kSelector = 7;

constexpr char kTransportKey[] = "36fT:a:EXV/rvkpO]PR(D5zp";
static_assert(sizeof(kTransportKey) == kTransportKeyLength + 1);

constexpr char kMaskingComponents[kMaskingComponentCount][kMaskingComponentLength + 1] = {
    "Mo*~}^|@a|rXS/PF*rzALqmNHsZg-Y^Y", "U2QiCjKP&bET.<s~Kd<}M9C-Jb}]+#dT",
    "]v:.#Z*,#M+kvzb@zrIwWJRHy#6.}^{R", "*ok{@REvxlX},>s<KIe7eZYd!p1a>r49"};

}  // namespace

std::int32_t ReadMKey(char* text, std::size_t capacity, std::int32_t& selector,
                      std::int32_t access_number) {
    if (access_number != kMasterKeyAccessNumber)
        return KESTRELVANE_E_MKEY_ACCESS;
    if (text == nullptr || capacity < kMasterKeyTextLength + 1)
        return KESTRELVANE_E_NULL_ARGUMENT;
    std::memcpy(text, kMasterKeyText, kMasterKeyTextLength);
    selector = kSelector;
    return KESTRELVANE_OK;
}

const char* TransportKey() {
    return kTransportKey;
}

const char* MaskingComponent(int number) {
    if (number < 1 || number > kMaskingComponentCount)
        return nullptr;
    return kMaskingComponents[number - 1];
}

}  // namespace kestrelvane
