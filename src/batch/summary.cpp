// The survey outputs gathered beside the rows of a run: confidence, indicator
// values, groups with their synoptic tables and pooled classification, and the
// report's data.
#include "batch/summary.h"

#include <algorithm>
#include <cmath>

#include "tables/csv.h"
#include "outputs/tidy.h"
#include "report/report.h"

namespace {

constexpr int kReportFits = 5;  // fits a sample's block of the report shows
constexpr const char* kWholeRun = "all samples";

// The unit's indicator values beside a mean of the sample's or group's.
std::vector<ReportIndicator> ReportIndicators(const IndicatorMeans& means, const UnitIndicators* unit) {
  std::vector<ReportIndicator> out;
  for (int k = 0; k < kIndicators; ++k) {
    const size_t i = static_cast<size_t>(k);
    ReportIndicator r;
    r.letter = kIndicatorNames[i][0];
    r.value = means.mean[i];
    if (unit != nullptr) {
      r.unitMean = unit->mean[i];
      r.unitSd = unit->sd[i];
      r.outside = OutsideUnit(r.value, r.unitMean, r.unitSd).value_or(false);
    }
    out.push_back(r);
  }
  return out;
}

// A unit's name in full: its community, and its sub-community after a comma.
std::string UnitName(const UnitInfo& info, const NVCUnit& u) {
  const auto it = info.names.find(Compact(u.szNVCType));
  const std::string community = it != info.names.end() ? it->second.community : TrimBlanks(u.szNVCCommonName);
  const std::string sub = it != info.names.end() ? it->second.subCommunity : TrimBlanks(u.szNVCSubName);
  return sub.empty() ? community : community + ", " + sub;
}

// The first unit a scored sample reaches in the ranking (-1: none).
int FirstUnit(const RefData& ref, const ScoringState& sc) {
  const int unit = sc.arrTopFits[1].nNVCIndex;
  return ref.nNVCCount >= 1 && sc.arrNVCFit[static_cast<size_t>(unit)].dMeanGoF >= kNoFit ? unit : -1;
}

}  // namespace

SurveySummary::SurveySummary(const ClassifyOptions& opt, const RefData& ref, const UnitInfo& info)
    : opt_(opt), ref_(ref), info_(info) {
  report_wanted_ = !opt.report.empty();
  grouping_ = report_wanted_ || !opt.synoptic.empty();
}

void SurveySummary::StartLoading(const std::string& folder) {
  loaded_ = std::async(std::launch::async, [this, folder] {
    std::string error;
    if (grouping_) BuildUnitTables(ref_, units_);
    if ((opt_.indicators || report_wanted_) && !LoadIndicators(folder, indicators_, error)) return error;
    return std::string();
  });
}

bool SurveySummary::Open(Console& con, const std::string& folder, const RunInputs& inputs) {
  if (!loaded_.valid()) StartLoading(folder);
  const std::string error = loaded_.get();
  if (!error.empty()) {
    Diagnose(con, folder, error);
    return false;
  }
  for (const std::string& g : opt_.groupBy) {
    size_t k = 0;
    while (k < inputs.idHeaders.size() && ColumnKey(inputs.idHeaders[k]) != ColumnKey(g)) ++k;
    if (k == inputs.idHeaders.size()) {
      std::string known;
      for (const std::string& h : inputs.idHeaders) known += (known.empty() ? "" : ", ") + h;
      Diagnose(con, "classify",
               "--group-by: no sample column " + g + "; the samples are named by " + (known.empty() ? "none" : known));
      return false;
    }
    groupColumns_.push_back(k);
    groupHeaders_.push_back(inputs.idHeaders[k]);
  }
  return true;
}

std::string SurveySummary::GroupName(const std::vector<std::string>& values) const {
  if (groupColumns_.empty()) return kWholeRun;
  std::string name;
  for (const std::string& v : values) name += (name.empty() ? "" : " / ") + v;
  return name;
}

