// Escaping, the element writer and the SVG charts of html.h. The charts size
// themselves by their rows and keep their numbers short (one decimal), so a
// page with many of them stays small.
#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>

#include "report/html.h"

void AppendEscaped(std::string& out, std::string_view text) {
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* ref = nullptr;
    switch (text[i]) {
      case '&': ref = "&amp;"; break;
      case '<': ref = "&lt;"; break;
      case '>': ref = "&gt;"; break;
      case '"': ref = "&quot;"; break;
      case '\'': ref = "&#39;"; break;
      default: continue;
    }
    out.append(text, from, i - from);
    out += ref;
    from = i + 1;
  }
  out.append(text, from, std::string_view::npos);
}

std::string Escaped(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

std::string Fixed(double value, int decimals) {
  if (std::isnan(value)) return "-";
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);  // no "-0.0"
  return s;
}

void HtmlWriter::Tag(const char* tag, HtmlAttrs attrs) {
  out_ += '<';
  out_ += tag;
  for (const auto& [name, value] : attrs) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    AppendEscaped(out_, value);
    out_ += '"';
  }
}

HtmlWriter& HtmlWriter::Open(const char* tag, HtmlAttrs attrs) {
  Tag(tag, attrs);
  out_ += '>';
  open_.push_back(tag);
  return *this;
}

HtmlWriter& HtmlWriter::Close() {
  assert(!open_.empty());
  out_ += "</";
  out_ += open_.back();
  out_ += '>';
  open_.pop_back();
  return *this;
}

HtmlWriter& HtmlWriter::Empty(const char* tag, HtmlAttrs attrs) {
  assert(std::string_view("|meta|input|br|hr|rect|line|circle|path|").find("|" + std::string(tag) + "|") !=
         std::string_view::npos);
  Tag(tag, attrs);
  out_ += "/>";
  return *this;
}

HtmlWriter& HtmlWriter::Element(const char* tag, std::string_view text, HtmlAttrs attrs) {
  Open(tag, attrs);
  AppendEscaped(out_, text);
  return Close();
}

HtmlWriter& HtmlWriter::Text(std::string_view text) {
  AppendEscaped(out_, text);
  return *this;
}

HtmlWriter& HtmlWriter::Raw(std::string_view markup) {
  out_ += markup;
  return *this;
}

namespace {

// A count as a whole number, anything else to one decimal.
std::string Amount(double v) { return Fixed(v, v == std::floor(v) ? 0 : 1); }

// <svg> sized width x height (scaling down with the page), with its title.
void OpenSvg(HtmlWriter& w, std::string_view title, double width, double height) {
  const std::string x = Fixed(width, 0), y = Fixed(height, 0);
  w.Open("svg", {{"class", "chart"}, {"viewBox", "0 0 " + x + " " + y}, {"width", x}, {"height", y},
                 {"role", "img"}, {"aria-label", title}});
  w.Element("title", title);
}

}  // namespace

