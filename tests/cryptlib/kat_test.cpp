// One generic driver for the known-answer files in kat/: every file is a list of cases,
// each a set of "Name = value" lines under a [SECTION] header, separated by blank lines.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "cryptlib/base64/base64.h"
#include "cryptlib/des/des.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "cryptlib/md5/md5.h"
#include "test_support.h"

namespace kestrelvane {
namespace {

using test::Bytes;
using test::FromHex;
using test::ToHex;

struct VectorCase {
    std::string section;
    int line = 0;
    std::map<std::string, std::string> fields;
    const std::string& at(const std::string& name) const {
        static const std::string kMissing;
        auto found = fields.find(name);
        EXPECT_NE(found, fields.end()) << "line " << line << ": missing " << name;
        return found == fields.end() ? kMissing : found->second;
    }
};

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<VectorCase> LoadVectors(const std::string& name) {
    std::ifstream in(std::string(BRINDLECOT_SOURCE_DIR) + "/tests/cryptlib/kat/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<VectorCase> cases;
    VectorCase current;
    std::string section;
    std::string line;
    int number = 0;
    auto flush = [&] {
        if (!current.fields.empty())
            cases.push_back(current);
        current = VectorCase{};
    };
    while (std::getline(in, line)) {
        ++number;
        const std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '#')
            continue;
        if (trimmed.empty()) {
            flush();
        } else if (trimmed.front() == '[') {
            flush();
            section = trimmed.substr(1, trimmed.size() - 2);
        } else {
            const auto equals = trimmed.find('=');
            if (current.fields.empty())
                current.line = number;
            current.section = section;
            // Only the first '=' separates name and value: base64 values hold '=' themselves.
            current.fields[Trim(trimmed.substr(0, equals))] = Trim(trimmed.substr(equals + 1));
        }
    }
    flush();
    return cases;
}

void RunDesEcb(const VectorCase& c) {
    const Bytes key = FromHex(c.at("Key"));
    const Bytes in = FromHex(c.at("In"));
    Bytes out(8);
    Bytes back(8);
    des_context context;
    des_set_key(context, key.data());
    des_encrypt(context, in.data(), out.data());
    des_decrypt(context, out.data(), back.data());
    EXPECT_EQ(ToHex(out), c.at("Out"));
    EXPECT_EQ(back, in);
}

void RunDesCbc(const VectorCase& c) {
    const Bytes key = FromHex(c.at("Key"));
    const Bytes in = FromHex(c.at("In"));
    Bytes iv = FromHex(c.at("IV"));
    Bytes out(in.size());
    des_context context;
    des_set_key(context, key.data());
    des_cbc_encrypt(context, iv.data(), in.data(), out.data(), in.size());
    EXPECT_EQ(ToHex(out), c.at("Out"));
    // The chaining value is left at the last ciphertext block.
    EXPECT_EQ(ToHex(iv), c.at("Out").substr(c.at("Out").size() - 16));
    Bytes back(in.size());
    iv = FromHex(c.at("IV"));
    des_cbc_decrypt(context, iv.data(), out.data(), back.data(), out.size());
    EXPECT_EQ(back, in);
}

void SetTdesKey(des3_context& context, const Bytes& key) {
    if (key.size() == 16) {
        des3_set_2keys(context, key.data());
    } else {
        des3_set_3keys(context, key.data());
    }
}

void RunTdesEcb(const VectorCase& c) {
    const Bytes key = FromHex(c.at("Key"));
    const Bytes in = FromHex(c.at("In"));
    des3_context context;
    SetTdesKey(context, key);
    Bytes out(in.size());
    for (std::size_t i = 0; i < in.size(); i += 8)
        des3_encrypt(context, &in[i], &out[i]);
    EXPECT_EQ(ToHex(out), c.at("Out"));
    Bytes bulk(in.size());
    des3_ecb_encrypt(context, in.data(), bulk.data(), in.size());
    EXPECT_EQ(bulk, out);
    Bytes back(in.size());
    for (std::size_t i = 0; i < in.size(); i += 8)
        des3_decrypt(context, &out[i], &back[i]);
    EXPECT_EQ(back, in);
}

void RunTdesCbc(const VectorCase& c) {
    const Bytes key = FromHex(c.at("Key"));
    const Bytes in = FromHex(c.at("In"));
    des3_context context;
    SetTdesKey(context, key);
    Bytes iv = FromHex(c.at("IV"));
    Bytes out(in.size());
    des3_cbc_encrypt(context, iv.data(), in.data(), out.data(), in.size());
    EXPECT_EQ(ToHex(out), c.at("Out"));
    iv = FromHex(c.at("IV"));
    Bytes back(in.size());
    des3_cbc_decrypt(context, iv.data(), out.data(), back.data(), out.size());
    EXPECT_EQ(back, in);
}

void RunMd5(const VectorCase& c) {
    const std::string& text = c.at("Text");
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t chunk = std::stoul(c.at("Chunk"));
    Bytes digest(kMd5DigestSize);
    if (chunk == 0) {
        MD5Digest(data, text.size(), digest.data());
    } else {
        MD5_CTX context;
        MD5Init(context);
        for (std::size_t offset = 0; offset < text.size(); offset += chunk) {
            MD5Update(context, data + offset, std::min(chunk, text.size() - offset));
        }
        MD5Final(digest.data(), context);
        const Bytes cleared(sizeof(context), 0);
        EXPECT_EQ(0, std::memcmp(&context, cleared.data(), sizeof(context)))
            << "MD5Final leaves state behind";
    }
    EXPECT_EQ(ToHex(digest), c.at("Out"));
}

void RunBase64(const VectorCase& c) {
    std::string text;
    if (c.fields.count("InHex")) {
        for (std::uint8_t b : FromHex(c.at("InHex")))
            text += static_cast<char>(b);
    } else {
        text = c.at("In");
    }
    Bytes out(text.size() / 4 * 3 + 1, 0xEE);
    std::int32_t length = static_cast<std::int32_t>(out.size());
    const std::int32_t result = base64_decode(text.c_str(), out.data(), &length);
    EXPECT_EQ(result, std::stoi(c.at("Result"))) << text;
    if (result == 0) {
        ASSERT_EQ(static_cast<std::size_t>(length), c.at("Out").size() / 2);
        EXPECT_EQ(ToHex(Bytes(out.begin(), out.begin() + length)), c.at("Out"));
        EXPECT_EQ(out[static_cast<std::size_t>(length)], 0) << "terminating zero";
    }
}

void RunCmoveBits(const VectorCase& c) {
    const auto value = static_cast<std::int32_t>(std::stol(c.at("Value"), nullptr, 0));
    EXPECT_EQ(cmove_bits(value, std::stoi(c.at("Left")), std::stoi(c.at("Right"))),
              std::stoi(c.at("Out"), nullptr, 0));
}

const std::map<std::string, std::function<void(const VectorCase&)>> kRunners = {
    {"DES-ECB", RunDesEcb},    {"DES-CBC", RunDesCbc},   {"TDES-ECB", RunTdesEcb},
    {"TDES2-ECB", RunTdesEcb}, {"TDES-CBC", RunTdesCbc}, {"TDES2-CBC", RunTdesCbc},
    {"MD5", RunMd5},           {"BASE64", RunBase64},    {"CMOVE_BITS", RunCmoveBits}};

class KnownAnswers : public ::testing::TestWithParam<std::string> {};

TEST_P(KnownAnswers, EveryCaseOfTheFileMatches) {
    const auto cases = LoadVectors(GetParam());
    ASSERT_FALSE(cases.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(GetParam() + " line " + std::to_string(c.line));
        const auto runner = kRunners.find(c.section);
        ASSERT_NE(runner, kRunners.end()) << "no runner for [" << c.section << "]";
        runner->second(c);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, KnownAnswers,
                         ::testing::Values("des.vec", "tdes.vec", "md5.vec", "base64.vec",
                                           "cmove_bits.vec"),
                         [](const auto& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
                             return name;
                         });

TEST(Base64Decode, AbsentArgumentsAndSmallOutput) {
    std::uint8_t out[8];
    std::int32_t length = sizeof(out);
    EXPECT_EQ(base64_decode(nullptr, out, &length), -1);
    EXPECT_EQ(base64_decode("TWFu", nullptr, &length), -1);
    EXPECT_EQ(base64_decode("TWFu", out, nullptr), -1);
    length = 3;  // room for the bytes but not the terminating zero
    EXPECT_EQ(base64_decode("TWFu", out, &length), -11);
}

}  // namespace
}  // namespace kestrelvane
