\name{vm_indicators}
\alias{vm_indicators}
\title{Ellenberg Indicator Values of Each Sample Beside Its Unit's}
\description{
Classifies each sample and returns the means of the Ellenberg indicator values
(as calibrated for the British flora) of its species beside those of its first
unit: F moisture, L light, N fertility, R reaction and S salt.
}
\usage{
vm_indicators(data, sample = NULL, species = NULL, cover = NULL, scale = "percent",
              rank_by = "consensus", names_map = NULL, tables = NULL, strict = FALSE)
}
\arguments{
  \item{data}{the survey, a long data frame or a community matrix, as in
    \code{\link{vm_classify}}.}
  \item{sample}{names of the columns that name a sample; \code{NULL} finds them
    by their usual names, as in \code{\link{vm_classify}}.}
  \item{species, cover}{names of the species and cover columns of long data;
    \code{NULL} finds them by their usual names.}
  \item{scale}{the cover scale: \code{"percent"}, \code{"braun-blanquet"},
    \code{"domin"} or \code{"presence"}; it gives the weights of the
    cover-weighted means.}
  \item{rank_by}{the ranking that names the first unit: \code{"consensus"},
    \code{"fit"} or \code{"czekanowski"}.}
  \item{names_map}{\code{NULL}, or a names map as in \code{\link{vm_classify}}.}
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables.}
  \item{strict}{\code{TRUE}: any problem of the run is one error instead of
    warnings.}
}
\value{
A data frame with one row per sample: \code{sample} and the identifying
columns, \code{nvc_code} (the first unit), \code{indicator_share} (the share of
the sample's species that have values), then for each letter X of \code{F},
\code{L}, \code{N}, \code{R}, \code{S}: \code{X} (the sample's mean),
\code{X_weighted} (its cover-weighted mean; the plain mean for presence data),
\code{X_unit} and \code{X_unit_sd} (the mean and standard deviation over the
species of the unit's table: the spread of the unit's species, not of its
samples) and \code{X_outside} (\code{TRUE} when the sample's mean lies outside
the unit's mean +- sd). These are the indicator columns of
\code{vm_classify(indicators = TRUE)} for rank 1. Problems come as warnings and
as \code{attr(x, "problems")}, as in \code{\link{vm_classify}}.
}
\seealso{\code{\link{vm_classify}}, \code{\link{vm_report}}}
\examples{
i <- suppressWarnings(vm_indicators(vm_example(), scale = "presence"))
head(i[, c("sample", "nvc_code", "F", "F_unit", "F_unit_sd", "F_outside")])
colSums(i[, grep("_outside$", names(i))])
}
