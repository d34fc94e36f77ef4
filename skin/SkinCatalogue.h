// The catalogue of what a skin may hold: one row per element kind, with its
// attributes (each with what the element takes when it is absent, and what it
// does) and the builder that reads them and makes the element's views. The
// skin system's own rows are here; an editor adds rows of its own (DrumEditor
// does), and `zvx-skin-check --catalogue` prints them all.
//
// GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "skin/ElementReader.h"
#include "skin/XmlReader.h"

namespace zvx {

class SkinHost;

struct SkinAttribute {
  const char* name;
  const char* fallback;  // what the element takes when it is absent; null when it is required
  const char* about;
};

// What a kind is to a skin; a complete skin (the default one) shows every
// feature and wastes no room on what nothing feeds.
enum class SkinElementUse {
  Feature,   // the one way a skin offers something of the instrument or the window
  Optional,  // another look for a feature, or an aid to writing the skin
  Unfed,     // built, but this instrument gives it nothing to show
};

struct SkinElementKind {
  const char* name;
  const char* about;
  SkinElementUse use;
  std::vector<SkinAttribute> attributes;  // in the order the builder reads them
};

// A kind and its builder: 1 built, 0 failed (a message has been shown).
template <class Host>
struct SkinElementRow {
  SkinElementKind kind;
  int (*build)(Host& host, ElementReader& read);
};

// Builds the element with the row of its name (ASCII case ignored), whose
// name its messages give; -1 when no row has that name.
template <class Host>
int buildElement(const std::vector<SkinElementRow<Host>>& rows, Host& host, const char* tagName, AttrSet& attrs,
                 SkinContext& context) {
  for (const SkinElementRow<Host>& row : rows) {
    if (!namesEqual(tagName, row.kind.name)) continue;
    ElementReader read(attrs, context, row.kind.name);
    return row.build(host, read);
  }
  return -1;
}

template <class Host>
void appendKinds(std::vector<const SkinElementKind*>& kinds, const std::vector<SkinElementRow<Host>>& rows) {
  for (const SkinElementRow<Host>& row : rows) kinds.push_back(&row.kind);
}

// The attributes of the groups in order, each name once (where it is first read).
std::vector<SkinAttribute> attributeList(std::initializer_list<std::vector<SkinAttribute>> groups);

// Groups of attributes many kinds share: the rectangle x, y, w, h that they
// read first, and the optional ones every text view reads last (ElementReader::font).
const std::vector<SkinAttribute>& boxAttributes();
const std::vector<SkinAttribute>& textAttributes();

// The skin system's rows: the window, constants, links and the common controls and displays.
const std::vector<SkinElementRow<SkinHost>>& skinElementRows();

// The sound wizard's builder (SoundWizard.cpp).
int buildWizard(SkinHost& host, ElementReader& read);

// The catalogue as plain text: per kind a line "name: what it is", one line
// per attribute "  name  default  what it does" in columns ("required" for
// no default), and a blank line after each kind.
std::string catalogueText(const std::vector<const SkinElementKind*>& kinds);

}  // namespace zvx
