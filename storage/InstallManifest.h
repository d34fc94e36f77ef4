// What an install (`zvx-data install`, or the plug-in filling a data folder
// from the installed default data) wrote into the data folder: one record
// per file (its name, byte count and checksum), kept in the data folder as a
// small text file. The next install replaces a file only while it still
// matches its record, so a file the user has edited since is never lost.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace zvx {

class InstallManifest {
 public:
  static constexpr const char* kFileName = "zvx-data manifest.txt";
  // A manifest we write stays far below both; anything larger is not ours.
  static constexpr std::size_t kMaxBytes = 256 * 1024;
  static constexpr std::size_t kMaxRecords = 512;
  static constexpr std::size_t kMaxNameLength = 200;

  // A file's content in short: its byte count and FNV-1a 64 checksum, which
  // tells an edited file from the installed one (not a forged one).
  struct Digest {
    std::uint64_t size = 0;
    std::uint64_t checksum = 0;
    bool operator==(const Digest&) const = default;
  };

  // FNV-1a 64, fed in pieces: start from kChecksumStart.
  static constexpr std::uint64_t kChecksumStart = 0xCBF29CE484222325u;
  static std::uint64_t checksum(std::uint64_t running, std::span<const std::uint8_t> bytes);
  static Digest digestOf(std::span<const std::uint8_t> bytes);

  // The manifest in `path`; empty when there is none, or when it is larger
  // than kMaxBytes. Lines that are not records are ignored, and so is a name
  // recorded twice (which of the two would be right cannot be told). Nothing,
  // with `error` set, when something that is not a regular file has its name:
  // a pipe would block the install for ever, and whatever it is, it is not
  // ours to replace.
  static std::optional<InstallManifest> read(const std::string& path, std::string& error);
  static InstallManifest parse(std::string_view text);

  // `name` is relative to the data folder, with '/' between folders.
  std::optional<Digest> recorded(const std::string& name) const;
  void record(const std::string& name, const Digest& digest);

  // The file's text: a heading comment, then "CHECKSUM SIZE NAME" lines.
  std::string text() const;

 private:
  std::map<std::string, Digest> records_;
};

}  // namespace zvx
