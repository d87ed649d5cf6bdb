// The markup layer: text from inputs is escaped alike in element text and in
// attribute values, and elements close innermost first.
#include <gtest/gtest.h>

#include "report/html.h"

namespace {

TEST(Html, InputTextIsEscapedAsTextAndAsAttributeValue) {
  const struct {
    const char* text;
    const char* escaped;
  } cases[] = {
      {"", ""},
      {"Festuca rubra", "Festuca rubra"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"Rumex & \"acetosa\" 'agg.'", "Rumex &amp; &quot;acetosa&quot; &#39;agg.&#39;"},
      {"&amp;", "&amp;amp;"},  // a reference in the input is text, not a reference
      {"<<>>", "&lt;&lt;&gt;&gt;"},
      {"Sphagnum \xc3\xa9t\xc3\xa9", "Sphagnum \xc3\xa9t\xc3\xa9"},  // UTF-8 as it is
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Escaped(c.text), c.escaped);
    std::string page;
    HtmlWriter(page).Element("td", c.text, {{"title", c.text}});
    EXPECT_EQ(page, std::string("<td title=\"") + c.escaped + "\">" + c.escaped + "</td>");
  }
}

TEST(Html, ElementsCloseInnermostFirst) {
  std::string page;
  HtmlWriter w(page);
  w.Open("table", {{"class", "sort"}}).Open("tr").Element("td", "1").Empty("input", {{"id", "f"}});
  EXPECT_EQ(w.Depth(), 2u);
  w.Close().Close().Raw("<hr>");
  EXPECT_EQ(w.Depth(), 0u);
  EXPECT_EQ(page, "<table class=\"sort\"><tr><td>1</td><input id=\"f\"/></tr></table><hr>");
}

}  // namespace
