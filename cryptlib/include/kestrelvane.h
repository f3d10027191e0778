#ifndef KESTRELVANE_H
#define KESTRELVANE_H

#include <stdint.h>

#if defined(KESTRELVANE_BUILDING)
#define KESTRELVANE_API __attribute__((visibility("default")))
#else
#define KESTRELVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

KESTRELVANE_API int32_t CryptFile(int32_t mode, const unsigned char* key, int32_t keyLength,
                                  const char* inputPath, const char* outputPath, int32_t padMode);
KESTRELVANE_API int32_t CryptKey(int32_t mode, const unsigned char* input, int32_t inputLength,
                                 unsigned char* output, int32_t* outputLength);
KESTRELVANE_API int32_t CryptLmkMac(unsigned char* output, int32_t* outputLength);
KESTRELVANE_API int32_t DesCrypt1(int32_t mode, const unsigned char* input, int32_t inputLength,
                                  unsigned char* output, int32_t* outputLength,
                                  const unsigned char* key, int32_t keyLength);
KESTRELVANE_API int32_t DesCrypt2(int32_t mode, const unsigned char* input, int32_t inputLength,
                                  unsigned char* output, int32_t* outputLength,
                                  const unsigned char* wrappedKey, int32_t wrappedKeyLength);
KESTRELVANE_API int32_t MACCrypt(int32_t mode, const unsigned char* data, int32_t dataLength,
                                 const unsigned char* wrappedKey, int32_t wrappedKeyLength,
                                 unsigned char* output, int32_t* outputLength);
KESTRELVANE_API int32_t MD5Crypt(const unsigned char* data, int32_t dataLength,
                                 unsigned char* output, int32_t* outputLength);

#ifdef __cplusplus
}
#endif

#endif
