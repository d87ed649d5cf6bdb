\name{vm_classify}
\alias{vm_classify}
\title{Name the NVC Units That Fit Each Sample Best}
\description{
Scores every sample of a survey against the association table of every NVC
community and sub-community and returns the best fits of each, ranked, with how
sure the first place is. The results are those of
\command{vegmatch classify} on the same data and options.
}
\usage{
vm_classify(data, sample = NULL, species = NULL, cover = NULL, scale = "percent",
            rank_by = "consensus", fits = 5, pool_by = NULL, habitats = NULL,
            indicators = FALSE, names_map = NULL, tables = NULL, strict = FALSE)
}
\arguments{
  \item{data}{the survey: a data frame in long form (one row per species record:
    the columns that name the sample, a species column, a cover column, and
    optionally frequency and layer columns), or a community matrix (a matrix, or
    a data frame without a species column: one row per sample, one column per
    species, covers in the cells; 0, \code{NA} or \code{""} is absent). A
    matrix needs species names as column names; its samples are named by its
    identifying columns or else by its row names. R's syntactic names such as
    \code{Hyacinthoides.non.scripta} are read back as written names.}
  \item{sample}{names of the columns that name a sample, e.g.
    \code{c("Site", "Year", "Quadrat")}. \code{NULL}: the columns whose names
    say site, year (or date), group (transect, stand) or quadrat (plot, releve,
    sample).}
  \item{species}{name of the species column of long data. \code{NULL}: the
    column called species, taxon, name or latin name (case does not matter).}
  \item{cover}{name of the cover column of long data. \code{NULL}: the column
    called cover, abundance, value, domin, percent or \code{Cover (\%)}.}
  \item{scale}{the cover scale: \code{"percent"}, \code{"braun-blanquet"},
    \code{"domin"} or \code{"presence"} (covers ignored; the fit is on the
    species composition alone). \code{+} and \code{r} are read as the scale's
    lowest class; \code{p}, \code{present} and \code{x} as present.}
  \item{rank_by}{the ranking: \code{"consensus"} (mean fit times Czekanowski's
    coefficient), \code{"fit"} (mean fit) or \code{"czekanowski"}.}
  \item{fits}{number of fits (ranks) returned per sample, 1 to 99.}
  \item{pool_by}{\code{NULL}, or names of identifying columns (e.g.
    \code{c("Site", "Year")}): the quadrats that share their values are pooled
    into one frequency sample, which is classified instead of the quadrats.}
  \item{habitats}{\code{NULL}, or keys of the habitat classifications to add as
    columns: \code{"all"} or any of \code{"ukhab"}, \code{"annex1"},
    \code{"priority"}, \code{"phase1"}, \code{"eunis"}.}
  \item{indicators}{\code{TRUE} adds the Ellenberg indicator values of each
    sample beside those of the unit (see Value).}
  \item{names_map}{\code{NULL}, or names to put right without editing the data:
    a data frame whose first column is the name as written and second the name
    to use (empty: read as written), or the path of such a CSV file (as
    \command{vegmatch names --map-out} writes it). A name to use must reach a
    dictionary entry by its full name, or nothing is classified.}
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables (\file{SPECDICT3.txt}, \file{VegmatchNVCDef3.txt},
    \file{VegmatchNVCData3.txt} and, optionally, the CSV files that go with
    them).}
  \item{strict}{\code{TRUE}: any problem the run reports (a refused row or
    cover, a name that is not plain, covers that look like another scale) stops
    with one error instead of warnings.}
}
\details{
A species recorded twice in a sample (two rows, or woodland layers) counts once,
its percent covers summed (at most 100). Names are looked up as surveys write
them: authorities, qualifiers and the like are set aside, older names reach the
current species, and records of no taxon (bare ground, litter, rock...) are
left out; see \code{\link{vm_names}}.

Which unit is right is most often given by the consensus ranking. The four
columns \code{agreement}, \code{margin}, \code{confidence} and
\code{p_correct} describe the first place and repeat on every row of the
sample. \code{p_correct} is calibrated on samples drawn from the tables
themselves, which are as homogeneous as the tables; real quadrats are harder,
so read it as a ranking of how sure the first places are.
}
\value{
A data frame with one row per sample and rank, and the columns:
\describe{
  \item{\code{sample}}{the sample's label: its identifying values joined.}
  \item{identifying columns}{each column that names the samples (e.g.
    \code{Site}, \code{Year}, \code{Group}, \code{Quadrat}), with the type it
    had in \code{data}.}
  \item{\code{rank}}{place in the ranking, 1 to \code{fits}.}
  \item{\code{nvc_code}, \code{community}, \code{sub_community}}{the unit and
    its names (\code{""} for a community).}
  \item{\code{mean_fit}}{the goodness of fit, 0-100, that combines
    \code{fit_1} to \code{fit_4}.}
  \item{\code{fit_1}, \code{fit_2}}{fits of the species composition against the
    unit's constancy classes, 0-100.}
  \item{\code{fit_3}, \code{fit_4}}{fits of the covers against the unit's, 0-100;
    0 with \code{scale = "presence"}.}
  \item{\code{fit_class}}{the mean fit in words: very poor (below 50), poor
    (50-59), fair (60-69), good (70-79), very good (80 and above).}
  \item{\code{eunis_code}, \code{eunis_name}}{the unit's EUNIS habitat.}
  \item{\code{species}, \code{species_matched}}{number of species in the sample,
    and of those in the unit's table.}
  \item{\code{tie}}{the rank this row ties with on the ranking's value (to one
    decimal), else \code{""}.}
  \item{\code{czekanowski}}{Czekanowski's coefficient, 0-100, of the sample's
    species against the unit's table, each species weighted by its constancy
    class.}
  \item{\code{consensus}}{\code{mean_fit * czekanowski / 100}.}
  \item{\code{ranked_by}}{the ranking that ordered the rows.}
  \item{\code{agreement}}{whether the fit, consensus and Czekanowski rankings
    name the same first unit: \code{"all"}, \code{"two"} or \code{"none"}.}
  \item{\code{margin}}{the first place's lead over the second: points of mean
    fit when ranked by fit, else percent of the first's value.}
  \item{\code{confidence}}{\code{"high"} (\code{p_correct} 0.80 or more),
    \code{"medium"} (0.50 or more) or \code{"low"}.}
  \item{\code{p_correct}}{the estimated probability that the first unit is
    right.}
}
With \code{habitats}, one column per classification: \code{ukhab},
\code{annex1}, \code{priority_habitat}, \code{phase1}, \code{eunis_habitat},
each holding the unit's items \code{CODE NAME (RELATIONSHIP)} joined by
\code{" | "}; a sub-community takes its community's correspondences where it has
none of its own, marked \code{inherited from} the community.

With \code{indicators = TRUE}, \code{indicator_share} (the share of the sample's
species that have values), then for each of \code{F} (moisture), \code{L}
(light), \code{N} (fertility), \code{R} (reaction) and \code{S} (salt): the
sample's mean \code{F}, its cover-weighted mean \code{F_weighted}, the unit's
mean \code{F_unit} and standard deviation \code{F_unit_sd} (the spread of the
unit's species), and \code{F_outside}, \code{TRUE} when the sample's mean lies
outside the unit's mean +- sd; likewise for \code{L}, \code{N}, \code{R},
\code{S}.

The problems of the run are given as warnings (one per kind, with its count)
and as \code{attr(x, "problems")}: a data frame with \code{input}
(\code{"data"}, \code{"names_map"}, or \code{""} for the run as a whole),
\code{rows} (the rows of \code{data} concerned, comma-separated, or
\code{""}), \code{message}, and \code{kind} (the message without its numbers
and quoted names). A run that cannot classify the data is an error.
}
\seealso{
\code{\link{vm_names}} to check the species names first;
\code{\link{vm_synoptic}}, \code{\link{vm_indicators}}, \code{\link{vm_report}}.
}
\examples{
# The bundled survey records presence only, every cover as 5.
x <- vm_classify(vm_example(), scale = "presence")
head(x[x$rank == 1, c("sample", "nvc_code", "confidence")])
table(x$confidence[x$rank == 1])

# Cover data on the default percent scale warn when the covers look like
# presence data; the warnings are kept as the "problems" attribute.
y <- suppressWarnings(vm_classify(vm_example(), fits = 3, habitats = "annex1"))
attr(y, "problems")$message

# A community matrix: one row per sample, one column per species.
m <- unclass(xtabs(cover ~ sample + species, data = vm_example()))
z <- suppressWarnings(vm_classify(as.matrix(m), scale = "presence", fits = 1))
head(z[, c("sample", "nvc_code", "mean_fit", "czekanowski", "p_correct")])
names(attr(z, "problems"))
}
\keyword{multivariate}
