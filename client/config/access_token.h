// The login token: a small JSON text with the application id, the user id, a time stamp
// and a random value, padded with spaces, encrypted with AES-128-CBC under the
// application secret, Base64-encoded and prefixed with the version tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TokenInfo {
  std::string aid;      // effective application id
  std::string uid;      // user id, UTF-8
  int et = 0;           // expiry value; 0 = not included
  std::string key;      // effective application secret, the AES key (16 bytes)
  std::string version;  // token version tag, "001"
};

constexpr char kTokenVersion[] = "001";

// The version followed by the Base64 ciphertext; the version alone when the key is not
// exactly 16 bytes long.
std::string BuildAccessToken(const TokenInfo& info);

// The plain text for a time stamp (milliseconds since 1970, modulo 2^32) and a random value.
std::string BuildTokenPlainText(const TokenInfo& info, uint32_t ts, uint32_t r);
// Appends spaces up to the next multiple of 16 (none when already a multiple).
std::string PadTokenText(std::string text);

// Base64 of the AES-128-CBC ciphertext of `plain` (a multiple of 16 bytes, no padding
// added); empty for empty text, a key of other than 16 bytes or a length not a multiple of 16.
std::string AesCbcEncrypt(const std::string& plain, const std::string& key);

// FIPS-197 AES-128: 176-byte round-key schedule (44 words) and one block encrypted in place.
void Aes128KeyExpansion(const uint8_t key[16], uint8_t schedule[176]);
void Aes128EncryptBlock(uint8_t block[16], const uint8_t schedule[176]);

// RFC 4648 standard alphabet with '=' padding.
std::string Base64Encode(const uint8_t* bytes, size_t length);

// The fixed initialisation vector of the token cipher.
void TokenInitVector(uint8_t iv[16]);
