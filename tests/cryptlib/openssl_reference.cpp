#include "test_support.h"

#include <openssl/des.h>
#include <openssl/evp.h>

#include <algorithm>

// The OpenSSL references, apart from the rest of the support so that the known-answer
// tests also build where OpenSSL is not at hand (the Windows build).
namespace kestrelvane::test {

namespace {

Bytes RunCipher(const EVP_CIPHER* cipher, const Bytes& key, const Bytes* iv, const Bytes& data,
                bool encrypt) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    Bytes out(data.size() + 16);
    int written = 0;
    int final_written = 0;
    EVP_CipherInit_ex(context, cipher, nullptr, key.data(), iv ? iv->data() : nullptr,
                      encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(context, 0);
    EVP_CipherUpdate(context, out.data(), &written, data.data(), static_cast<int>(data.size()));
    EVP_CipherFinal_ex(context, out.data() + written, &final_written);
    EVP_CIPHER_CTX_free(context);
    out.resize(static_cast<std::size_t>(written + final_written));
    return out;
}

}  // namespace

Bytes OpenSslTdesEcb(const Bytes& key, const Bytes& data, bool encrypt) {
    return RunCipher(key.size() == 16 ? EVP_des_ede_ecb() : EVP_des_ede3_ecb(), key, nullptr, data,
                     encrypt);
}

Bytes OpenSslTdesCbc(const Bytes& key, const Bytes& iv, const Bytes& data, bool encrypt) {
    return RunCipher(key.size() == 16 ? EVP_des_ede_cbc() : EVP_des_ede3_cbc(), key, &iv, data,
                     encrypt);
}

// Single DES lives in OpenSSL 3's legacy provider; the low-level API needs no provider.
Bytes OpenSslDesEcb(const Bytes& key, const Bytes& data, bool encrypt) {
    DES_key_schedule schedule;
    DES_cblock key_block;
    std::copy(key.begin(), key.end(), key_block);
    DES_set_key_unchecked(&key_block, &schedule);
    Bytes out(data.size());
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        DES_ecb_encrypt(
            reinterpret_cast<const_DES_cblock*>(const_cast<std::uint8_t*>(data.data() + i)),
            reinterpret_cast<DES_cblock*>(out.data() + i), &schedule,
            encrypt ? DES_ENCRYPT : DES_DECRYPT);
    }
    return out;
}

Bytes OpenSslDesCbc(const Bytes& key, const Bytes& iv, const Bytes& data, bool encrypt) {
    DES_key_schedule schedule;
    DES_cblock key_block;
    DES_cblock chain;
    std::copy(key.begin(), key.end(), key_block);
    std::copy(iv.begin(), iv.end(), chain);
    DES_set_key_unchecked(&key_block, &schedule);
    Bytes out(data.size());
    DES_ncbc_encrypt(data.data(), out.data(), static_cast<long>(data.size()), &schedule, &chain,
                     encrypt ? DES_ENCRYPT : DES_DECRYPT);
    return out;
}

Bytes OpenSslMd5(const Bytes& data) {
    Bytes digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_md5(), nullptr);
    digest.resize(length);
    return digest;
}

}  // namespace kestrelvane::test
