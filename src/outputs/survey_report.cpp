// The survey report as one web page, built through the markup layer
// (report/html.h): the run, the survey at a glance, each group beside its best
// unit, and each sample under its name.
//
// A survey may have tens of thousands of samples, and a browser takes far
// longer to build a page of a million elements than to read text. So the page
// holds a row per sample (two elements: not a details element, whose shadow
// tree costs as much again), and what the sample holds (its fits, constants
// and indicators, about 1.8 KB of the same escaped markup) waits in a store of
// raw text, a script of type text/plain, until the row is opened. The bars are
// CSS classes of fixed widths (w0..w100), and the charts at a glance summarise
// (the most frequent units, the rest as "other").
#include <algorithm>
#include <cassert>
#include <map>

#include "outputs/survey_report.h"
#include "report/html.h"

namespace {

// The units the at-a-glance chart shows by name; the rest are "other".
constexpr size_t kChartUnits = 15;
// The width of the charts of fit classes and species richness, side by side.
constexpr double kSmallChart = 440;
// More messages than this are shown collapsed.
constexpr size_t kOpenMessages = 30;

const char kStyle[] = R"css(
:root{--hi:#2e7d32;--me:#e69b00;--lo:#c62828;--fit:#3b6ea5;--con:#3d9488}
body{font:14px/1.4 system-ui,"Segoe UI",Roboto,Helvetica,Arial,sans-serif;color:#222;max-width:1200px;margin:0 auto;padding:0 16px 40px}
h1{font-size:1.7em;margin:.6em 0 0}h2{border-bottom:2px solid var(--fit);margin-top:1.8em}h3{margin:1.2em 0 .3em}
nav a{margin-right:1.2em}code{font-size:.95em}
table{border-collapse:collapse;margin:.4em 0 .8em}th,td{padding:2px 7px;text-align:left;vertical-align:top;border-bottom:1px solid #ddd}
th{background:#f1f4f8}.n{text-align:right}th.u,td.u{background:#eef3fa}th.rk{background:#dde7f4}
table.sort th{cursor:pointer}th[data-dir=up]::after{content:" \25b2"}th[data-dir=down]::after{content:" \25bc"}
tr.miss td,span.miss{background:#fde4e4}tr.extra td,span.extra{background:#fff1cc}span.miss,span.extra{padding:0 5px}
.kpi{display:flex;flex-wrap:wrap;gap:10px;padding:0;list-style:none}.kpi li{border:1px solid #ddd;border-radius:6px;padding:6px 12px}.kpi b{display:block;font-size:1.5em}
.pair{display:flex;flex-wrap:wrap;gap:28px;align-items:flex-start}.note{color:#555;font-size:.92em}
svg.chart{max-width:100%;height:auto;font-size:12px;display:block}svg .lb{text-anchor:end}svg .ax{text-anchor:middle;fill:#666;font-size:10px}
rect.high{fill:var(--hi)}rect.medium{fill:var(--me)}rect.low{fill:var(--lo)}rect.one{fill:var(--fit)}
.grid{stroke:#e2e2e2}.wh{stroke:#666;stroke-width:3}.mn{stroke:#111;stroke-width:2}.dot{fill:var(--fit)}.dot.out{fill:var(--lo)}
.controls{margin:.6em 0}.controls input{font:inherit;padding:3px 6px;width:22em}
div.s{content-visibility:auto;contain-intrinsic-size:auto 1.6em;cursor:pointer;padding:3px 0 3px 1.2em;text-indent:-1.2em;border-bottom:1px solid #e6e6e6;color:#555}div.s b{color:#222;margin-right:.7em}
div.s:focus{outline:1px dotted #777}div.s::before{content:"\25b8";display:inline-block;width:1.2em;text-indent:0;color:#888}div.s.open::before{content:"\25be"}
div.s::after{margin-left:.9em;padding:0 7px;border-radius:8px;color:#fff}div.sb{padding:2px 0 10px 1.2em;border-bottom:1px solid #e6e6e6}
.s.high::after{content:"high";background:var(--hi)}.s.medium::after{content:"medium";background:var(--me)}.s.low::after{content:"low";background:var(--lo)}
td.b{padding-left:104px;white-space:nowrap;background:linear-gradient(var(--fit),var(--fit)) 6px 50% no-repeat,linear-gradient(#e8e8e8,#e8e8e8) 6px 50% no-repeat}
td.b.c{background-image:linear-gradient(var(--con),var(--con)),linear-gradient(#e8e8e8,#e8e8e8)}div.sb td:last-child{text-align:right}
.out{color:var(--lo);font-weight:bold}.ind span{margin-right:1em}.inh{color:#777;font-style:italic}
@media print{*{-webkit-print-color-adjust:exact;print-color-adjust:exact}div.s{content-visibility:visible}.controls,nav{display:none}body{max-width:none}div.s::before{content:none}h2,h3{break-after:avoid}.grp{break-inside:avoid-page}}
)css";

// Sorting by a column of a table of class "sort"; a sample's row opened and
// closed by a click (or Enter), its body made from the store of bodies when it
// is first opened; the sample the address names opened (report.html#s12); the
// filter of the samples; every sample and details element open while printing.
const char kScript[] = R"js(
(function(){var d=document;
d.querySelectorAll('table.sort').forEach(function(t){var h=t.tHead.rows[0].cells;
[].forEach.call(h,function(th,i){th.onclick=function(){var b=t.tBodies[0],rs=[].slice.call(b.rows),up=th.dataset.dir!=='up';
[].forEach.call(h,function(x){delete x.dataset.dir});th.dataset.dir=up?'up':'down';
rs.sort(function(p,q){var a=p.cells[i].textContent,c=q.cells[i].textContent,x=parseFloat(a),y=parseFloat(c);
var r=isNaN(x)||isNaN(y)?a.localeCompare(c):x-y;return up?r:-r});rs.forEach(function(r){b.appendChild(r)})}})});
var ss=d.querySelectorAll('div.s'),st=d.getElementById('bodies'),bs=st?st.textContent.split('<hr>'):[],list=d.getElementById('list');
ss.forEach(function(x,i){x._i=i;x.tabIndex=0;x.setAttribute('role','button')});
function isOpen(x){return x.classList.contains('open')}
function show(x,on){if(on&&!x._b){x.insertAdjacentHTML('afterend','<div class="sb">'+(bs[x._i]||'')+'</div>');x._b=x.nextElementSibling}
if(x._b)x._b.hidden=!on;x.classList.toggle('open',on);x.setAttribute('aria-expanded',on)}
if(list){list.onclick=function(e){var x=e.target.closest('div.s');if(x)show(x,!isOpen(x))};
list.onkeydown=function(e){var x=e.target;if(x._i!==undefined&&(e.key==='Enter'||e.key===' ')){e.preventDefault();show(x,!isOpen(x))}}}
var h=location.hash&&d.getElementById(location.hash.slice(1));if(h&&h._i!==undefined){show(h,true);h.scrollIntoView()}
var f=d.getElementById('filter'),n=d.getElementById('shown'),ks;
if(f)f.oninput=function(){var q=f.value.trim().toLowerCase(),k=0;
ks=ks||[].map.call(ss,function(x){return x.textContent.toLowerCase()});
ss.forEach(function(x,i){var m=ks[i].indexOf(q)>=0;x.hidden=!m;if(x._b)x._b.hidden=!m||!isOpen(x);if(m)k++});n.textContent=k};
var shut=[];addEventListener('beforeprint',function(){ss.forEach(function(x){if(!isOpen(x)){show(x,true);shut.push(x)}});
d.querySelectorAll('details:not([open])').forEach(function(x){x.open=true;shut.push(x)})});
addEventListener('afterprint',function(){shut.forEach(function(x){if(x._i!==undefined)show(x,false);else x.open=false});shut=[]})})();
)js";

// The end of each sample's body in the store; a body holds no "<" but of its
// own markup, and no hr.
const char kBodyEnd[] = "<hr>";

const char* const kConfidences[] = {"high", "medium", "low"};
const std::pair<const char*, const char*> kSections[] = {
    {"#run", "The run"}, {"#glance", "At a glance"}, {"#groups", "Groups"}, {"#samples", "Samples"}};

std::string Percent(double fraction) { return Fixed(fraction * 100, 1); }

// The class of a fit's bar: its width in whole percent.
std::string WidthClass(double fraction) {
  const long w = std::lround(std::clamp(fraction, 0.0, 1.0) * 100);
  return "w" + std::to_string(w);
}

// The CSS of the bar widths w0..w100: the first background of a cell of class
// "b" is its bar, on a track of kBarTrack pixels (see kStyle).
constexpr int kBarTrack = 90;
std::string WidthStyles() {
  std::string css;
  for (int w = 0; w <= 100; ++w) {
    css += "td.w" + std::to_string(w) + "{background-size:" + Fixed(w * kBarTrack / 100.0, 1) + "px 9px," +
           std::to_string(kBarTrack) + "px 9px}";
  }
  return css;
}

// Which of high, medium, low the confidence is (anything else as low).
size_t ConfidenceIndex(const std::string& confidence) {
  for (size_t i = 0; i < 3; ++i) {
    if (confidence == kConfidences[i]) return i;
  }
  return 2;
}

// A header row of a table, each column's text and class.
void HeadRow(HtmlWriter& w, std::initializer_list<std::pair<const char*, const char*>> columns) {
  w.Open("thead").Open("tr");
  for (const auto& [text, cls] : columns) w.Element("th", text, *cls != '\0' ? HtmlAttrs{{"class", cls}} : HtmlAttrs{});
  w.Close().Close();
}

std::string IndicatorName(char letter) {
  switch (letter) {
    case 'F': return "moisture";
    case 'L': return "light";
    case 'N': return "fertility";
    case 'R': return "reaction";
    case 'S': return "salt";
    default: return std::string();
  }
}

std::vector<RangeRow> IndicatorRows(const std::vector<ReportIndicator>& indicators) {
  std::vector<RangeRow> rows;
  for (const ReportIndicator& i : indicators) {
    rows.push_back({std::string(1, i.letter), i.value, i.unitMean, i.unitSd, i.outside});
  }
  return rows;
}

void TheRun(HtmlWriter& w, const ReportRun& run) {
  w.Open("section", {{"id", "run"}}).Element("h2", "The run");
  w.Open("p").Text("Every list of this report is ranked by ").Element("b", run.ranking).Text(". Reference tables: ")
      .Element("code", run.tables).Text(".").Close();
  w.Open("div", {{"class", "pair"}});
  w.Open("table", {{"class", "sort"}});
  HeadRow(w, {{"Input", ""}, {"Samples read", "n"}});
  w.Open("tbody");
  long total = 0;
  for (const auto& [input, samples] : run.inputs) {
    w.Open("tr").Element("td", input).Element("td", std::to_string(samples), {{"class", "n"}}).Close();
    total += samples;
  }
  w.Close().Open("tfoot").Open("tr").Element("th", "All inputs");
  w.Element("th", std::to_string(total), {{"class", "n"}}).Close().Close().Close();
  if (!run.settings.empty()) {
    w.Open("table");
    HeadRow(w, {{"Setting", ""}, {"Value", ""}});
    w.Open("tbody");
    for (const auto& [option, value] : run.settings) {
      w.Open("tr").Open("td").Element("code", option).Close().Element("td", value).Close();
    }
    w.Close().Close();
  }
  w.Close();
  if (run.messages.empty()) {
    w.Element("p", "No row was refused and every name was known.");
  } else {
    const std::string count = std::to_string(run.messages.size());
    w.Open("details", run.messages.size() <= kOpenMessages ? HtmlAttrs{{"open", ""}} : HtmlAttrs{});
    w.Element("summary", count + (run.messages.size() == 1 ? " message" : " messages") + " of the run");
    w.Open("table", {{"class", "sort"}});
    HeadRow(w, {{"Where", ""}, {"What", ""}});
    w.Open("tbody");
    for (const ReportMessage& m : run.messages) {
      w.Open("tr").Open("td").Element("code", m.where).Close().Element("td", m.what).Close();
    }
    w.Close().Close().Close();
  }
  w.Close();
}

// Samples per first unit, split by confidence, the most frequent first.
struct UnitCount {
  std::string unit, name;
  std::vector<double> byConfidence = std::vector<double>(3, 0.0);
  double total = 0;
};

// What the glance counts over the samples.
struct GlanceCounts {
  std::map<std::string, UnitCount> units;
  std::map<std::string, std::pair<double, double>> classes;  // class -> samples, sum of mean fits
  std::map<int, double> richness;
  double unfitted = 0, high = 0;
  std::vector<UnitCount> ranked;  // the units, the most samples first
};

// Counts the samples by their first unit, its confidence and fit class, and their species.
GlanceCounts CountForGlance(const SurveyReport& report) {
  GlanceCounts g;
  for (const ReportSample& s : report.samples) {
    g.richness[s.species] += 1;
    if (s.fits.empty()) {
      g.unfitted += 1;
      continue;
    }
    const ReportFit& first = s.fits.front();
    UnitCount& u = g.units[first.unit];
    u.unit = first.unit;
    u.name = first.name;
    u.byConfidence[ConfidenceIndex(s.confidence)] += 1;
    u.total += 1;
    if (ConfidenceIndex(s.confidence) == 0) g.high += 1;
    auto& c = g.classes[first.fitClass];
    c.first += 1;
    c.second += first.meanFit;
  }
  for (auto& [unit, count] : g.units) g.ranked.push_back(count);
  std::stable_sort(g.ranked.begin(), g.ranked.end(),
                   [](const UnitCount& a, const UnitCount& b) { return a.total > b.total; });
  return g;
}

// The headline figures: samples, groups, units assigned and the share of high confidence.
void GlanceFigures(HtmlWriter& w, const SurveyReport& report, const GlanceCounts& g) {
  const double samples = static_cast<double>(report.samples.size());
  w.Open("ul", {{"class", "kpi"}});
  const auto figure = [&w](const std::string& value, const char* what) {
    w.Open("li").Element("b", value).Text(what).Close();
  };
  figure(std::to_string(report.samples.size()), "samples");
  figure(std::to_string(report.groups.size()), "groups");
  figure(std::to_string(g.units.size()), "units assigned");
  figure(samples > 0 ? Fixed(100 * g.high / samples, 0) + "%" : "-", "of high confidence");
  w.Close();
}

// The chart of samples by first unit (the rest as "other") and the table of every unit.
void UnitsAssigned(HtmlWriter& w, const GlanceCounts& g) {
  const std::vector<UnitCount>& ranked = g.ranked;
  std::vector<BarRow> rows;
  UnitCount other;
  for (size_t i = 0; i < ranked.size(); ++i) {
    if (i < kChartUnits || ranked.size() == kChartUnits + 1) {
      rows.push_back({ranked[i].unit, ranked[i].byConfidence, ranked[i].unit + " " + ranked[i].name});
      continue;
    }
    for (size_t k = 0; k < 3; ++k) other.byConfidence[k] += ranked[i].byConfidence[k];
    other.total += 1;
  }
  if (other.total > 0) rows.push_back({"other (" + Fixed(other.total, 0) + " units)", other.byConfidence});
  if (g.unfitted > 0) rows.push_back({"no fit", {0, 0, g.unfitted}});
  w.Element("h3", "Units assigned");
  SvgBarChart(w, "Samples by their first unit and the confidence of it",
              {{"high", "high"}, {"medium", "medium"}, {"low", "low"}}, rows);
  w.Open("details").Element("summary", "Every unit assigned (" + std::to_string(ranked.size()) + ")");
  w.Open("table", {{"class", "sort"}});
  HeadRow(w, {{"Unit", ""}, {"Community", ""}, {"Samples", "n"}, {"High", "n"}, {"Medium", "n"}, {"Low", "n"}});
  w.Open("tbody");
  for (const UnitCount& u : ranked) {
    w.Open("tr").Element("td", u.unit).Element("td", u.name).Element("td", Fixed(u.total, 0), {{"class", "n"}});
    for (double v : u.byConfidence) w.Element("td", Fixed(v, 0), {{"class", "n"}});
    w.Close();
  }
  w.Close().Close().Close();
}

// The fit classes from the best to the worst (by their mean fits), as chart rows.
std::vector<BarRow> FitClassRows(const std::map<std::string, std::pair<double, double>>& classes) {
  std::vector<std::pair<std::string, std::pair<double, double>>> byFit(classes.begin(), classes.end());
  std::stable_sort(byFit.begin(), byFit.end(), [](const auto& a, const auto& b) {
    return a.second.second / a.second.first > b.second.second / b.second.first;
  });
  std::vector<BarRow> rows;
  for (const auto& [name, count] : byFit) rows.push_back({name.empty() ? "-" : name, {count.first}});
  return rows;
}

// Species per sample in at most about 15 bins of 1, 2, 5, 10, 20, 50... species, as chart rows.
std::vector<BarRow> RichnessRows(const std::map<int, double>& richness) {
  std::vector<BarRow> rows;
  if (!richness.empty()) {
    const int lo = richness.begin()->first, hi = richness.rbegin()->first;
    int width = 1;
    for (int k = 0; (hi - lo) / width >= 15; ++k) width = (k % 3 == 1 ? 5 * width / 2 : 2 * width);
    const int first = lo - ((lo % width) + width) % width;
    for (int from = first; from <= hi; from += width) {
      double n = 0;
      for (auto it = richness.lower_bound(from); it != richness.end() && it->first < from + width; ++it) n += it->second;
      rows.push_back({width == 1 ? std::to_string(from) : std::to_string(from) + "-" + std::to_string(from + width - 1),
                      {n}});
    }
  }
  return rows;
}

// The survey at a glance: headline figures, then charts of units, fit classes and richness.
void AtAGlance(HtmlWriter& w, const SurveyReport& report) {
  const GlanceCounts g = CountForGlance(report);
  w.Open("section", {{"id", "glance"}}).Element("h2", "The survey at a glance");
  GlanceFigures(w, report, g);
  UnitsAssigned(w, g);
  w.Open("div", {{"class", "pair"}}).Open("div").Element("h3", "Fit classes");
  SvgBarChart(w, "Samples by the fit class of their first unit", {{"samples", "one"}}, FitClassRows(g.classes),
              kSmallChart);
  w.Close();
  w.Open("div").Element("h3", "Species richness");
  SvgBarChart(w, "Samples by their number of species", {{"samples", "one"}}, RichnessRows(g.richness), kSmallChart);
  w.Close().Close().Close();
}

void Synoptic(HtmlWriter& w, const ReportGroup& g) {
  const std::string unit = g.unit.empty() ? std::string("Unit") : g.unit;
  w.Open("table", {{"class", "sort"}});
  w.Open("thead").Open("tr").Element("th", "Species").Element("th", "Quadrats", {{"class", "n"}});
  w.Element("th", "Frequency %", {{"class", "n"}}).Element("th", "Constancy").Element("th", "Cover range");
  w.Element("th", unit + " constancy", {{"class", "u"}}).Element("th", unit + " Domin", {{"class", "u"}});
  w.Element("th", "Note").Close().Close().Open("tbody");
  for (const ReportSynopticRow& r : g.synoptic) {
    const char* cls = r.note == "unit constant missing" ? "miss" : r.note == "group constant not in unit" ? "extra" : "";
    w.Open("tr", *cls != '\0' ? HtmlAttrs{{"class", cls}} : HtmlAttrs{});
    w.Element("td", r.species).Element("td", std::to_string(r.quadrats), {{"class", "n"}});
    w.Element("td", Fixed(r.frequency, 0), {{"class", "n"}}).Element("td", r.constancy).Element("td", r.coverRange);
    w.Element("td", r.unitConstancy, {{"class", "u"}}).Element("td", r.unitDomin, {{"class", "u"}});
    w.Element("td", r.note).Close();
  }
  w.Close().Close();
}

void Group(HtmlWriter& w, const ReportGroup& g, size_t index) {
  w.Open("section", {{"class", "grp"}, {"id", "g" + std::to_string(index + 1)}});
  w.Element("h3", g.name);
  w.Open("p").Text(std::to_string(g.quadrats) + (g.quadrats == 1 ? " quadrat" : " quadrats"));
  if (!g.unit.empty()) w.Text(", pooled as one sample, fit best ").Element("b", g.unit).Text(" " + g.unitName);
  w.Text(".").Close();
  w.Open("div", {{"class", "pair"}}).Open("div");
  Synoptic(w, g);
  w.Open("p", {{"class", "note"}}).Element("span", "unit constant missing", {{"class", "miss"}}).Text(" ");
  w.Element("span", "group constant not in unit", {{"class", "extra"}}).Close().Close().Open("div");
  if (!g.indicators.empty()) {
    w.Element("h4", "Indicator values: the group's mean against " + (g.unit.empty() ? "the unit" : g.unit) +
                        "'s mean \u00b1 sd");
    SvgRangeChart(w, "Indicator values of " + g.name, IndicatorRows(g.indicators));
    std::string key;
    for (const ReportIndicator& i : g.indicators) key += (key.empty() ? "" : " \u00b7 ") + std::string(1, i.letter) + " " + IndicatorName(i.letter);
    w.Element("p", key, {{"class", "note"}});
  }
  if (!g.habitats.empty()) {
    w.Element("h4", "Habitat correspondences of " + g.unit);
    w.Open("table");
    HeadRow(w, {{"Classification", ""}, {"Code", ""}, {"Habitat", ""}, {"Relationship", ""}});
    w.Open("tbody");
    for (const ReportHabitat& h : g.habitats) {
      w.Open("tr").Element("td", h.classification).Element("td", h.code).Element("td", h.name);
      w.Open("td").Text(h.relationship);
      if (h.inherited) w.Text(" ").Element("span", "(inherited from the community)", {{"class", "inh"}});
      w.Close().Close();
    }
    w.Close().Close();
  }
  w.Close().Close().Close();
}

// A fit's value as a cell: its percentage after a bar of its width.
void FitBar(HtmlWriter& w, double fraction, const char* bar) {
  w.Element("td", Percent(fraction), {{"class", std::string(bar) + " " + WidthClass(fraction)}});
}

// A sample's row in the page (name, group, first unit, species; its confidence
// as a class), and its body, what it holds (fits, constants, indicators),
// appended to `body`.
void Sample(HtmlWriter& w, HtmlWriter& body, const ReportSample& s, size_t index, const std::string& ranking) {
  const std::string unit = s.fits.empty() ? std::string() : s.fits.front().unit;
  const bool known = kConfidences[ConfidenceIndex(s.confidence)] == s.confidence;
  w.Open("div", {{"class", known ? "s " + s.confidence : "s"}, {"id", "s" + std::to_string(index + 1)}});
  w.Element("b", s.name).Text(s.group + (s.group.empty() ? "" : " \u00b7 ") + (unit.empty() ? "no fit" : unit) +
                                " \u00b7 " + std::to_string(s.species) + " species");
  w.Close();

  if (!s.fits.empty()) {
    const auto ranked = [&ranking](const char* by) { return ranking == by ? "rk" : ""; };
    body.Open("table");
    HeadRow(body, {{"Unit", ""}, {"Community", ""}, {"Class", ""}, {"Mean fit %", ranked("fit")},
                   {"Consensus %", ranked("consensus")}, {"Czekanowski %", ranked("czekanowski")}});
    body.Open("tbody");
    for (const ReportFit& f : s.fits) {
      body.Open("tr").Element("td", f.unit).Element("td", f.name).Element("td", f.fitClass);
      FitBar(body, f.meanFit, "b");
      FitBar(body, f.consensus, "b c");
      body.Element("td", Percent(f.czekanowski)).Close();
    }
    body.Close().Close();
  }
  body.Element("p", "Rankings agree: " + s.agreement + "; confidence " + s.confidence + "; margin " +
                        Percent(s.margin) + "; probably correct " + Fixed(100 * s.pCorrect, 0) + "%");
  const auto list = [&body](const std::string& title, const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
    body.Open("p").Element("b", title + " (" + std::to_string(names.size()) + "): ").Text(text).Close();
  };
  if (!s.constantsPresent.empty() || !s.constantsMissing.empty()) {
    list("Constants of " + unit + " present", s.constantsPresent);
    list("Constants of " + unit + " missing", s.constantsMissing);
  }
  if (!s.indicators.empty()) {
    body.Open("p", {{"class", "ind"}}).Element("b", "Indicator values: ");
    for (const ReportIndicator& i : s.indicators) {
      const std::string tip = unit + " " + Fixed(i.unitMean, 1) + " \u00b1 " + Fixed(i.unitSd, 1);
      body.Element("span", std::string(1, i.letter) + " " + Fixed(i.value, 1),
                   i.outside ? HtmlAttrs{{"class", "out"}, {"title", tip}} : HtmlAttrs{{"title", tip}});
    }
    body.Close();
  }
  body.Raw(kBodyEnd);
}

}  // namespace

std::string SurveyReportHtml(const SurveyReport& report) {
  std::string page;
  page.reserve(4096 + report.samples.size() * 2200 + report.groups.size() * 8000);
  HtmlWriter w(page);
  const std::string ranking = "Ranked by " + report.run.ranking;
  w.Raw("<!DOCTYPE html>\n").Open("html", {{"lang", "en"}}).Open("head");
  w.Empty("meta", {{"charset", "utf-8"}});
  w.Empty("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}});
  w.Element("title", "Vegetation survey report");
  w.Open("style").Raw(kStyle).Raw(WidthStyles()).Close().Close();
  w.Open("body").Element("h1", "Vegetation survey report");
  w.Element("p", ranking + ". " + std::to_string(report.samples.size()) + " samples in " +
                     std::to_string(report.groups.size()) + " groups, classified against the NVC tables.");
  w.Open("nav");
  for (const auto& [href, text] : kSections) w.Element("a", text, {{"href", href}});
  w.Close();
  TheRun(w, report.run);
  AtAGlance(w, report);

  w.Open("section", {{"id", "groups"}}).Element("h2", "Groups");
  if (report.groups.size() > 1) {
    w.Open("p").Text("The groups: ");
    for (size_t i = 0; i < report.groups.size(); ++i) {
      if (i > 0) w.Text(", ");
      w.Element("a", report.groups[i].name, {{"href", "#g" + std::to_string(i + 1)}});
    }
    w.Close();
  }
  for (size_t i = 0; i < report.groups.size(); ++i) Group(w, report.groups[i], i);
  w.Close();

  const std::string count = std::to_string(report.samples.size());
  w.Open("section", {{"id", "samples"}}).Element("h2", "Samples");
  w.Open("div", {{"class", "controls"}});
  w.Empty("input", {{"id", "filter"}, {"type", "search"}, {"placeholder", "Filter by name, group or unit"},
                    {"aria-label", "Filter the samples"}});
  w.Text(" ").Element("span", count, {{"id", "shown"}}).Text(" of " + count + " shown. " + ranking + ".").Close();
  w.Raw("<noscript>").Element("p", "Open this page with scripts on to see what each sample holds.").Raw("</noscript>");
  w.Open("div", {{"id", "list"}});
  std::string bodies;
  bodies.reserve(report.samples.size() * 1800);
  HtmlWriter body(bodies);
  for (size_t i = 0; i < report.samples.size(); ++i) Sample(w, body, report.samples[i], i, report.run.ranking);
  w.Close().Close();
  // Raw text up to "</script": the bodies hold no "<" but of their own markup.
  assert(bodies.find("</script") == std::string::npos && bodies.find("<!--") == std::string::npos);
  w.Open("script", {{"type", "text/plain"}, {"id", "bodies"}}).Raw(bodies).Close();
  w.Open("script").Raw(kScript).Close();
  w.Close().Close();
  return page;
}
