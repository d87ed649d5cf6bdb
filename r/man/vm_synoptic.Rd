\name{vm_synoptic}
\alias{vm_synoptic}
\title{Synoptic Tables of Groups of Samples Beside Their Units}
\description{
Groups the samples of a survey, names the unit of each group, and sets the
group's synoptic table (the frequency and constancy of each species across its
quadrats) beside that unit's floristic table.
}
\usage{
vm_synoptic(data, group = NULL, sample = NULL, species = NULL, cover = NULL,
            scale = "percent", rank_by = "consensus", names_map = NULL,
            tables = NULL, strict = FALSE)
}
\arguments{
  \item{data}{the survey, a long data frame or a community matrix, as in
    \code{\link{vm_classify}}.}
  \item{group}{\code{NULL} (the whole survey is one group), or names of
    identifying columns (e.g. \code{c("Site", "Year")}) whose values form the
    groups.}
  \item{sample}{names of the columns that name a sample; \code{NULL} finds them
    by their usual names, as in \code{\link{vm_classify}}.}
  \item{species, cover}{names of the species and cover columns of long data;
    \code{NULL} finds them by their usual names.}
  \item{scale}{the cover scale: \code{"percent"}, \code{"braun-blanquet"},
    \code{"domin"} or \code{"presence"}.}
  \item{rank_by}{the ranking that names each group's unit: \code{"consensus"},
    \code{"fit"} or \code{"czekanowski"}.}
  \item{names_map}{\code{NULL}, or a names map as in \code{\link{vm_classify}}.}
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables.}
  \item{strict}{\code{TRUE}: any problem of the run is one error instead of
    warnings.}
}
\details{
Each group is classified as one pooled frequency sample of its quadrats; its
first unit is the unit of the table. Constancy classes are I (1-20\%), II
(21-40\%), III (41-60\%), IV (61-80\%) and V (81-100\%).
}
\value{
A data frame with, per group, one row per species of the group by falling
frequency, then one per species of the unit that the group lacks. Columns: the
group columns; \code{group} (the group's label, \code{"all samples"} without
\code{group}); \code{quadrats} (quadrats in the group); \code{unit} (the
group's unit); \code{species} and \code{code} (the species and its dictionary
code); \code{group_quadrats}, \code{group_frequency} (percent of the quadrats)
and \code{group_constancy} (I-V) of the species in the group; \code{cover_min},
\code{cover_max} (its cover range, in the scale of the data; \code{NA} for
presence data); \code{unit_constancy} and \code{unit_domin} (its constancy and
Domin range in the unit's table); \code{note}: \code{"unit constant missing"}
(IV-V in the unit, absent from the group), \code{"group constant not in unit"},
or \code{""}. Problems come as warnings and as \code{attr(x, "problems")}, as
in \code{\link{vm_classify}}.
}
\seealso{\code{\link{vm_classify}}, \code{\link{vm_report}}}
\examples{
d <- vm_example()
d$Year <- as.integer(substr(d$sample, 4, 7))
s <- suppressWarnings(vm_synoptic(d, group = "Year", scale = "presence"))
unique(s[, c("Year", "quadrats", "unit")])
head(s[, c("Year", "species", "group_constancy", "unit_constancy", "note")])
s[s$note != "", c("Year", "unit", "species", "unit_constancy", "note")]
}
