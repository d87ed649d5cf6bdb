# The package as a whole: its help page, and what its namespace takes in (the
# engine's library, compiled from the vegmatch sources, and Rcpp).

#' Name the NVC Vegetation Type of Plant Samples by Goodness of Fit
#'
#' @description
#' Names the vegetation type of a stand from a sample of plant species by the
#' goodness of fit of the sample to the association table of every community and
#' sub-community of the British National Vegetation Classification (NVC). The
#' engine of the \command{vegmatch} command line runs in the R process: long data
#' frames or community matrices go in, and the tidy results of
#' \command{vegmatch classify} come back as data frames.
#'
#' @details
#' \itemize{
#'   \item \code{\link{vm_classify}}: the best fits of every sample, with how sure
#'     the first place is, and optionally habitat correspondences and indicator
#'     values.
#'   \item \code{\link{vm_names}}: how each species name of a survey reaches the
#'     species dictionary of the tables.
#'   \item \code{\link{vm_synoptic}}: synoptic tables of groups of samples beside
#'     the table of each group's unit.
#'   \item \code{\link{vm_indicators}}: Ellenberg indicator values of each sample
#'     beside those of its first unit.
#'   \item \code{\link{vm_report}}: a self-contained HTML report of a survey.
#'   \item \code{\link{vm_units}}, \code{\link{vm_habitats}}: the units of the
#'     tables and their habitat correspondences.
#'   \item \code{\link{vm_example}}: a real survey of 60 quadrats to try them on.
#' }
#' Covers may be on the percent, Braun-Blanquet or Domin scale, or the data may be
#' presence only (\code{scale = "presence"}). Results are ranked by the consensus
#' (mean fit times Czekanowski's coefficient) unless \code{rank_by} says otherwise.
#'
#' Every function that reads a survey reports what it found wrong or doubtful in
#' the data as R warnings, one per kind of problem with its count, and returns the
#' same messages as \code{attr(x, "problems")}: a data frame with columns
#' \code{input}, \code{rows}, \code{message} and \code{kind}. With
#' \code{strict = TRUE} any such problem is one error instead.
#'
#' @source
#' The NVC tables that ship in \file{inst/extdata/nvc} (installed in
#' \code{system.file("extdata", "nvc", package = "vegmatch")}) are derived from the
#' data sets of RMAVIS 1.2.5 (UK Centre for Ecology & Hydrology, 2026-03-19; GNU
#' LGPL 3.0), which hold the NVC floristic tables (Rodwell et al., British Plant
#' Communities, 1991-2000) with taxon names updated to the UK Species Inventory,
#' the JNCC habitat correspondences, and the indicator values of the British
#' flora. Those tables are distributed under the GNU Lesser General Public License
#' version 3.0; the file \file{COPYRIGHTS} of the package says so in full. The
#' package's own code is under the MIT licence (the file \file{LICENSE}).
#'
#' @examples
#' x <- suppressWarnings(vm_classify(vm_example(), scale = "presence"))
#' head(x[x$rank == 1, c("sample", "nvc_code", "confidence")])
#'
#' @keywords package
#' @useDynLib vegmatch, .registration = TRUE
#' @importFrom Rcpp evalCpp
#' @importFrom stats setNames
"_PACKAGE"
