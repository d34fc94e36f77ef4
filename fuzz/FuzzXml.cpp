// libFuzzer target: any bytes as a skin or sound wizard file, through
// ParseTag from memory and, for some inputs, LoadXmlFile from disk. Nothing
// may be read or written out of bounds or leak; a parse that succeeds ends
// inside the text and gives a tree of named tags no deeper than the limit,
// and the file reader agrees with the memory reader.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "skin/XmlReader.h"

namespace {

using zvx::xmltag;

// Checks the tree's shape and answers a digest of it, for comparing trees.
std::string walk(const xmltag* tag, int depth) {
  if (depth > zvx::kMaxXmlDepth + 1) std::abort();
  std::string digest;
  for (; tag; tag = tag->next) {
    if (!tag->name || !*tag->name) std::abort();
    digest += tag->name;
    for (const zvx::xmlattr* attribute = tag->attributes; attribute; attribute = attribute->next) {
      if (!attribute->name || !*attribute->name) std::abort();
      digest += ' ';
      digest += attribute->name;
      digest += '=';
      if (attribute->value) digest += attribute->value;
    }
    if (tag->value) digest += tag->value;
    digest += '(' + walk(tag->children, depth + 1) + ')';
  }
  return digest;
}

const std::string& xmlPath() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zvx-fuzz-xml-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return (std::filesystem::path(pattern) / "skin.xml").string();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  xmltag* root = nullptr;
  const int end = zvx::ParseTag(text.c_str(), 0, &root);
  std::string digest;
  if (end < 0) {
    if (root) std::abort();
  } else {
    if (!root || static_cast<std::size_t>(end) > std::strlen(text.c_str())) std::abort();
    digest = walk(root, 0);
  }
  zvx::FreeXmlTree(root);

  // One input in eight also goes through a file, which costs a write and a read.
  if (size % 8 == 0 && std::memchr(data, 0, size) == nullptr) {
    if (std::FILE* file = std::fopen(xmlPath().c_str(), "wb")) {
      if (size) std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    xmltag* loaded = zvx::LoadXmlFile(xmlPath());
    if ((loaded != nullptr) != (end >= 0)) std::abort();
    if (loaded && walk(loaded, 0) != digest) std::abort();
    zvx::FreeXmlTree(loaded);
  }
  return 0;
}
