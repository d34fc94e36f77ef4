// A reader of the strict XML subset that skins and the sound wizard are
// written in: elements, double-quoted attributes, element text and nesting;
// no declarations, comments, entities or single quotes. Names and texts are
// kept exactly as written.
#pragma once

#include <string>

namespace zvx {

struct xmlattr {
  char* name = nullptr;
  char* value = nullptr;  // null when written empty
  xmlattr* next = nullptr;
};

struct xmltag {
  xmlattr* attributes = nullptr;  // in document order
  xmltag* next = nullptr;         // next sibling
  xmltag* children = nullptr;     // first child
  char* name = nullptr;
  char* value = nullptr;  // the last non-empty text run, leading white space removed; null when none
};

// Deepest nesting a file may have; deeper ones fail to parse rather than
// exhaust the stack.
constexpr int kMaxXmlDepth = 200;

// The tree of the file's first element, or null when the file cannot be read
// or does not parse. The caller releases it with FreeXmlTree.
xmltag* LoadXmlFile(const std::string& path);

// Parses one element at or after `index` of the NUL-terminated `text`, stores
// it through `pptag` and answers the index after it, or -1 (the partial tree
// is then released and *pptag is null).
int ParseTag(const char* text, int index, xmltag** pptag);

// The index of the first character at or after `index` that is not white
// space (space, tab, CR, LF), or -1 at the terminating NUL.
int SkipSpace(int index, const char* text);

// Releases a tag, its children and its following siblings.
void FreeXmlTree(xmltag* tag);

// ASCII case-blind comparison, as every user of the tree compares names.
bool namesEqual(const char* a, const char* b);

}  // namespace zvx
