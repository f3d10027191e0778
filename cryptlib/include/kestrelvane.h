/*
 * kestrelvane.h -- public interface of the Kestrelvane cryptographic library
 * (driver/libKestrelvane.so; driver\Kestrelvane.dll on Windows).
 *
 * Seven C functions: whole-file sealing (CryptFile), in-memory data encryption
 * (DesCrypt1, DesCrypt2), key wrapping and generation (CryptKey), message
 * authentication (MACCrypt), an MD5 digest (MD5Crypt) and a check value of the
 * library's own master key (CryptLmkMac). Everything is triple DES (3-key EDE, ECB,
 * 8-byte blocks) under keys derived from the local master key.
 *
 * The local master key is assembled inside every call from pieces compiled into the
 * library and never leaves it. Sealed files, DesCrypt1 messages and wrapped keys
 * therefore open ONLY with a build of the library that holds the same master-key
 * pieces; check with CryptLmkMac that two installations agree. The family codes
 * (1010.., 4011.., 6012.., 8013..) of CryptFile use a key-encryption key of 24 zero
 * bytes instead and are portable between builds, and offer no secrecy of their own.
 *
 * Conventions shared by every function:
 *   - The result is KESTRELVANE_OK (0) or one of the negative KESTRELVANE_E_* codes.
 *   - Byte strings are pointer and length; only file paths are zero-terminated.
 *   - Output buffers come with an in/out length: on entry *outputLength holds the
 *     capacity in bytes; on success it receives the number of bytes written. When the
 *     capacity is too small the function writes the required size into *outputLength,
 *     leaves the output alone and returns KESTRELVANE_E_OUTPUT_TOO_SMALL.
 *   - Triple-DES keys are 16 or 24 bytes; a 16-byte key is used as K1 K2 K1.
 *   - A "wrapped key" is a triple-DES key encrypted block by block (ECB) under the
 *     local master key, as CryptKey produces it.
 *   - Every key, schedule and buffer holding key material is wiped before return.
 *   - Calls may come from several threads; each call is self-contained.
 */
#ifndef KESTRELVANE_H
#define KESTRELVANE_H

#include <stdint.h>  // NOLINT(modernize-deprecated-headers): C callers include this too

/* On Windows the module-definition file exports the seven functions (undecorated names,
 * ordinals 1 to 7 in the order below) and they use __cdecl, the C default: the caller
 * removes the arguments, as for every C function that states no convention. */
#if defined(KESTRELVANE_BUILDING) && !defined(_WIN32)
#define KESTRELVANE_API __attribute__((visibility("default")))
#else
#define KESTRELVANE_API
#endif

/* Every result says whether the output may be used: a caller that drops it may take a
 * half-written file or an untouched buffer for a good one, so compilers warn when a
 * call's result is ignored. In C++ a deliberate discard is written (void)CryptFile(...);
 * GCC's C attribute cannot be silenced that way, so C callers test the result. */
#if defined(__cplusplus) && __cplusplus >= 201703L
#define KESTRELVANE_MUST_CHECK [[nodiscard]]
#elif defined(__GNUC__) || defined(__clang__)
#define KESTRELVANE_MUST_CHECK __attribute__((warn_unused_result))
#else
#define KESTRELVANE_MUST_CHECK
#endif

/* Sizes in bytes. */
#define KESTRELVANE_BLOCK_SIZE 8
#define KESTRELVANE_KEY_SIZE_2KEY 16
#define KESTRELVANE_KEY_SIZE_3KEY 24
#define KESTRELVANE_SEALED_HEADER_SIZE 24 /* wrapped session key at the start of a sealed file */
#define KESTRELVANE_SEAL_OVERHEAD 40      /* sealed size = 8 * (L / 8) + 40 */
#define KESTRELVANE_MD5_SIZE 16
#define KESTRELVANE_MAC_SIZE 8       /* MACCrypt mode 1 */
#define KESTRELVANE_XOR_MAC_SIZE 16  /* MACCrypt mode 0 */
#define KESTRELVANE_LMK_CHECK_SIZE 8 /* CryptLmkMac */

