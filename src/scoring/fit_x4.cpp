// The fits four units at a time, and the walk of cover data four fields at a
// time, on processors with AVX2 (fit.cpp does the same one unit at a time).
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

#include "scoring/fitting.h"

#if VM_VECTOR_FIT
namespace {

// Four units at a time, lane k holding unit g0 + k. Every operation is the one
// FitCommunity does, in the same order, on each lane: the same bits come out.
// min(a, b) of the fit is b < a ? b : a, which is _mm256_min_pd(b, a).

VM_AVX2 inline void Transpose4(__m256d& r0, __m256d& r1, __m256d& r2, __m256d& r3) {
  const __m256d t0 = _mm256_unpacklo_pd(r0, r1);
  const __m256d t1 = _mm256_unpackhi_pd(r0, r1);
  const __m256d t2 = _mm256_unpacklo_pd(r2, r3);
  const __m256d t3 = _mm256_unpackhi_pd(r2, r3);
  r0 = _mm256_permute2f128_pd(t0, t2, 0x20);
  r1 = _mm256_permute2f128_pd(t1, t3, 0x20);
  r2 = _mm256_permute2f128_pd(t0, t2, 0x31);
  r3 = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// The four low 16-bit lanes as doubles.
VM_AVX2 inline __m256d Lanes16ToDouble(__m128i v) {
  return _mm256_cvtepi32_pd(_mm_cvtepi16_epi32(v));
}

// One unit's fit: GoF_1..GoF_4, then the mean, Czekanowski's coefficient and
// the consensus (the fourth double lands on the frequencies, which are written
// after it), then the frequencies.
VM_AVX2 inline void StoreFit(NVCFit& fit, __m256d gofs, __m256d means, __m128i sampled) {
  _mm256_storeu_pd(&fit.dGoF1, gofs);
  _mm256_storeu_pd(&fit.dMeanGoF, means);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(fit.nSampleFreqByClass), sampled);
}

template <bool kWholeJ>
VM_AVX2 inline __m256d ShareOf(__m256d sampled, __m256d j) {
  return kWholeJ ? sampled : _mm256_div_pd(sampled, j);
}

VM_AVX2 inline void ProfileClassX4(__m256d s, __m256d r, __m256d f, __m256d& sum, __m256d& carry,
                                   __m256d& p) {
  sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_min_pd(r, _mm256_add_pd(s, carry)), f));
  carry = _mm256_max_pd(_mm256_sub_pd(s, r), _mm256_setzero_pd());
  p = _mm256_add_pd(p, _mm256_mul_pd(s, f));
}

// The sample's values, one copy per lane.
struct SampleX4 {
  __m256d j, presencePerJ, sumCover, species;
  __m256d w1, w2, w3, w4;
  __m256d f[6];
};

// What four units g0..g0+3 bring to their fits, one field per vector.
struct GroupX4 {
  int g0;
  __m256d classCover, value, cover;
  __m128i q[4];        // the units' frequency records as the fits hold them
  __m256d sampled[6];  // 1..5: the four units' frequencies of the class
  __m256d reached;     // all ones where some entry with a frequency reached the unit
  const GroupTotals* t;
};

struct FitX4 {
  __m256d g1, g2, g3, g4, mean, czekanowski, consensus;
};

// The frequencies of the four units from their frequency records.
VM_AVX2 inline void LoadFrequencies(const ScoringState& sc, GroupX4& x) {
  const UnitFreq* freq = &sc.arrUnitFreq[x.g0];
  for (int k = 0; k < 4; ++k) x.q[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(freq[k].nFreq));
  const __m128i lo01 = _mm_unpacklo_epi16(x.q[0], x.q[1]);
  const __m128i hi01 = _mm_unpackhi_epi16(x.q[0], x.q[1]);
  const __m128i lo23 = _mm_unpacklo_epi16(x.q[2], x.q[3]);
  const __m128i hi23 = _mm_unpackhi_epi16(x.q[2], x.q[3]);
  const __m128i c01 = _mm_unpacklo_epi32(lo01, lo23);
  const __m128i c23 = _mm_unpackhi_epi32(lo01, lo23);
  const __m128i c45 = _mm_unpacklo_epi32(hi01, hi23);
  const __m128i sampled[6] = {c01, _mm_unpackhi_epi64(c01, c01), c23, _mm_unpackhi_epi64(c23, c23), c45,
                              _mm_unpackhi_epi64(c45, c45)};
  for (int c = 1; c <= kConstancyClasses; ++c) x.sampled[c] = Lanes16ToDouble(sampled[c]);
  const __m128i any = _mm_or_si128(_mm_or_si128(_mm_or_si128(sampled[1], sampled[2]),
                                                _mm_or_si128(sampled[3], sampled[4])),
                                   sampled[5]);
  x.reached = _mm256_castsi256_pd(
      _mm256_cvtepi16_epi64(_mm_xor_si128(_mm_cmpeq_epi16(any, _mm_setzero_si128()), _mm_set1_epi16(-1))));
}