void SvgBarChart(HtmlWriter& w, std::string_view title, const std::vector<BarSeries>& series,
                 const std::vector<BarRow>& rows, double width) {
  constexpr double kLabel = 130, kTotal = 50, kRow = 18, kBar = 12, kLegend = 22;
  const double top = series.size() > 1 ? kLegend : 4;
  double longest = 0;
  for (const BarRow& r : rows) {
    double sum = 0;
    for (double v : r.values) sum += v;
    longest = std::max(longest, sum);
  }
  const double scale = longest > 0 ? (width - kLabel - kTotal - 8) / longest : 0;
  OpenSvg(w, title, width, top + kRow * static_cast<double>(rows.size()) + 4);
  if (series.size() > 1) {
    double x = kLabel;
    for (const BarSeries& s : series) {
      w.Empty("rect", {{"class", s.cls}, {"x", Fixed(x, 0)}, {"y", "4"}, {"width", "10"}, {"height", "10"}});
      w.Element("text", s.name, {{"x", Fixed(x + 14, 0)}, {"y", "13"}});
      x += 24 + 7.5 * static_cast<double>(s.name.size());
    }
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const BarRow& r = rows[i];
    const double y = top + kRow * static_cast<double>(i);
    w.Open("g");
    if (!r.tip.empty()) w.Element("title", r.tip);
    w.Element("text", r.label, {{"class", "lb"}, {"x", Fixed(kLabel - 6, 0)}, {"y", Fixed(y + kBar - 1, 0)}});
    double x = kLabel, sum = 0;
    for (size_t k = 0; k < r.values.size() && k < series.size(); ++k) {
      const double length = r.values[k] * scale;
      sum += r.values[k];
      if (length <= 0) continue;
      w.Empty("rect", {{"class", series[k].cls}, {"x", Fixed(x, 1)}, {"y", Fixed(y, 0)},
                       {"width", Fixed(length, 1)}, {"height", Fixed(kBar, 0)}});
      x += length;
    }
    w.Element("text", Amount(sum), {{"x", Fixed(x + 4, 1)}, {"y", Fixed(y + kBar - 1, 0)}});
    w.Close();
  }
  w.Close();
}

void SvgRangeChart(HtmlWriter& w, std::string_view title, const std::vector<RangeRow>& rows, double lo,
                   double hi, double step) {
  assert(hi > lo && step > 0);
  constexpr double kLeft = 50, kRight = 560, kRow = 22, kTop = 18;
  const auto at = [&](double v) {
    return kLeft + (std::clamp(v, lo, hi) - lo) * (kRight - kLeft) / (hi - lo);
  };
  const double bottom = kTop + kRow * static_cast<double>(rows.size());
  OpenSvg(w, title, 640, bottom + 4);
  for (double v = lo; v <= hi + 1e-9; v += step) {
    const std::string x = Fixed(at(v), 1);
    w.Empty("line", {{"class", "grid"}, {"x1", x}, {"x2", x}, {"y1", "14"}, {"y2", Fixed(bottom, 0)}});
    w.Element("text", Amount(v), {{"class", "ax"}, {"x", x}, {"y", "11"}});
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const RangeRow& r = rows[i];
    const std::string y = Fixed(kTop + kRow * (static_cast<double>(i) + 0.5), 0);
    const std::string yText = Fixed(kTop + kRow * (static_cast<double>(i) + 0.5) + 4, 0);
    w.Open("g");
    w.Element("title", r.label + ": " + Fixed(r.value, 1) + " against " + Fixed(r.mean, 1) + " \u00b1 " +
                           Fixed(r.sd, 1) + (r.outside ? ", outside" : ""));
    w.Element("text", r.label, {{"class", "lb"}, {"x", Fixed(kLeft - 10, 0)}, {"y", yText}});
    if (!std::isnan(r.mean)) {
      const double sd = std::isnan(r.sd) ? 0 : r.sd;
      const std::string top = Fixed(kTop + kRow * static_cast<double>(i) + 5, 0);
      const std::string end = Fixed(kTop + kRow * static_cast<double>(i + 1) - 5, 0);
      w.Empty("line", {{"class", "wh"}, {"x1", Fixed(at(r.mean - sd), 1)}, {"x2", Fixed(at(r.mean + sd), 1)},
                       {"y1", y}, {"y2", y}});
      w.Empty("line", {{"class", "mn"}, {"x1", Fixed(at(r.mean), 1)}, {"x2", Fixed(at(r.mean), 1)},
                       {"y1", top}, {"y2", end}});
    }
    if (!std::isnan(r.value)) {
      w.Empty("circle", {{"class", r.outside ? "dot out" : "dot"}, {"cx", Fixed(at(r.value), 1)}, {"cy", y},
                         {"r", "5"}});
    }
    w.Element("text", Fixed(r.value, 1), {{"x", Fixed(kRight + 14, 0)}, {"y", yText}});
    w.Close();
  }
  w.Close();
}