void SurveySummary::Summarise(const SampleState& sample, const SampleInput& input, const ScoringState& sc,
                              SampleSummary& out) const {
  const RankBy by = RankingOf(opt_);
  out.confidence = AssessConfidence(ref_, sc, by);
  if (opt_.indicators || report_wanted_) out.indicators = SampleIndicators(indicators_, sample);
  if (!report_wanted_) return;
  ReportSample& r = out.report;
  r = ReportSample{};
  r.name = input.label.empty() ? std::string(sample.szSampleName) : input.label;
  std::vector<int> codes;
  for (int i = 1; i <= sample.nSampleEntries; ++i) codes.push_back(sample.arrSample[i].nSpeciesCode);
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  r.species = static_cast<int>(codes.size());
  for (int k = 1; k <= std::min<int>(kReportFits, opt_.nFitsToOutput) && k <= ref_.nNVCCount; ++k) {
    const int unit = sc.arrTopFits[k].nNVCIndex;
    const NVCFit& fit = sc.arrNVCFit[static_cast<size_t>(unit)];
    if (fit.dMeanGoF < kNoFit) break;
    const NVCUnit& u = ref_.arrNVCData[static_cast<size_t>(unit)];
    r.fits.push_back(ReportFit{Compact(u.szNVCType), UnitName(info_, u), FitClass(PercentFit(fit.dMeanGoF)),
                               fit.dMeanGoF, fit.dConsensus, fit.dCzekanowski});
  }
  r.agreement = AgreementWord(out.confidence.places.agreement);
  r.confidence = ConfidenceWord(out.confidence.level);
  r.margin = out.confidence.places.margin / 100.0;  // a fraction, as the report shows its numbers
  r.pCorrect = out.confidence.pCorrect;
  if (!r.fits.empty()) {
    const UnitConstantsOfSample constants = UnitConstants(units_, r.fits[0].unit, codes);
    r.constantsPresent = constants.present;
    r.constantsMissing = constants.missing;
    r.indicators = ReportIndicators(out.indicators, indicators_.OfUnit(r.fits[0].unit));
  }
}

void SurveySummary::Add(const SampleInput& input, const SampleState& sample, SampleSummary& s) {
  if (!grouping_) return;
  std::vector<std::string> values;
  for (size_t k : groupColumns_) values.push_back(k < input.ids.size() ? input.ids[k] : std::string());
  auto [it, fresh] = groupIndex_.emplace(values, groups_.size());
  if (fresh) {
    Group g;
    g.values = values;
    g.tally = std::make_unique<GroupTally>(ref_, &units_, GroupName(values), opt_.Presence());
    groups_.push_back(std::move(g));
  }
  Group& g = groups_[it->second];
  g.tally->Add(input, sample);
  if (report_wanted_) {
    s.report.group = g.tally->Name();
    report_.samples.push_back(std::move(s.report));
  }
}

