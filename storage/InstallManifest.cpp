#include "storage/InstallManifest.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/Platform.h"
#include "storage/WholeFile.h"

namespace zvx {
namespace {

constexpr std::uint64_t kChecksumPrime = 0x100000001B3u;
constexpr std::size_t kChecksumDigits = 16;

constexpr const char* kHeading =
    "# Written by zvx-data install and by ZVX filling this folder from the\n"
    "# installed default data: the files they installed here, as\n"
    "# CHECKSUM (FNV-1a 64) SIZE NAME. The next install replaces a file only\n"
    "# while it still matches its line; a file you changed is kept.\n";

// A path below the data folder in plain segments: a record can only ever
// speak of a file we install there.
bool isPlainName(std::string_view name) {
  if (name.empty() || name.size() > InstallManifest::kMaxNameLength) return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\' || c == ':') return false;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view segment = name.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

// "CHECKSUM SIZE NAME", the checksum in 16 lower-case hexadecimal digits.
bool parseRecord(std::string_view line, std::string& name, InstallManifest::Digest& digest) {
  const std::size_t first = line.find(' ');
  if (first != kChecksumDigits) return false;
  const std::size_t second = line.find(' ', first + 1);
  if (second == std::string_view::npos) return false;
  const std::string_view hex = line.substr(0, first);
  if (hex.find_first_not_of("0123456789abcdef") != std::string_view::npos) return false;
  const std::string_view size = line.substr(first + 1, second - first - 1);
  if (size.empty() || size.find_first_not_of("0123456789") != std::string_view::npos) return false;
  if (std::from_chars(hex.data(), hex.data() + hex.size(), digest.checksum, 16).ec != std::errc()) return false;
  if (std::from_chars(size.data(), size.data() + size.size(), digest.size).ec != std::errc()) return false;
  name = std::string(line.substr(second + 1));
  return isPlainName(name);
}

}  // namespace

std::uint64_t InstallManifest::checksum(std::uint64_t running, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t byte : bytes) running = (running ^ byte) * kChecksumPrime;
  return running;
}

InstallManifest::Digest InstallManifest::digestOf(std::span<const std::uint8_t> bytes) {
  return {bytes.size(), checksum(kChecksumStart, bytes)};
}

std::optional<InstallManifest> InstallManifest::read(const std::string& path, std::string& error) {
  const platform::EntryKind kind = platform::entryKind(path, true);
  if (kind == platform::EntryKind::None) return InstallManifest();
  if (kind != platform::EntryKind::File) {
    error = path + " is not a regular file; move it away and install again";
    return std::nullopt;
  }
  // Read only as a regular file, should something else take its name meanwhile.
  std::vector<unsigned char> bytes;
  if (!readWholeFile(path, bytes, static_cast<long>(kMaxBytes))) return InstallManifest();
  return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

InstallManifest InstallManifest::parse(std::string_view text) {
  InstallManifest manifest;
  std::set<std::string> twice;
  std::size_t lines = 0;
  // Whole lines only: a last line without its end may have been cut.
  for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1)) {
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string name;
    Digest digest;
    if (!parseRecord(line, name, digest)) continue;
    if (++lines > kMaxRecords) break;
    if (twice.count(name)) continue;
    if (manifest.records_.count(name)) {
      manifest.records_.erase(name);
      twice.insert(name);
      continue;
    }
    manifest.records_[name] = digest;
  }
  return manifest;
}

std::optional<InstallManifest::Digest> InstallManifest::recorded(const std::string& name) const {
  const auto found = records_.find(name);
  if (found == records_.end()) return std::nullopt;
  return found->second;
}

void InstallManifest::record(const std::string& name, const Digest& digest) {
  if (isPlainName(name)) records_[name] = digest;
}

std::string InstallManifest::text() const {
  std::string out = kHeading;
  for (const auto& [name, digest] : records_) {
    char line[64];
    std::snprintf(line, sizeof line, "%016llx %llu ", static_cast<unsigned long long>(digest.checksum),
                  static_cast<unsigned long long>(digest.size));
    out += line + name + "\n";
  }
  return out;
}

}  // namespace zvx