/* Base modes. Each of the base modes 0 to 3 also accepts the ten family codes below,
 * which behave like it. */
#define KESTRELVANE_MODE_ENCRYPT                                                           \
    0                               /* CryptFile: headerless encryption; DesCrypt1: seal a \
                                       message; DesCrypt2: encrypt; CryptKey: wrap */
#define KESTRELVANE_MODE_DECRYPT 1  /* the inverse of mode 0 in every function */
#define KESTRELVANE_MODE_SEAL 2     /* CryptFile: write a sealed file */
#define KESTRELVANE_MODE_GENERATE 2 /* CryptKey: generate a wrapped random key */
#define KESTRELVANE_MODE_OPEN 3     /* CryptFile: open a sealed file */

/* Family codes: FIRST + 10 * k for k = 0..9 (for example 1010, 1020, ..., 1100). */
#define KESTRELVANE_FAMILY_ENCRYPT_FIRST 1010  /* like mode 0 */
#define KESTRELVANE_FAMILY_DECRYPT_FIRST 4011  /* like mode 1 */
#define KESTRELVANE_FAMILY_SEAL_FIRST 6012     /* like CryptFile mode 2 */
#define KESTRELVANE_FAMILY_OPEN_FIRST 8013     /* like CryptFile mode 3 */
#define KESTRELVANE_FAMILY_GENERATE_FIRST 9012 /* like CryptKey mode 2 */
#define KESTRELVANE_FAMILY_COUNT 10

/* MACCrypt forms. */
#define KESTRELVANE_MAC_XOR_FOLD 0 /* E(B1 ^ ... ^ Bn) || E(08 08 08 08 08 08 08 08) */
#define KESTRELVANE_MAC_CBC 1      /* triple-DES CBC-MAC, ISO/IEC 9797-1 algorithm 1, pad 1 */

/* CryptFile pad modes. */
#define KESTRELVANE_PAD_ZERO 0  /* zero bytes to the next block (headerless modes only) */
#define KESTRELVANE_PAD_COUNT 1 /* 1 to 8 bytes each holding the count */

/* Result codes. No code has two meanings. */
#define KESTRELVANE_OK 0
#define KESTRELVANE_E_MKEY_ABSENT (-1)       /* master-key text or its output absent */
#define KESTRELVANE_E_MKEY_EMPTY (-2)        /* master-key text empty */
#define KESTRELVANE_E_MKEY_LENGTH (-3)       /* master-key text length not a multiple of 4 */
#define KESTRELVANE_E_MKEY_CHARACTER (-4)    /* master-key text outside the base64 alphabet */
#define KESTRELVANE_E_NULL_ARGUMENT (-5)     /* a required pointer argument absent */
#define KESTRELVANE_E_DATA_LENGTH (-6)       /* data length <= 0, or not whole blocks */
#define KESTRELVANE_E_NO_MEMORY (-7)         /* no memory for a work copy */
#define KESTRELVANE_E_MESSAGE_LENGTH (-8)    /* DesCrypt1 message < 40 bytes or not whole blocks */
#define KESTRELVANE_E_MESSAGE_CHECK (-9)     /* DesCrypt1 pad count or digest test failed */
#define KESTRELVANE_E_MODE (-10)             /* mode value not supported */
#define KESTRELVANE_E_OUTPUT_TOO_SMALL (-11) /* required size written to *outputLength */
#define KESTRELVANE_E_MALFORMED (-18)        /* decrypted file malformed (CryptFile) */
#define KESTRELVANE_E_INPUT_OPEN (-20)       /* input cannot be opened, or is no regular file */
#define KESTRELVANE_E_OUTPUT_OPEN (-21)      /* output file cannot be opened */
#define KESTRELVANE_E_INPUT_SIZE (-22)       /* input file size cannot be read */
#define KESTRELVANE_E_KEY_LENGTH (-23)       /* key length neither 16 nor 24 */
#define KESTRELVANE_E_GENERATE_LENGTH (-24)  /* CryptKey: generated length not whole blocks */
#define KESTRELVANE_E_MKEY_DECODED_LENGTH (-26) /* stored master key not 16 or 24 bytes */
#define KESTRELVANE_E_MKEY_ACCESS (-29)         /* internal: master-key text access refused */
#define KESTRELVANE_E_PAD_MODE (-30)            /* pad mode not allowed for the mode */
#define KESTRELVANE_E_WRITE_ENCRYPT (-31)       /* short write while encrypting or sealing */
#define KESTRELVANE_E_WRITE_DECRYPT (-32)       /* short write while decrypting or opening */
#define KESTRELVANE_E_SHORT_HEADER (-33)        /* sealed file shorter than its 24-byte header */
#define KESTRELVANE_E_SAME_FILE (-34)           /* input and output are the same file */
#define KESTRELVANE_E_NOTHING_READ                                                      \
    (-35)                             /* nothing could be read where data was expected, \
                                       or the input could not be read */