void SurveySummary::ClassifyGroups(Console& quiet, RefData& ref, RunSettings& rs, ScoringState& sc) {
  auto sample = std::make_unique<SampleState>();
  for (Group& g : groups_) {
    // Species the tables do not hold are new species of the pooled sample too.
    if (!RoomForNewSpecies(ref, kSampleCapacity)) ForgetNewSpecies(ref);
    TextStore store;
    const SampleInput pooled = GroupAsSample(*g.tally, store);
    if (EnterRecords(quiet, ref, *sample, rs, pooled, nullptr) == RecordsResult::kSampleReady) {
      ScoreAndRank(ref, *sample, rs.nAnalysisType, rs.nFitsToOutput, sc, RankingOf(opt_));
      const int unit = FirstUnit(ref, sc);
      if (unit >= 0) g.unit = Compact(ref.arrNVCData[static_cast<size_t>(unit)].szNVCType);
    }
    if (!report_wanted_) continue;
    ReportGroup& rg = report_.groups.emplace_back();
    rg.name = g.tally->Name();
    rg.quadrats = g.tally->Quadrats();
    rg.unit = g.unit;
    for (int u = 1; u <= ref.nNVCCount && !g.unit.empty(); ++u) {
      if (Compact(ref.arrNVCData[static_cast<size_t>(u)].szNVCType) == g.unit) {
        rg.unitName = UnitName(info_, ref.arrNVCData[static_cast<size_t>(u)]);
        break;
      }
    }
    for (const SynopticRow& s : SynopticTable(*g.tally, units_, g.unit)) {
      ReportSynopticRow row;
      row.species = s.species;
      row.quadrats = s.groupQuadrats;
      row.frequency = s.groupFrequency;
      row.constancy = s.groupConstancy > 0 ? ConstancyText(s.groupConstancy) : "";
      if (s.hasCover) {
        row.coverRange = s.coverMin == s.coverMax ? ShortNumber(s.coverMin)
                                                  : ShortNumber(s.coverMin) + "-" + ShortNumber(s.coverMax);
      }
      row.unitConstancy = s.unitConstancy > 0 ? ConstancyText(s.unitConstancy) : "";
      row.unitDomin = s.unitDomin;
      row.note = s.note;
      rg.synoptic.push_back(std::move(row));
    }
    rg.indicators = ReportIndicators(GroupIndicators(indicators_, *g.tally), indicators_.OfUnit(g.unit));
    const auto links = info_.habitats.find(g.unit);
    if (links != info_.habitats.end()) {
      for (const HabitatLink& l : links->second) {
        rg.habitats.push_back(ReportHabitat{l.classification, l.code, l.name, HabitatRelationship(l),
                                            !l.inheritedFrom.empty()});
      }
    }
  }
}

std::string SurveySummary::SynopticCsv() const {
  std::string prefixHeader;
  for (const std::string& h : groupHeaders_) {
    if (!prefixHeader.empty()) prefixHeader += ',';
    AppendCsvField(prefixHeader, h);
  }
  std::string out = SynopticHeader(prefixHeader);
  for (const Group& g : groups_) {
    std::string prefix;
    for (const std::string& v : g.values) {
      if (!prefix.empty()) prefix += ',';
      AppendCsvField(prefix, v);
    }
    AppendSynopticRows(out, prefix, *g.tally, units_, g.unit);
  }
  return out;
}

std::string SurveySummary::ReportHtml(const std::string& folder, const RunInputs& inputs,
                                      const std::vector<long>& samplesOfFile,
                                      const std::vector<Message>& said) {
  ReportRun& run = report_.run;
  run.tables = folder;
  run.ranking = RankingWord(RankingOf(opt_));
  for (size_t f = 0; f < inputs.files.size(); ++f) {
    run.inputs.emplace_back(inputs.files[f].name == "-" ? "(standard input)" : inputs.files[f].name,
                            f + 1 < samplesOfFile.size() ? samplesOfFile[f + 1] : 0);
  }
  const auto join = [](const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) out += (out.empty() ? "" : ",") + s;
    return out;
  };
  run.settings = {{"scale", opt_.Presence() ? "presence" : CoverScaleOf(opt_.nCoverScale).word},
                  {"analysis", AnalysisTypeOf(opt_.nAnalysisType).word},
                  {"species", SpeciesGroupOf(opt_.nSpeciesGroupLimit).word},
                  {"fits", std::to_string(opt_.nFitsToOutput)},
                  {"group by", opt_.groupBy.empty() ? "the whole input" : join(opt_.groupBy)}};
  if (!opt_.poolBy.empty()) run.settings.emplace_back("pool by", join(opt_.poolBy));
  if (!opt_.namesMap.empty()) run.settings.emplace_back("names map", opt_.namesMap);
  for (const Message& m : said) run.messages.push_back(ReportMessage{m.where, m.what});
  return SurveyReportHtml(report_);
}
