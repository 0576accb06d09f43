#include "config/access_token.h"

#include <chrono>

#include "config/system_random.h"

namespace {

const uint8_t kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76, 0xca, 0x82, 0xc9,
    0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0, 0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f,
    0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15, 0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07,
    0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75, 0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3,
    0x29, 0xe3, 0x2f, 0x84, 0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58,
    0xcf, 0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8, 0x51, 0xa3,
    0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2, 0xcd, 0x0c, 0x13, 0xec, 0x5f,
    0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73, 0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88,
    0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb, 0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac,
    0x62, 0x91, 0x95, 0xe4, 0x79, 0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a,
    0xae, 0x08, 0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a, 0x70,
    0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e, 0xe1, 0xf8, 0x98, 0x11,
    0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf, 0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42,
    0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16};

const uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36};

// The initialisation vector is kept apart from itself: each byte is this mask XOR the
// S-box's first row read backwards.
const uint8_t kIvMask[16] = {0x4c, 0x3a, 0x8b, 0xf9, 0xcf, 0x4c, 0x69, 0xe0,
                             0xda, 0xc9, 0x18, 0x4c, 0x3e, 0x7b, 0xe5, 0x4d};

uint8_t XTime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0x00)); }

void AddRoundKey(uint8_t s[16], const uint8_t* round_key) {
  for (int i = 0; i < 16; ++i) s[i] ^= round_key[i];
}

void SubBytes(uint8_t s[16]) {
  for (int i = 0; i < 16; ++i) s[i] = kSbox[s[i]];
}

// The state is column-major: byte r + 4c is row r of column c.
void ShiftRows(uint8_t s[16]) {
  uint8_t t[16];
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) t[r + 4 * c] = s[r + 4 * ((c + r) % 4)];
  }
  for (int i = 0; i < 16; ++i) s[i] = t[i];
}

void MixColumns(uint8_t s[16]) {
  for (int c = 0; c < 4; ++c) {
    uint8_t* col = s + 4 * c;
    const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
    const uint8_t all = a0 ^ a1 ^ a2 ^ a3;
    col[0] = static_cast<uint8_t>(a0 ^ all ^ XTime(a0 ^ a1));
    col[1] = static_cast<uint8_t>(a1 ^ all ^ XTime(a1 ^ a2));
    col[2] = static_cast<uint8_t>(a2 ^ all ^ XTime(a2 ^ a3));
    col[3] = static_cast<uint8_t>(a3 ^ all ^ XTime(a3 ^ a0));
  }
}

uint32_t NowMillisecondsMod32() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

}  // namespace

void TokenInitVector(uint8_t iv[16]) {
  // Read through volatile pointers so that the compiler does not fold the vector into one
  // constant of the program.
  const volatile uint8_t* mask = kIvMask;
  const volatile uint8_t* row = kSbox;
  for (int i = 0; i < 16; ++i) iv[i] = static_cast<uint8_t>(mask[i] ^ row[15 - i]);
}

void Aes128KeyExpansion(const uint8_t key[16], uint8_t schedule[176]) {
  for (int i = 0; i < 16; ++i) schedule[i] = key[i];
  for (int word = 4; word < 44; ++word) {
    uint8_t t[4] = {schedule[4 * (word - 1)], schedule[4 * (word - 1) + 1], schedule[4 * (word - 1) + 2],
                    schedule[4 * (word - 1) + 3]};
    if (word % 4 == 0) {
      const uint8_t first = t[0];
      t[0] = static_cast<uint8_t>(kSbox[t[1]] ^ kRcon[word / 4 - 1]);
      t[1] = kSbox[t[2]];
      t[2] = kSbox[t[3]];
      t[3] = kSbox[first];
    }
    for (int k = 0; k < 4; ++k) schedule[4 * word + k] = static_cast<uint8_t>(schedule[4 * (word - 4) + k] ^ t[k]);
  }
}

void Aes128EncryptBlock(uint8_t block[16], const uint8_t schedule[176]) {
  AddRoundKey(block, schedule);
  for (int round = 1; round < 10; ++round) {
    SubBytes(block);
    ShiftRows(block);
    MixColumns(block);
    AddRoundKey(block, schedule + 16 * round);
  }
  SubBytes(block);
  ShiftRows(block);
  AddRoundKey(block, schedule + 160);
}

std::string Base64Encode(const uint8_t* bytes, size_t length) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (length - i == 1) {
    const uint32_t v = uint32_t{bytes[i]} << 16;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out += "==";
  } else if (length - i == 2) {
    const uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back('=');
  }
  return out;
}

std::string AesCbcEncrypt(const std::string& plain, const std::string& key) {
  if (plain.empty() || key.size() != 16 || plain.size() % 16 != 0) return std::string();
  std::string work = plain;
  uint8_t schedule[176];
  Aes128KeyExpansion(reinterpret_cast<const uint8_t*>(key.data()), schedule);
  uint8_t chain[16];
  TokenInitVector(chain);
  auto* data = reinterpret_cast<uint8_t*>(&work[0]);
  for (size_t offset = 0; offset < work.size(); offset += 16) {
    uint8_t* block = data + offset;
    for (int i = 0; i < 16; ++i) block[i] ^= chain[i];
    Aes128EncryptBlock(block, schedule);
    for (int i = 0; i < 16; ++i) chain[i] = block[i];
  }
  return Base64Encode(data, work.size());
}

std::string BuildTokenPlainText(const TokenInfo& info, uint32_t ts, uint32_t r) {
  // The ids go between the quotes as they are.
  std::string text = "{\"aid\":\"" + info.aid + "\",\"uid\":\"" + info.uid + "\"";
  if (info.et != 0) text += ",\"et\":" + std::to_string(static_cast<uint32_t>(info.et));
  text += ",\"ts\":" + std::to_string(ts);
  text += ",\"r\":" + std::to_string(r);
  text += "}";
  return text;
}

std::string PadTokenText(std::string text) {
  if (text.size() % 16 != 0) text.append(16 - text.size() % 16, ' ');
  return text;
}

std::string BuildAccessToken(const TokenInfo& info) {
  std::string plain = PadTokenText(BuildTokenPlainText(info, NowMillisecondsMod32(), SystemRandom32()));
  return info.version + AesCbcEncrypt(plain, info.key);
}