// One class's count from the packed counts, as the 64-bit lanes hold it.
template <int kClass>
VM_AVX2 inline __m256i ClassCount(__m256i bits) {
  return _mm256_and_si256(_mm256_srli_epi64(bits, kCountBits * (kClass - 1)),
                          _mm256_set1_epi64x((1 << kCountBits) - 1));
}

// The frequencies of the four units from their packed class counts (cover
// data: every entry weighs 1), and the frequency records the fits are to hold.
VM_AVX2 inline void UnpackCounts(__m256d packed, GroupX4& x) {
  // Below 2^52, a whole number plus 2^52 holds the number in its low bits, and
  // those bits with 2^52's exponent are 2^52 plus the number again.
  const __m256d magic = _mm256_set1_pd(4503599627370496.0);
  const __m256i magicBits = _mm256_castpd_si256(magic);
  const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(packed, magic));
  const __m256i n[6] = {_mm256_setzero_si256(), ClassCount<1>(bits), ClassCount<2>(bits),
                        ClassCount<3>(bits),     ClassCount<4>(bits), ClassCount<5>(bits)};
  for (int c = 1; c <= kConstancyClasses; ++c) {
    x.sampled[c] = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(n[c], magicBits)), magic);
  }
  x.reached = _mm256_cmp_pd(packed, _mm256_setzero_pd(), _CMP_NEQ_OQ);
  // Each unit's record, 16 bits a class from slot 1: slots 0..3, then 4..7.
  const __m256i lo = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi64(n[1], 16), _mm256_slli_epi64(n[2], 32)),
                                     _mm256_slli_epi64(n[3], 48));
  const __m256i hi = _mm256_or_si256(n[4], _mm256_slli_epi64(n[5], 16));
  const __m256i even = _mm256_unpacklo_epi64(lo, hi);  // units 0 and 2
  const __m256i odd = _mm256_unpackhi_epi64(lo, hi);   // units 1 and 3
  x.q[0] = _mm256_castsi256_si128(even);
  x.q[1] = _mm256_castsi256_si128(odd);
  x.q[2] = _mm256_extracti128_si256(even, 1);
  x.q[3] = _mm256_extracti128_si256(odd, 1);
}

template <bool kPacked>
VM_AVX2 inline void LoadGroup(const ScoringState& sc, int g0, GroupX4& x) {
  x.g0 = g0;
  const UnitSums* sums = &sc.arrUnitSums[g0];
  __m256d counts = _mm256_load_pd(&sums[3].dClassCover);
  x.classCover = _mm256_load_pd(&sums[0].dClassCover);
  x.value = _mm256_load_pd(&sums[1].dClassCover);
  x.cover = _mm256_load_pd(&sums[2].dClassCover);
  Transpose4(x.classCover, x.value, x.cover, counts);
  if (kPacked) {
    UnpackCounts(counts, x);
  } else {
    LoadFrequencies(sc, x);
  }

  x.t = &sc.arrGroupTotals[static_cast<size_t>(g0 / 4)];
}

// The first half of a group's fit: the constancy profile. What the second half
// needs of the group is carried along with it.
struct ProfileX4 {
  __m256d sum, p;  // GoF_1's numerator, and the sample's presence weighted by class frequency
  __m256d cover, classCover, value, reached;
  __m128i q[4];
  const GroupTotals* t;
  int g0;
};

