// The XML reader, table-driven: text against the tree it gives, printed, or failure.

#include "skin/XmlReader.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

// name[attr="value" ...]{value}(children) ; siblings joined by ','.
std::string print(const xmltag* tag) {
  std::string out;
  for (; tag; tag = tag->next) {
    out += tag->name;
    if (tag->attributes) {
      out += "[";
      for (const xmlattr* a = tag->attributes; a; a = a->next) {
        out += a->name;
        out += a->value ? std::string("=\"") + a->value + '"' : std::string("=NULL");
        if (a->next) out += ' ';
      }
      out += "]";
    }
    if (tag->value) out.append("{").append(tag->value).append("}");
    if (tag->children) out.append("(").append(print(tag->children)).append(")");
    if (tag->next) out += ",";
  }
  return out;
}

std::string parse(const std::string& text) {
  xmltag* root = nullptr;
  const int end = ParseTag(text.c_str(), 0, &root);
  if (end < 0) {
    EXPECT_EQ(root, nullptr);
    return "FAIL";
  }
  std::string out = print(root);
  FreeXmlTree(root);
  return out;
}

TEST(XmlReaderTest, ParsesTheSubsetAndRefusesTheRest) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"  \n\t<GUI />", "GUI"},
      {"<a x=\"1\" flag y=\"2\">", "FAIL"},  // no content, no end
      {"<a x=\"1\" flag y=\"2\"/>", "a[x=\"1\" y=\"2\"]"}, {"<a x='1'/>", "FAIL"}, {"<a x=\"\"/>", "a[x=NULL]"},
      {"<a x = \"1\"  />", "a[x=\"1\"]"}, {"<A></a>", "A"}, {"<a></b>", "FAIL"}, {"<a>one<b/>two</a>", "a{two}(b)"},
      {"<a>  hello  </a>", "a{hello  }"}, {"<a><b><c>deep</c><d/></b></a>", "a(b(c{deep},d))"}, {"<?xml version=\"1.0\"?><GUI/>", "FAIL"},
      {"<GUI><!-- note --></GUI>", "FAIL"}, {"<GUI/> <<< not xml >>>", "GUI"},
      {"<a v=\"a&quot;b\"/>", "a[v=\"a&quot;b\"]"}, {"<a v=\"line\nbreak <&>\"/>", "a[v=\"line\nbreak <&>\"]"},
      {"<a_1 b_2=\"3\"/>", "a_1[b_2=\"3\"]"}, {"<a>text", "FAIL"}, {"<a", "FAIL"}, {"", "FAIL"}, {"<a x=\"1", "FAIL"},
      {"<a x=1/>", "FAIL"}, {"<a -/>", "FAIL"}, {"<1a/>", "FAIL"}, {"   \n  ", "FAIL"}, {"<a></a  >", "a"},
      {"<a></ a>", "a"}, {"<a>x</a/>", "FAIL"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse(text), expected) << text;
}

TEST(XmlReaderTest, LongNamesDeepNestingAndManySiblingsAreSafe) {
  const std::string longName(300, 'n');
  EXPECT_EQ(parse("<" + longName + "></" + longName + ">"), "FAIL");  // end tag over 255 characters
  const std::string name255(255, 'm');
  EXPECT_EQ(parse("<" + name255 + "></" + name255 + ">"), name255);

  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_EQ(parse(deep), "FAIL");  // refused, not a stack overflow

  std::string siblings = "<a>";
  for (int i = 0; i < 200000; ++i) siblings += "<b/>";
  siblings += "</a>";
  xmltag* root = nullptr;
  ASSERT_GT(ParseTag(siblings.c_str(), 0, &root), 0);
  FreeXmlTree(root);  // a long list of siblings is released without deep recursion
  EXPECT_EQ(parse("<a\xC3\xA9/>"), "FAIL");  // bytes above 127 end a name
}

// Windows line ends read as Linux ones; junk after the root is ignored.
TEST(XmlReaderTest, LoadsFilesWithEitherLineEndAndGivesNothingForMissingOrEmptyOnes) {
  test::TempDocuments docs(false);
  const auto path = docs.documents() / "t.xml";
  const std::string text =
      "<GUI>\n<list>\n<entry>BDA\n</entry>\n<entry v=\"two\nlines\">SDA</entry>\n</list>\nlast\n</GUI>\n junk";
  std::string windows;
  for (char c : text) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const auto read = [&](const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    xmltag* root = LoadXmlFile(path.string());
    const std::string printed = root ? print(root) : "nothing";
    FreeXmlTree(root);
    return printed;
  };
  EXPECT_EQ(read(windows), read(text));
  EXPECT_EQ(read(text), "GUI{last\n}(list(entry{BDA\n},entry[v=\"two\nlines\"]{SDA}))");
  EXPECT_EQ(read(""), "nothing");
  EXPECT_EQ(LoadXmlFile((docs.documents() / "missing.xml").string()), nullptr);
}

}  // namespace
}  // namespace zvx
