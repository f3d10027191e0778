#include <stdint.h>

/* Stands in for the crypto library: answers with a recognisable value. */
__attribute__((visibility("default"))) int32_t CryptFile(int32_t mode, const unsigned char* key,
                                                         int32_t keyLength, const char* inputPath,
                                                         const char* outputPath, int32_t padMode) {
    (void)key;
    (void)inputPath;
    (void)outputPath;
    return mode * 1000 + keyLength * 10 + padMode;
}