template <bool kWholeJ, bool kPacked>
VM_AVX2 inline void ProfileGroup(const ScoringState& sc, int g0, const SampleX4& s, ProfileX4& out) {
  GroupX4 x;
  LoadGroup<kPacked>(sc, g0, x);
  const GroupTotals& t = *x.t;
  __m256d sum = _mm256_setzero_pd();
  __m256d carry = _mm256_setzero_pd();
  __m256d p = _mm256_set1_pd(kTiny);
  for (int c = kConstancyClasses; c >= 1; --c) {
    ProfileClassX4(ShareOf<kWholeJ>(x.sampled[c], s.j), _mm256_load_pd(t.dClassExpect[c - 1]), s.f[c], sum, carry,
                   p);
  }
  out.sum = sum;
  out.p = p;
  out.cover = x.cover;
  out.classCover = x.classCover;
  out.value = x.value;
  out.reached = x.reached;
  for (int k = 0; k < 4; ++k) out.q[k] = x.q[k];
  out.t = x.t;
  out.g0 = g0;
}

// The second half: the four values, the mean, Czekanowski's coefficient and the
// consensus.
template <bool kAdjusted>
VM_AVX2 inline void FitGroup(const ProfileX4& x, const SampleX4& s, FitX4& out) {
  const GroupTotals& t = *x.t;
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d two = _mm256_set1_pd(2.0);
  const __m256d g1 = _mm256_div_pd(x.sum, _mm256_load_pd(t.dSumFreqSq));
  const __m256d g2 =
      _mm256_min_pd(_mm256_div_pd(x.p, _mm256_mul_pd(s.presencePerJ, _mm256_load_pd(t.dMeanFreq))), one);
  const __m256d g3 =
      _mm256_min_pd(_mm256_div_pd(x.cover, _mm256_mul_pd(s.j, _mm256_load_pd(t.dCoverExpectation))), one);
  const __m256d g4 = _mm256_min_pd(
      _mm256_div_pd(x.classCover, _mm256_mul_pd(s.sumCover, _mm256_load_pd(t.dMeanFreqCover))), one);
  __m256d m1 = g1;
  __m256d m2 = g2;
  __m256d m3 = g3;
  __m256d m4 = g4;
  if (kAdjusted) {
    m1 = _mm256_mul_pd(_mm256_mul_pd(g1, g2), _mm256_sub_pd(two, g2));
    m3 = _mm256_mul_pd(_mm256_mul_pd(g3, g4), _mm256_sub_pd(two, g4));
    m2 = _mm256_min_pd(g2, m1);
    m4 = _mm256_min_pd(g4, m3);
  }
  const __m256d mean = _mm256_add_pd(
      _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(m2, s.w2), _mm256_mul_pd(m1, s.w1)), _mm256_mul_pd(m3, s.w3)),
      _mm256_mul_pd(m4, s.w4));
  const __m256d czekanowski =
      _mm256_div_pd(_mm256_mul_pd(two, x.value), _mm256_add_pd(s.species, _mm256_load_pd(t.dUnitValueSum)));
  // Units not reached get all zero; the frequencies of such a unit are zero.
  out.g1 = _mm256_and_pd(g1, x.reached);
  out.g2 = _mm256_and_pd(g2, x.reached);
  out.g3 = _mm256_and_pd(g3, x.reached);
  out.g4 = _mm256_and_pd(g4, x.reached);
  out.mean = _mm256_and_pd(mean, x.reached);
  out.czekanowski = _mm256_and_pd(czekanowski, x.reached);
  out.consensus = _mm256_and_pd(_mm256_mul_pd(mean, czekanowski), x.reached);
}

