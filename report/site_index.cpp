#include "report/site_index.h"

#include <charconv>

namespace varnokel {

namespace {

constexpr std::string_view kHeader = "varnokel site index 1\n";
constexpr std::string_view kFormatKey = "format ";
constexpr std::string_view kEndKey = "end ";
constexpr std::string_view kNoInput = "-";
constexpr std::string_view kIndexFilePrefix = ".site-";
constexpr size_t kIndexFileHexDigits = 16;

template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

Fingerprint FingerprintOf(std::string_view bytes) {
  return PageInput("site index").Text(bytes).Value();
}

// A cursor over the index text: each step consumes from the front and says
// whether what it expected was there.
class Reader {
 public:
  explicit Reader(std::string_view text) : rest_(text) {}

  bool Literal(std::string_view expected) {
    if (!rest_.starts_with(expected)) return false;
    rest_.remove_prefix(expected.size());
    return true;
  }
  // Digits up to `end`, which is consumed too.
  template <typename Integer>
  bool Number(Integer& value, char end) {
    const auto result = std::from_chars(rest_.data(), rest_.data() + rest_.size(), value);
    if (result.ec != std::errc() || result.ptr == rest_.data() + rest_.size() || *result.ptr != end)
      return false;
    rest_.remove_prefix(static_cast<size_t>(result.ptr - rest_.data()) + 1);
    return true;
  }
  bool Hex(Fingerprint& fingerprint) {
    if (!ParseFingerprintHex(rest_.substr(0, 2 * kFingerprintBytes), fingerprint)) return false;
    rest_.remove_prefix(2 * kFingerprintBytes);
    return true;
  }
  bool Bytes(std::string& out, size_t length) {
    if (rest_.size() < length) return false;
    out.assign(rest_.substr(0, length));
    rest_.remove_prefix(length);
    return true;
  }
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

bool ReadEntry(Reader& reader, std::pair<std::string, SiteIndexEntry>& page) {
  SiteIndexEntry& entry = page.second;
  if (!reader.Literal(kNoInput)) {
    Fingerprint input{};
    if (!reader.Hex(input)) return false;
    entry.input = input;
  }
  FileIdentity file;
  size_t length = 0;
  if (!reader.Literal(" ") || !reader.Number(file.inode, ' ') || !reader.Number(file.size, ' ') ||
      !reader.Number(file.modified_ns, ' ') || !reader.Number(length, ' ') ||
      !reader.Bytes(page.first, length) || !reader.Literal("\n"))
    return false;
  if (file.inode != 0) entry.file = file;
  return !page.first.empty();
}

}  // namespace

std::filesystem::path SiteIndexFile(const std::filesystem::path& site_dir,
                                    const std::filesystem::path& database_dir) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::weakly_canonical(site_dir, error);
  if (error) absolute = std::filesystem::absolute(site_dir, error).lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  const std::string hex = DigestHex(HashOf(absolute.native()));
  return database_dir / (std::string(kIndexFilePrefix) + hex.substr(0, kIndexFileHexDigits));
}

std::string FormatSiteIndex(const SiteIndex& index) {
  std::string text(kHeader);
  text.reserve(index.pages.size() * 96);
  text += kFormatKey;
  text += FingerprintHex(index.format);
  text += '\n';
  for (const auto& [name, entry] : index.pages) {
    text += entry.input ? FingerprintHex(*entry.input) : std::string(kNoInput);
    const FileIdentity file = entry.file.value_or(FileIdentity{});
    for (uint64_t value : {file.inode, file.size}) {
      text += ' ';
      AppendNumber(text, value);
    }
    text += ' ';
    AppendNumber(text, file.modified_ns);
    text += ' ';
    AppendNumber(text, name.size());
    text += ' ';
    text += name;
    text += '\n';
  }
  const Fingerprint check = FingerprintOf(text);
  text += kEndKey;
  text += FingerprintHex(check);
  text += '\n';
  return text;
}

std::optional<SiteIndex> ParseSiteIndex(std::string_view bytes) {
  const size_t end_line_size = kEndKey.size() + 2 * kFingerprintBytes + 1;
  if (bytes.size() < kHeader.size() + end_line_size) return std::nullopt;
  const std::string_view body = bytes.substr(0, bytes.size() - end_line_size);
  Reader end_line(bytes.substr(body.size()));
  Fingerprint check{};
  if (!end_line.Literal(kEndKey) || !end_line.Hex(check) || !end_line.Literal("\n") ||
      check != FingerprintOf(body))
    return std::nullopt;

  SiteIndex index;
  Reader reader(body);
  if (!reader.Literal(kHeader) || !reader.Literal(kFormatKey) || !reader.Hex(index.format) ||
      !reader.Literal("\n"))
    return std::nullopt;
  while (!reader.AtEnd()) {
    std::pair<std::string, SiteIndexEntry> page;
    if (!ReadEntry(reader, page)) return std::nullopt;
    index.pages.push_back(std::move(page));
  }
  return index;
}

}  // namespace varnokel
