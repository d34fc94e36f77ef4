#include "skin/XmlReader.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Platform.h"

namespace zvx {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char* copyOf(const char* start, std::size_t length) {
  char* copy = new (std::nothrow) char[length + 1];
  if (!copy) return nullptr;
  std::memcpy(copy, start, length);
  copy[length] = 0;
  return copy;
}

void freeAttributes(xmlattr* attribute) {
  while (attribute) {
    xmlattr* next = attribute->next;
    delete[] attribute->name;
    delete[] attribute->value;
    delete attribute;
    attribute = next;
  }
}

// The parser proper, with its depth; ParseTag is its entry.
int parseTag(const char* text, int index, xmltag** pptag, int depth);

int parseContent(const char* text, int index, xmltag* tag, int depth) {
  xmltag** lastChild = &tag->children;
  for (;;) {
    // A text run: leading white space skipped, trailing kept.
    int at = index;
    while (text[at] && isSpace(text[at])) ++at;
    int end = at;
    while (text[end] && text[end] != '<') ++end;
    if (end > at) {
      char* run = copyOf(text + at, static_cast<std::size_t>(end - at));
      if (!run) return -1;
      delete[] tag->value;
      tag->value = run;
    }
    if (!text[end]) return -1;  // the text ended inside the element
    if (text[end + 1] == '/') {
      // End tag: a name of letters, digits and _ (maybe empty), then '>'.
      int at2 = end + 2;
      while (isSpace(text[at2])) ++at2;
      const int nameStart = at2;
      while (isNameChar(text[at2])) ++at2;
      const int nameLength = at2 - nameStart;
      if (nameLength > 255) return -1;
      char name[256];
      std::memcpy(name, text + nameStart, static_cast<std::size_t>(nameLength));
      name[nameLength] = 0;
      while (isSpace(text[at2])) ++at2;
      if (text[at2] != '>') return -1;
      if (!namesEqual(name, tag->name)) return -1;
      return at2 + 1;
    }
    xmltag* child = nullptr;
    index = parseTag(text, end, &child, depth + 1);
    if (index < 0) return -1;
    *lastChild = child;
    lastChild = &child->next;
  }
}

int parseTag(const char* text, int index, xmltag** pptag, int depth) {
  *pptag = nullptr;
  if (depth > kMaxXmlDepth) return -1;
  xmltag* tag = new (std::nothrow) xmltag;
  if (!tag) return -1;
  *pptag = tag;
  auto fail = [&]() {
    FreeXmlTree(tag);
    *pptag = nullptr;
    return -1;
  };

  index = SkipSpace(index, text);
  if (index < 0 || text[index] != '<') return fail();
  ++index;
  if (!isLetter(text[index])) return fail();
  const int nameStart = index;
  while (isNameChar(text[index])) ++index;
  tag->name = copyOf(text + nameStart, static_cast<std::size_t>(index - nameStart));
  if (!tag->name) return fail();

  // Attributes; one without a value is dropped.
  xmlattr** lastAttribute = &tag->attributes;
  index = SkipSpace(index, text);
  if (index < 0) return fail();
  while (isLetter(text[index]) || text[index] == '_') {
    const int attributeStart = index;
    while (isNameChar(text[index])) ++index;
    const int attributeEnd = index;
    index = SkipSpace(index, text);
    if (index < 0) return fail();
    if (text[index] != '=') continue;
    index = SkipSpace(index + 1, text);
    if (index < 0 || text[index] != '"') return fail();
    const int valueStart = ++index;
    while (text[index] && text[index] != '"') ++index;
    if (!text[index]) return fail();
    auto* attribute = new (std::nothrow) xmlattr;
    if (!attribute) return fail();
    *lastAttribute = attribute;
    lastAttribute = &attribute->next;
    attribute->name = copyOf(text + attributeStart, static_cast<std::size_t>(attributeEnd - attributeStart));
    if (!attribute->name) return fail();
    if (index > valueStart) {
      attribute->value = copyOf(text + valueStart, static_cast<std::size_t>(index - valueStart));
      if (!attribute->value) return fail();
    }
    index = SkipSpace(index + 1, text);
    if (index < 0) return fail();
  }

  if (text[index] == '/') {
    index = SkipSpace(index + 1, text);
    if (index < 0 || text[index] != '>') return fail();
    return index + 1;
  }
  // Anything but '>' after the attributes is not a start tag.
  if (text[index] != '>') return fail();
  index = parseContent(text, index + 1, tag, depth);
  if (index < 0) return fail();
  return index;
}

}  // namespace

bool namesEqual(const char* a, const char* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b) {
    const char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
    const char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

int SkipSpace(int index, const char* text) {
  while (isSpace(text[index])) ++index;
  return text[index] ? index : -1;
}

int ParseTag(const char* text, int index, xmltag** pptag) { return parseTag(text, index, pptag, 0); }

// Children are released depth first; siblings in a loop, so a long list of
// siblings cannot exhaust the stack.
void FreeXmlTree(xmltag* tag) {
  while (tag) {
    xmltag* next = tag->next;
    FreeXmlTree(tag->children);
    freeAttributes(tag->attributes);
    delete[] tag->value;
    delete[] tag->name;
    delete tag;
    tag = next;
  }
}

xmltag* LoadXmlFile(const std::string& path) {
  std::FILE* file = platform::openRegularFile(path);
  if (!file) return nullptr;
  std::vector<char> text;
  char block[4096];
  std::size_t read;
  while ((read = std::fread(block, 1, sizeof block, file)) > 0) {
    if (text.size() + read > (64u << 20)) {  // no skin is this large
      std::fclose(file);
      return nullptr;
    }
    text.insert(text.end(), block, block + read);
  }
  std::fclose(file);
  // Text written on Windows reads as it does there: CR LF is one line feed.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[kept++] = text[i];
  text.resize(kept);
  text.push_back(0);
  xmltag* root = nullptr;
  if (ParseTag(text.data(), 0, &root) < 0) return nullptr;
  return root;
}

}  // namespace zvx