// Writes the four fits, clears the units' sums (and frequency records, unless
// the counts were packed in the sums) and marks the units reached.
template <bool kPacked>
VM_AVX2 inline void StoreGroup(ScoringState& sc, const ProfileX4& x, FitX4& out) {
  const int g0 = x.g0;
  __m256d tail = _mm256_setzero_pd();
  Transpose4(out.g1, out.g2, out.g3, out.g4);
  Transpose4(out.mean, out.czekanowski, out.consensus, tail);
  NVCFit* fits = &sc.arrNVCFit[g0];
  StoreFit(fits[0], out.g1, out.mean, x.q[0]);
  StoreFit(fits[1], out.g2, out.czekanowski, x.q[1]);
  StoreFit(fits[2], out.g3, out.consensus, x.q[2]);
  StoreFit(fits[3], out.g4, tail, x.q[3]);
  for (int k = 0; k < 4; ++k) {
    _mm256_store_pd(&sc.arrUnitSums[g0 + k].dClassCover, _mm256_setzero_pd());
    if (!kPacked) _mm_store_si128(reinterpret_cast<__m128i*>(sc.arrUnitFreq[g0 + k].nFreq), _mm_setzero_si128());
  }
  // The four lanes' bits spread to one byte each (bit k to bit 8k; the shifted
  // copies do not overlap), stored at once (x86 is little-endian).
  const uint32_t reached = static_cast<uint32_t>(_mm256_movemask_pd(x.reached));
  const uint32_t live = (reached * 0x00204081u) & 0x01010101u;
  std::memcpy(&sc.arrFitLive[static_cast<size_t>(g0)], &live, sizeof live);
}

// The groups of four units to work on, listed in sc.arrFitGroups: from the
// front, the groups the sample reached (dValue is never -0, so a sum is zero
// exactly when its bits are); from the back, the other groups whose fits hold
// values of an earlier sample. Returns how many groups were reached; *cleared
// is how many are only to be cleared.
inline int ListFitGroups(ScoringState& sc, int nUnits, int* cleared) {
  int reached = 0;
  int stale = 0;
  int32_t* list = sc.arrFitGroups.data();
  const int back = static_cast<int>(sc.arrFitGroups.size()) - 1;
  const UnitSums* sums = sc.arrUnitSums.data();
  const uint8_t* live = sc.arrFitLive.data();
  for (int g0 = 0; g0 <= nUnits; g0 += 4) {
    uint64_t bits = 0;
    for (int k = 0; k < 4; ++k) {
      uint64_t v;
      std::memcpy(&v, &sums[g0 + k].dValue, sizeof v);
      bits |= v;
    }
    uint32_t liveLanes;
    std::memcpy(&liveLanes, live + g0, sizeof liveLanes);
    list[reached] = g0;
    list[back - stale] = g0;
    const int touched = bits != 0 ? 1 : 0;
    reached += touched;
    stale += (touched ^ 1) & (liveLanes != 0 ? 1 : 0);
  }
  *cleared = stale;
  return reached;
}

// All zero fits for a group the sample did not reach.
VM_AVX2 inline void ClearGroup(ScoringState& sc, int g0) {
  const __m256d zero = _mm256_setzero_pd();
  for (int k = 0; k < 4; ++k) {
    NVCFit& fit = sc.arrNVCFit[g0 + k];
    StoreFit(fit, zero, zero, _mm_setzero_si128());
    sc.arrFitLive[g0 + k] = 0;
  }
}

// True when the group totals hold what the totals hold (BuildGroupTotals was
// called after the totals last changed).
[[maybe_unused]] bool GroupTotalsCurrent(const ScoringState& sc, int nUnits) {
  for (int g0 = 0; g0 <= nUnits; g0 += 4) {
    const GroupTotals now = GroupOfTotals(&sc.arrNVCTotals[static_cast<size_t>(g0)]);
    if (std::memcmp(&now, &sc.arrGroupTotals[static_cast<size_t>(g0 / 4)], sizeof now) != 0) return false;
  }
  return true;
}

// The key a group's units are ranked by.
VM_AVX2 inline __m256d RankKey(const FitX4& fit, RankBy by) {
  return by == RankBy::kFit ? fit.mean : by == RankBy::kConsensus ? fit.consensus : fit.czekanowski;
}

// Offers the units of the groups fitted to the places, in index order, from
// their keys. Unit 0 and the rows past the last unit are offered too, with keys
// of zero: they can take places only while fewer than n keys above zero were
// offered, and then the places are taken again from the fit table.
void OfferGroups(const int32_t* groups, int count, const double* keys, const PlacesAsked& places) {
  ClearPlaces(places.top, places.n);
  for (int i = 0; i < count; ++i) OfferFour(places.top, places.n, groups[i], keys + 4 * i);
}

}  // namespace

