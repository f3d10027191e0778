#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrelvane::test {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);
Bytes RandomBytes(std::size_t size, std::uint32_t seed);

Bytes ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

// Reference triple DES (ECB, 3-key or 2-key) and MD5 computed by OpenSSL.
Bytes OpenSslTdesEcb(const Bytes& key, const Bytes& data, bool encrypt);
Bytes OpenSslTdesCbc(const Bytes& key, const Bytes& iv, const Bytes& data, bool encrypt);
Bytes OpenSslDesEcb(const Bytes& key, const Bytes& data, bool encrypt);
Bytes OpenSslDesCbc(const Bytes& key, const Bytes& iv, const Bytes& data, bool encrypt);
Bytes OpenSslMd5(const Bytes& data);

}  // namespace kestrelvane::test
