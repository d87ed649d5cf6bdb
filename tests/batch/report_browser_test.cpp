// The survey report opened in a real browser (Chromium, headless): the page as
// the browser holds it after loading has its charts and a row per sample, opens
// the sample its address names, and shows names from the inputs as text, never
// as markup; its screenshot is not blank. When VEGMATCH_SCREENSHOT names a path
// the screenshot is copied there.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "outputs/survey_report.h"
#include "support/testkit.h"

namespace {

const char kScriptName[] = "<script>alert(1)</script>";

SurveyReport SmallSurvey() {
  SurveyReport r;
  r.run.tables = "data/nvc";
  r.run.ranking = "consensus";
  r.run.settings = {{"--fits", "5"}, {"--ranking", "consensus"}};
  r.run.inputs = {{"survey.csv", 5}, {"extra.txt", 1}};
  r.run.messages = {{"survey.csv:7", "unknown name \"<b>Quercus</b> robur\"; did you mean Quercus robur?"}};
  const std::vector<ReportIndicator> indicators = {
      {'F', 5.2, 5.0, 0.6, false}, {'L', 7.1, 7.0, 0.4, false}, {'N', 6.9, 4.8, 0.7, true},
      {'R', 6.0, 6.1, 0.5, false}, {'S', NAN, 0.2, 0.3, false}};
  const struct {
    const char* name;
    const char* group;
    const char* unit;
    const char* confidence;
  } samples[] = {{"Meadow 1", "North", "MG5a", "high"},   {"Meadow 2", "North", "MG5a", "medium"},
                 {kScriptName, "North", "MG6", "low"},     {"Pasture 1", "South & East", "MG6", "high"},
                 {"Pasture 2", "South & East", "U4b", "high"}, {"Bank", "South & East", "MG1", "medium"}};
  for (const auto& s : samples) {
    ReportSample x{s.name, s.group, 24, {}, "two", s.confidence, 0.04, 0.8, {}, {}, indicators};
    for (const char* unit : {s.unit, "MG7", "U4", "MG1a", "CG2"}) {
      x.fits.push_back({unit, "Lolium perenne - Cynosurus cristatus grassland", "good", 0.72, 0.41, 0.57});
    }
    x.constantsPresent = {"Centaurea nigra", "Rumex & \"acetosa\""};
    x.constantsMissing = {"Lotus corniculatus"};
    r.samples.push_back(x);
  }
  for (const char* name : {"North", "South & East"}) {
    ReportGroup g{name, 3, "MG5a", "Centaurea nigra sub-community", {}, indicators, {}};
    g.synoptic = {{"Centaurea nigra", 3, 100, "V", "5-25", "V", "4-6", ""},
                  {"Rumex & \"acetosa\"", 2, 67, "IV", "1-4", "", "", "group constant not in unit"},
                  {"Lotus corniculatus", 0, 0, "", "", "IV", "2-4", "unit constant missing"}};
    g.habitats = {{"UKHab - Level5", "g3a5", "Lowland meadows", "corresponds to", false},
                  {"EU Habitats Directive Annex I", "H6510", "Lowland hay meadows", "part of", true}};
    r.groups.push_back(g);
  }
  return r;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Runs headless Chromium on the page (at the anchor given, if any) with the
// given arguments; its exit status.
int Chromium(const TempDir& dir, const std::string& args, const std::string& anchor = std::string()) {
  return RunCommand("timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
                    "--user-data-dir='" + dir.File("profile") + "' " + args + " 'file://" + dir.File("report.html") +
                    anchor + "' 2>'" + dir.File("chromium.err") + "'");
}

#define SKIP_WITHOUT_CHROMIUM()                                                      \
  if (RunCommand("command -v chromium >/dev/null 2>&1") != 0) {                      \
    GTEST_SKIP() << "Chromium is not installed (tools/deps.sh installs it)";         \
  }

// The pixels of a PNG of 8-bit RGB or RGBA, not interlaced, as RGB; empty when
// it is anything else.
struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
uint32_t Be32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at]) << 24 | static_cast<uint8_t>(s[at + 1]) << 16 |
                               static_cast<uint8_t>(s[at + 2]) << 8 | static_cast<uint8_t>(s[at + 3]));
}
Image DecodePng(const std::string& png) {
  Image img;
  std::string data;
  size_t channels = 0;
  for (size_t at = 8; png.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && at + 12 <= png.size();) {
    const size_t length = Be32(png, at);
    const std::string kind = png.substr(at + 4, 4);
    if (kind == "IHDR") {
      img.width = Be32(png, at + 8);
      img.height = Be32(png, at + 12);
      const bool plain = png[at + 16] == 8 && png[at + 20] == 0;
      channels = !plain ? 0 : png[at + 17] == 2 ? 3 : png[at + 17] == 6 ? 4 : 0;
    }
    if (kind == "IDAT") data.append(png, at + 8, length);
    at += 12 + length;
  }
  const size_t stride = img.width * channels;
  std::vector<uint8_t> raw(img.height * (stride + 1));
  uLongf size = raw.size();
  if (channels == 0 || uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(data.data()), data.size()) != Z_OK ||
      size != raw.size()) {
    return Image{};
  }
  std::vector<uint8_t> px(img.height * stride);
  for (size_t y = 0; y < img.height; ++y) {
    const uint8_t* in = &raw[y * (stride + 1)];
    uint8_t* out = &px[y * stride];
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= channels ? out[i - channels] : 0, b = y > 0 ? out[i - stride] : 0;
      const int c = y > 0 && i >= channels ? out[i - stride - channels] : 0, p = a + b - c;
      const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c) ? a
                        : std::abs(p - b) <= std::abs(p - c)                                     ? b
                                                                                                 : c;
      const int predictor[] = {0, a, b, (a + b) / 2, paeth};
      if (in[0] > 4) return Image{};
      out[i] = static_cast<uint8_t>(in[1 + i] + predictor[in[0]]);
    }
  }
  for (size_t i = 0; i < px.size(); i += channels) img.rgb.insert(img.rgb.end(), &px[i], &px[i] + 3);
  return img;
}

