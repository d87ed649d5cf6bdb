// Markup for the reports the program writes as web pages: text escaped on its
// way in, elements that close in the order they were opened, and the two SVG
// charts of the survey report (bars, and a value against a mean +- sd).
//
// Every text that comes from an input (sample, species and file names,
// messages) goes through Text or an attribute value, both escaped; Raw is only
// for the markup and style sheets that are the program's own constants. The
// writer appends to one std::string, so a page of 20,000 samples is built
// without a stream or a tree. Written here because no Debian package offers an
// HTML writer this small.
//
// Nothing here knows about samples or tables: it builds on the C++ library alone.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Appends the text with & < > " ' as character references: safe as an element's
// text and as a quoted attribute value.
void AppendEscaped(std::string& out, std::string_view text);
std::string Escaped(std::string_view text);

// A number in fixed notation with the given decimals ("62.5"), as printf's "%.*f"
// writes it; NaN (no value) as "-".
std::string Fixed(double value, int decimals);

// Attributes as name -> value; the values are escaped, the names are the
// program's own.
using HtmlAttrs = std::initializer_list<std::pair<const char*, std::string_view>>;

// Elements appended to a string. Tags and attribute names are literals of the
// program; each Open is closed by a Close, innermost first.
class HtmlWriter {
 public:
  explicit HtmlWriter(std::string& out) : out_(out) {}

  // <tag name="value" ...>
  HtmlWriter& Open(const char* tag, HtmlAttrs attrs = {});
  // Closes the innermost open element.
  HtmlWriter& Close();
  // An element without content, <tag name="value" .../>: an HTML void element
  // (meta, input, br, hr) or an SVG shape. Any other HTML element read so stays
  // open in the browser, so those are written with Element(tag, "").
  HtmlWriter& Empty(const char* tag, HtmlAttrs attrs = {});
  // <tag ...>text</tag>, the text escaped.
  HtmlWriter& Element(const char* tag, std::string_view text, HtmlAttrs attrs = {});
  // Escaped text inside the open element.
  HtmlWriter& Text(std::string_view text);
  // Trusted markup as it is: the program's own constants only.
  HtmlWriter& Raw(std::string_view markup);

  // The elements still open.
  size_t Depth() const { return open_.size(); }

 private:
  void Tag(const char* tag, HtmlAttrs attrs);

  std::string& out_;
  std::vector<const char*> open_;
};

// ---- charts ---------------------------------------------------------------------
// Their colours are CSS classes that the page's style sheet gives: the chart
// draws the shapes, the page says how they look.

// A series of a bar chart: its name in the legend and its CSS class.
struct BarSeries {
  std::string name;
  const char* cls;
};
// A bar: its label, one value per series (stacked left to right), and a
// tooltip (empty: none).
struct BarRow {
  std::string label;
  std::vector<double> values;
  std::string tip = std::string();
};
// A horizontal bar chart `width` wide, the bars scaled to the longest; each
// bar's total after it. The legend is drawn when there is more than one series.
void SvgBarChart(HtmlWriter& w, std::string_view title, const std::vector<BarSeries>& series,
                 const std::vector<BarRow>& rows, double width = 640);

// A row of the range chart: a value (a dot) against a mean (a tick) +- sd (a
// whisker); NaN draws nothing of that part. A dot outside the range is of
// class "out".
struct RangeRow {
  std::string label;
  double value;
  double mean;
  double sd;
  bool outside;
};
// A dot-and-whisker chart on a fixed scale (lo..hi, a grid line every step).
void SvgRangeChart(HtmlWriter& w, std::string_view title, const std::vector<RangeRow>& rows,
                   double lo = 0, double hi = 12, double step = 2);
