#include "base/content_hash.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "base/hex_text.h"

namespace varnokel {

namespace {

// SHA-256 looked up once: naming it at every start looks it up again, which
// costs more than hashing a player's page input.
const EVP_MD* Sha256() {
  static const EVP_MD* const fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return fetched != nullptr ? fetched : EVP_sha256();
}

}  // namespace

struct ContentHash::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  State() {
    if (context == nullptr || EVP_DigestInit_ex(context, Sha256(), nullptr) != 1)
      throw std::runtime_error("SHA-256 ist nicht verf\xC3\xBCgbar");
  }
  State(const State& other) {
    if (context == nullptr || EVP_MD_CTX_copy_ex(context, other.context) != 1)
      throw std::runtime_error("SHA-256-Zustand kann nicht kopiert werden");
  }
  ~State() { EVP_MD_CTX_free(context); }
};

ContentHash::ContentHash() : state_(std::make_unique<State>()) {}
ContentHash::ContentHash(const ContentHash& other)
    : state_(std::make_unique<State>(*other.state_)) {}
ContentHash& ContentHash::operator=(const ContentHash& other) {
  if (this != &other) state_ = std::make_unique<State>(*other.state_);
  return *this;
}
ContentHash::~ContentHash() = default;

void ContentHash::Add(std::string_view bytes) {
  EVP_DigestUpdate(state_->context, bytes.data(), bytes.size());
}

Digest ContentHash::Value() const {
  State copy(*state_);
  Digest digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(copy.context, digest.data(), &length);
  return digest;
}

Digest ContentHash::Final() {
  Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context, digest.data(), &length) != 1 ||
      EVP_DigestInit_ex(state_->context, Sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 fehlgeschlagen");
  return digest;
}

Digest HashOf(std::string_view bytes) {
  ContentHash hash;
  hash.Add(bytes);
  return hash.Final();
}

std::string DigestHex(const Digest& digest) {
  return HexOf(digest);
}

bool ParseDigestHex(std::string_view hex, Digest& digest) {
  return ParseHex(hex, digest);
}

}  // namespace varnokel