#define KESTRELVANE_E_NO_RANDOM (-36) /* the system's random source failed */

#ifdef __cplusplus
extern "C" {
#endif

/*
 * CryptFile: reads the file inputPath and APPENDS its encryption or decryption to
 * outputPath (an existing output keeps its content; a missing one is created). The
 * input is streamed in bounded memory; files of any size are supported.
 *
 *   mode 0 / 1 (and families 1010.. / 4011..): headerless encryption / decryption under
 *     a working key: key is a wrapped key of keyLength 16 or 24. Mode 0 and 1 unwrap it
 *     under the local master key, the families under 24 zero bytes. padMode 0 pads with
 *     zero bytes (decryption then cuts the last block at its first zero byte), padMode 1
 *     with 1 to 8 count bytes. Size: 8 * ceil(L / 8) (padMode 0), 8 * (L / 8) + 8 (1).
 *   mode 2 / 3 (and families 6012.. / 8013..): seal / open. padMode must be 1. A sealed
 *     file is: 24-byte session key encrypted under the key-encryption key, then the
 *     triple-DES ECB encryption under the session key of data || count-byte padding ||
 *     check block (the XOR of all preceding plaintext blocks); 8 * (L / 8) + 40 bytes.
 *     Modes 2 and 3 use the local master key with key[i % keyLength] XOR-ed into byte i
 *     as key-encryption key (with key NULL or keyLength <= 0 nothing is mixed in); the
 *     families use 24 zero bytes and ignore key.
 *     Opening requires the check block to cancel and every pad byte to equal the count.
 *     LIMIT: for an input under 8 bytes the body is one block written twice, so the check
 *     block cancels under ANY key; only the padding then tells a wrong key (or a file
 *     sealed under another master key) from the right one, and about one such open in
 *     256 "succeeds" and appends garbage of up to 7 bytes. From 8 bytes on, a wrong key
 *     passes with a chance of about 2^-64.
 *
 * Results, checked in this order: _NULL_ARGUMENT (a path absent, or the key in mode 0
 * or 1), _SAME_FILE (equal paths), _NO_MEMORY (no room for the fixed 84 KiB work area),
 * _KEY_LENGTH (mode 0 or 1), master-key codes, _INPUT_OPEN, _OUTPUT_OPEN, _INPUT_SIZE,
 * _SAME_FILE (two names of one file), _MODE, then per operation: _NULL_ARGUMENT and
 * _KEY_LENGTH (family codes of modes 0 and 1), _PAD_MODE, _NO_RANDOM, _SHORT_HEADER,
 * _NOTHING_READ, _MALFORMED, _WRITE_ENCRYPT, _WRITE_DECRYPT. An input that is not a regular
 * file (a folder, pipe or device: its size cannot mark the end) gives _INPUT_OPEN before the
 * output is created. On failure whatever was written before it stays in the output file;
 * callers delete it where they need to.
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t CryptFile(int32_t mode, const unsigned char* key,
                                                         int32_t keyLength, const char* inputPath,
                                                         const char* outputPath, int32_t padMode);

/*
 * CryptKey: mode 0 (families 1010..) wraps inputLength bytes of clear key under the local
 * master key; mode 1 (4011..) unwraps them. inputLength must be a positive multiple of 8;
 * the output has the same length. Mode 2 generates *outputLength bytes (a multiple of 8)
 * of odd-parity random key and returns them wrapped (input may be NULL and is ignored);
 * the families 9012.. take an input with the checks of modes 0 and 1 and then generate
 * like mode 2.
 * Results: _NULL_ARGUMENT, _DATA_LENGTH, _OUTPUT_TOO_SMALL, _GENERATE_LENGTH, master-key
 * codes, _NO_MEMORY, _NO_RANDOM, _MODE.
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t CryptKey(int32_t mode, const unsigned char* input,
                                                        int32_t inputLength, unsigned char* output,
                                                        int32_t* outputLength);

/*
 * CryptLmkMac: writes 8 bytes, the triple-DES encryption of a zero block under the local
 * master key, and prints the version line "V1.3" to standard output. Equal values mean
 * equal master keys.
 * Results: _NULL_ARGUMENT, _OUTPUT_TOO_SMALL (required 8), master-key codes.
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t CryptLmkMac(unsigned char* output,
                                                           int32_t* outputLength);

/*
 * DesCrypt1: mode 0 (1010..) seals inputLength >= 1 bytes into a message of
 * 8 * (L / 8) + 40 bytes: a 24-byte wrapped session key, then the encryption of
 * MD5(data)[0..7] || data || count-byte padding. Mode 1 (4011..) opens such a message
 * and checks padding and digest. The key-encryption key is the local master key with
 * key[i % keyLength] XOR-ed in (with key NULL or keyLength <= 0 nothing is mixed in).
 * inputLength may be at most INT32_MAX - 48 when sealing (_DATA_LENGTH otherwise).
 * Results: _NULL_ARGUMENT, _DATA_LENGTH, master-key codes, _MODE, _OUTPUT_TOO_SMALL
 * (sealing: before any work; opening: the data length, after decryption),
 * _MESSAGE_LENGTH, _NO_MEMORY, _MESSAGE_CHECK (opening; on a digest mismatch the output
 * and *outputLength have been written all the same), _NO_RANDOM.
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t DesCrypt1(int32_t mode, const unsigned char* input,
                                                         int32_t inputLength, unsigned char* output,
                                                         int32_t* outputLength,
                                                         const unsigned char* key,
                                                         int32_t keyLength);

/*
 * DesCrypt2: mode 0 (1010..) encrypts, mode 1 (4011..) decrypts inputLength bytes (a
 * positive multiple of 8, no padding) under the wrapped key (16 or 24 bytes).
 * Results: _NULL_ARGUMENT, _DATA_LENGTH, _KEY_LENGTH, _OUTPUT_TOO_SMALL, master-key
 * codes, _MODE.
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t DesCrypt2(int32_t mode, const unsigned char* input,
                                                         int32_t inputLength, unsigned char* output,
                                                         int32_t* outputLength,
                                                         const unsigned char* wrappedKey,
                                                         int32_t wrappedKeyLength);

/*
 * MACCrypt: authenticates dataLength >= 1 bytes under the wrapped key (16 or 24 bytes);
 * a last partial block is completed with zero bytes. KESTRELVANE_MAC_CBC writes the
 * 8-byte triple-DES CBC-MAC; KESTRELVANE_MAC_XOR_FOLD writes 16 bytes.
 * Results: _NULL_ARGUMENT, _DATA_LENGTH, _OUTPUT_TOO_SMALL (8 or 16), _KEY_LENGTH,
 * master-key codes, _MODE.
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t MACCrypt(
    int32_t mode, const unsigned char* data, int32_t dataLength, const unsigned char* wrappedKey,
    int32_t wrappedKeyLength, unsigned char* output, int32_t* outputLength);

/*
 * MD5Crypt: writes the 16-byte MD5 digest of dataLength >= 1 bytes.
 * Results: _NULL_ARGUMENT, _DATA_LENGTH, _OUTPUT_TOO_SMALL (required 16).
 */
KESTRELVANE_MUST_CHECK KESTRELVANE_API int32_t MD5Crypt(const unsigned char* data,
                                                        int32_t dataLength, unsigned char* output,
                                                        int32_t* outputLength);

#ifdef __cplusplus
}
#endif

#endif /* KESTRELVANE_H */
