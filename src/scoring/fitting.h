// Internal to src/scoring: what the scalar fit (fit.cpp) and the four-at-a-time
// fit (fit_x4.cpp) share. Nothing outside this folder includes it.
#pragma once

#if defined(__x86_64__)
#include <immintrin.h>
#define VM_VECTOR_FIT 1
#define VM_AVX2 __attribute__((target("avx2")))
#else
#define VM_VECTOR_FIT 0
#endif

#include "scoring/scoring.h"

// Weights of GoF_1..GoF_4 in the mean, and whether the partners discount each other.
struct MeanWeights {
  double w1, w2, w3, w4;
  bool adjusted;
};

// The per-sample quantities every community is measured with, with a copy of
// the class frequencies that the stores into the fit table cannot touch.
struct SampleTotals {
  double j;             // maximum frequency, 1 for cover data
  double presencePerJ;  // L / J
  double sumCover;      // K
  double f[6];          // class frequencies I..V
  double species;       // distinct species of the sample, new ones included
  MeanWeights wt;
};

// Places to be taken while the fits are made: 1..n of top, by the key named.
struct PlacesAsked {
  TopFit* top;
  int n;
  RankBy by;
};

// What one sample entry adds to each unit its lines reach: per constancy class
// the cover power times the class frequency and the class value, side by side.
struct alignas(16) ClassSums {
  double dClassCover;
  double dValue;
};

// One entry's walk over its lines.
struct LineWalk {
  const ScoredLine* lines;
  UnitSums* sums;
  UnitFreq* freq;
  int w;  // the entry's weight: its frequency, or 1 for cover data
  // Frequency data: the entry's weight and cover, and what its lines add per class.
  double weight;
  double coverPercent;
  const LineWeights* weights;
  ClassSums byClass[6];
  // Cover data: what a line of each weight key adds, made when the tables were.
  const UnitSums* coverTerms;
};

#if VM_VECTOR_FIT
// The fits of every unit the sample reached or an earlier sample left values in,
// four units at a time (fit_x4.cpp instantiates the forms FitAll calls).
template <bool kWholeJ, bool kAdjusted, bool kPacked>
VM_AVX2 void FitUnitsX4(ScoringState& sc, const SampleTotals& st, int nUnits, const PlacesAsked* places);

// Cover data, four fields at a time: each line adds its cover term, class count
// included, to its unit's sums.
VM_AVX2 void WalkCoverLinesX4(const LineWalk& walk, int first, int last);
#endif
