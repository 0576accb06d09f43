#include "server/control/access_token.h"

#include <openssl/evp.h>

#include <memory>

#include <rapidjson/document.h>

#include "protocol/wire/base64.h"

namespace kiv_server {
namespace {

constexpr std::string_view kVersion = "001";
constexpr size_t kBlock = 16;
constexpr size_t kMaxTokenBytes = 4096;
constexpr unsigned char kIv[kBlock] = {0x3a, 0x91, 0x5c, 0x07, 0xe4, 0x2b, 0x68, 0xd0,
                                       0x1f, 0xa6, 0x73, 0xbe, 0x45, 0x0c, 0x99, 0x2e};

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// AES-128-CBC without padding of whole blocks; false on any OpenSSL failure.
bool Crypt(bool encrypt, std::string_view in, std::string_view key, std::string* out) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx || key.size() != kBlock || in.size() % kBlock != 0) return false;
  const auto* k = reinterpret_cast<const unsigned char*>(key.data());
  if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, k, kIv, encrypt ? 1 : 0) != 1) return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  out->assign(in.size() + kBlock, '\0');
  int n = 0;
  int tail = 0;
  auto* o = reinterpret_cast<unsigned char*>(out->data());
  if (EVP_CipherUpdate(ctx.get(), o, &n, reinterpret_cast<const unsigned char*>(in.data()),
                       static_cast<int>(in.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), o + n, &tail) != 1) {
    return false;
  }
  out->resize(static_cast<size_t>(n + tail));
  return true;
}

bool StringMember(const rapidjson::Value& obj, const char* key, std::string_view* out) {
  auto it = obj.FindMember(key);
  if (it == obj.MemberEnd() || !it->value.IsString()) return false;
  *out = std::string_view(it->value.GetString(), it->value.GetStringLength());
  return true;
}

}  // namespace

const char* TokenCheckText(TokenCheck check) {
  switch (check) {
    case TokenCheck::kOk:
      return "ok";
    case TokenCheck::kMalformed:
      return "token malformed";
    case TokenCheck::kUndecodable:
      return "token does not decrypt to its record";
    case TokenCheck::kMismatch:
      return "token issued for another application or user";
    case TokenCheck::kExpired:
      return "token expired";
  }
  return "token refused";
}

TokenCheck CheckAccessToken(std::string_view token, std::string_view secret, std::string_view app_id,
                            std::string_view user_id, uint64_t now_seconds) {
  if (token.size() > kMaxTokenBytes || token.substr(0, kVersion.size()) != kVersion) {
    return TokenCheck::kMalformed;
  }
  std::string cipher;
  if (!kiv_proto::Base64Decode(token.substr(kVersion.size()), &cipher) || cipher.empty() ||
      cipher.size() % kBlock != 0) {
    return TokenCheck::kMalformed;
  }
  std::string plain;
  if (!Crypt(false, cipher, secret, &plain)) return TokenCheck::kUndecodable;
  // The padding is spaces, which JSON allows after the value.
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(plain.data(), plain.size());
  if (doc.HasParseError() || !doc.IsObject()) return TokenCheck::kUndecodable;
  std::string_view aid, uid;
  if (!StringMember(doc, "aid", &aid) || !StringMember(doc, "uid", &uid)) {
    return TokenCheck::kUndecodable;
  }
  auto ts = doc.FindMember("ts");
  auto r = doc.FindMember("r");
  if (ts == doc.MemberEnd() || !ts->value.IsUint() || r == doc.MemberEnd() || !r->value.IsUint()) {
    return TokenCheck::kUndecodable;
  }
  if (aid != app_id || uid != user_id) return TokenCheck::kMismatch;
  auto et = doc.FindMember("et");
  if (et != doc.MemberEnd()) {
    if (!et->value.IsUint64()) return TokenCheck::kUndecodable;
    const uint64_t expiry = et->value.GetUint64();
    if (expiry != 0 && expiry < now_seconds) return TokenCheck::kExpired;
  }
  return TokenCheck::kOk;
}

std::string SealAccessToken(std::string_view plain_json, std::string_view secret) {
  if (secret.size() != kBlock) return {};
  std::string padded(plain_json);
  if (padded.size() % kBlock != 0) padded.append(kBlock - padded.size() % kBlock, ' ');
  std::string cipher;
  if (padded.empty() || !Crypt(true, padded, secret, &cipher)) return std::string(kVersion);
  return std::string(kVersion) + kiv_proto::Base64Encode(cipher);
}

}  // namespace kiv_server