template <bool kWholeJ, bool kAdjusted, bool kPacked>
VM_AVX2 void FitUnitsX4(ScoringState& sc, const SampleTotals& st, int nUnits, const PlacesAsked* places) {
  assert(GroupTotalsCurrent(sc, nUnits));
  SampleX4 s;
  s.j = _mm256_set1_pd(st.j);
  s.presencePerJ = _mm256_set1_pd(st.presencePerJ);
  s.sumCover = _mm256_set1_pd(st.sumCover);
  s.species = _mm256_set1_pd(st.species);
  s.w1 = _mm256_set1_pd(st.wt.w1);
  s.w2 = _mm256_set1_pd(st.wt.w2);
  s.w3 = _mm256_set1_pd(st.wt.w3);
  s.w4 = _mm256_set1_pd(st.wt.w4);
  for (int c = 0; c <= 5; ++c) s.f[c] = _mm256_set1_pd(st.f[c]);

  int cleared = 0;
  const int n = ListFitGroups(sc, nUnits, &cleared);
  const int32_t* list = sc.arrFitGroups.data();
  const int back = static_cast<int>(sc.arrFitGroups.size()) - 1;
  for (int i = 0; i < cleared; ++i) ClearGroup(sc, list[back - i]);
  // A run of groups is taken through each half in turn: each half's work on
  // one group is a long chain of dependent steps, and the processor overlaps
  // the chains of different groups only within its window of instructions.
  constexpr int kRun = 16;
  ProfileX4 profiles[kRun];
  FitX4 fit;
  for (int i0 = 0; i0 < n; i0 += kRun) {
    const int m = std::min(kRun, n - i0);
    for (int k = 0; k < m; ++k) ProfileGroup<kWholeJ, kPacked>(sc, list[i0 + k], s, profiles[k]);
    for (int k = 0; k < m; ++k) {
      FitGroup<kAdjusted>(profiles[k], s, fit);
      if (places != nullptr) {
        _mm256_storeu_pd(&sc.arrRankKeys[static_cast<size_t>(4 * (i0 + k))], RankKey(fit, places->by));
      }
      StoreGroup<kPacked>(sc, profiles[k], fit);
    }
  }
  if (places != nullptr) OfferGroups(list, n, sc.arrRankKeys.data(), *places);
}

// The forms FitAll calls: frequency data are never packed.
template void FitUnitsX4<false, false, false>(ScoringState&, const SampleTotals&, int, const PlacesAsked*);
template void FitUnitsX4<false, true, false>(ScoringState&, const SampleTotals&, int, const PlacesAsked*);
template void FitUnitsX4<true, false, false>(ScoringState&, const SampleTotals&, int, const PlacesAsked*);
template void FitUnitsX4<true, false, true>(ScoringState&, const SampleTotals&, int, const PlacesAsked*);
template void FitUnitsX4<true, true, false>(ScoringState&, const SampleTotals&, int, const PlacesAsked*);
template void FitUnitsX4<true, true, true>(ScoringState&, const SampleTotals&, int, const PlacesAsked*);

// Cover data, four fields at a time: each line adds its cover term, class count
// included, to its unit's sums; each field is added as the walk adds it.
VM_AVX2 void WalkCoverLinesX4(const LineWalk& walk, int first, int last) {
  const ScoredLine* lines = walk.lines;
  UnitSums* sums = walk.sums;
  const UnitSums* terms = walk.coverTerms;
  for (int r = first; r <= last; ++r) {
    const ScoredLine& line = lines[r];
    double* u = &sums[line.nNVCIndex].dClassCover;
    _mm256_store_pd(u, _mm256_add_pd(_mm256_load_pd(u), _mm256_load_pd(&terms[line.nWeightKey].dClassCover)));
  }
}
#endif

// Where the fits are made four units at a time, the records they read and
// write side by side must lie as the loads and stores take them.
static_assert(offsetof(NVCFit, dGoF4) == offsetof(NVCFit, dGoF1) + 24, "");
static_assert(offsetof(NVCFit, dConsensus) == offsetof(NVCFit, dMeanGoF) + 16, "");
static_assert(offsetof(NVCFit, nSampleFreqByClass) == offsetof(NVCFit, dMeanGoF) + 24, "");
static_assert(sizeof(NVCFit) - offsetof(NVCFit, nSampleFreqByClass) >= sizeof(UnitFreq), "");
static_assert(sizeof(UnitSums) == 32, "");

bool VectorFitAvailable() {
#if VM_VECTOR_FIT
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}