TEST(SurveyReportBrowser, LoadedPageHoldsChartsEverySampleAndInputTextAsText) {
  SKIP_WITHOUT_CHROMIUM();
  const SurveyReport report = SmallSurvey();
  TempDir dir;
  dir.Write("report.html", SurveyReportHtml(report));
  // The page as loaded, the third sample opened by the address.
  ASSERT_EQ(Chromium(dir, "--dump-dom > '" + dir.File("dom.html") + "'", "#s3"), 0) << dir.Read("chromium.err");
  const std::string dom = dir.Read("dom.html");

  EXPECT_EQ(Count(dom, "<div class=\"s "), report.samples.size());
  EXPECT_EQ(Count(dom, "<svg class=\"chart\""), 3 + report.groups.size());  // 3 at a glance, 1 per group
  EXPECT_EQ(Count(dom, "aria-label=\"Samples by their first unit and the confidence of it\""), 1u);
  EXPECT_EQ(Count(dom, "aria-label=\"Indicator values of South &amp; East\""), 1u);
  EXPECT_EQ(Count(dom, "<circle class=\"dot out\""), report.groups.size());  // N outside the unit's range
  for (const char* confidence : {"high", "medium", "low"}) {
    EXPECT_GE(Count(dom, std::string("<rect class=\"") + confidence + "\""), 2u) << confidence;  // legend, bar
  }
  EXPECT_EQ(Count(dom, "<tr class=\"miss\">"), report.groups.size());
  EXPECT_EQ(Count(dom, "<tr class=\"extra\">"), report.groups.size());

  // The opened sample's body was made from the store, right after its row, and
  // no other sample's.
  const size_t row = dom.find("id=\"s3\"");
  ASSERT_NE(row, std::string::npos);
  EXPECT_NE(dom.find("aria-expanded=\"true\"><b>&lt;script&gt;alert(1)&lt;/script&gt;</b>", row), std::string::npos);
  EXPECT_EQ(Count(dom, "<div class=\"sb\"><table>"), 1u);
  EXPECT_EQ(dom.find("<div class=\"sb\"><table>"), dom.find("</div>", row) + 6);

  // What the inputs said is text: the sample name, the species with & and
  // quotes (in both groups and the opened body; escaped in each sample's
  // store), the message with markup; none of it an element.
  EXPECT_EQ(Count(dom, "<script>alert"), 0u);
  EXPECT_EQ(Count(dom, "alert(1)"), 1u);
  EXPECT_EQ(Count(dom, "Rumex &amp; \"acetosa\""), 2u + 1u);
  EXPECT_EQ(Count(dom, "Rumex &amp; &quot;acetosa&quot;"), report.samples.size());
  EXPECT_EQ(Count(dom, "unknown name \"&lt;b&gt;Quercus&lt;/b&gt; robur\""), 1u);
  EXPECT_EQ(Count(dom, "<b>Quercus"), 0u);
}

// The report classify writes of the bundled survey (60 quadrats of Whitwell
// Common, one group): every sample has its row, the charts are drawn, and the
// screenshot is not blank.
TEST(SurveyReportBrowser, TheBundledSurveysReportRendersEverySample) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  ASSERT_EQ(RunCommand(std::string(VM_BINARY) + " classify -q --scale presence --report '" + dir.File("report.html") +
                       "' -o '" + dir.File("results.csv") + "' '" + ProjectDir() + "/data/samples/example_real.txt'"),
            0);
  ASSERT_EQ(Chromium(dir, "--dump-dom > '" + dir.File("dom.html") + "'"), 0) << dir.Read("chromium.err");
  const std::string dom = dir.Read("dom.html");
  EXPECT_EQ(Count(dom, "<div class=\"s "), 60u);
  EXPECT_EQ(Count(dom, "<svg class=\"chart\""), 3u + 1u);  // 3 at a glance, the group's indicators
  ASSERT_EQ(Chromium(dir, "--window-size=1200,2000 --screenshot='" + dir.File("report.png") + "'"), 0)
      << dir.Read("chromium.err");
  const Image img = DecodePng(dir.Read("report.png"));
  ASSERT_EQ(img.width, 1200u);
  ASSERT_EQ(img.height, 2000u);
  // Dark pixels (text, lines) and strongly coloured ones (the bars and badges).
  size_t dark = 0, coloured = 0;
  for (size_t i = 0; i < img.rgb.size(); i += 3) {
    const int r = img.rgb[i], g = img.rgb[i + 1], b = img.rgb[i + 2];
    dark += std::max({r, g, b}) < 100;
    coloured += std::max({r, g, b}) - std::min({r, g, b}) > 100;
  }
  const size_t pixels = size_t{img.width} * img.height;
  EXPECT_GT(dark, pixels / 500) << "dark pixels";
  EXPECT_GT(coloured, pixels / 2000) << "coloured pixels";

  if (const char* keep = std::getenv("VEGMATCH_SCREENSHOT")) {
    std::error_code ec;
    std::filesystem::copy_file(dir.File("report.png"), keep, std::filesystem::copy_options::overwrite_existing, ec);
    EXPECT_FALSE(ec) << "cannot copy the screenshot to " << keep << ": " << ec.message();
  }
}

}  // namespace
