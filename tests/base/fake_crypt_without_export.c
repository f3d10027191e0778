#include <stdint.h>

/* A library that loads but does not offer CryptFile. */
__attribute__((visibility("default"))) int32_t CryptKey(void) {
    return 0;
}
