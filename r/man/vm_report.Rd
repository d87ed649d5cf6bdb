\name{vm_report}
\alias{vm_report}
\title{Write a Self-Contained HTML Report of a Survey}
\description{
Classifies a survey and writes one HTML file that shows the run, the survey at
a glance, each group of samples and each sample. The file holds its styles,
charts and a little script for sorting and filtering, fetches nothing, opens
offline and prints with every section open.
}
\usage{
vm_report(data, file, group = NULL, sample = NULL, species = NULL, cover = NULL,
          scale = "percent", rank_by = "consensus", fits = 5, names_map = NULL,
          tables = NULL, strict = FALSE)
}
\arguments{
  \item{data}{the survey, a long data frame or a community matrix, as in
    \code{\link{vm_classify}}.}
  \item{file}{the HTML file to write; its folder must exist. A file of that
    name is replaced.}
  \item{group}{\code{NULL} (the whole survey is one group), or names of
    identifying columns whose values form the groups, as in
    \code{\link{vm_synoptic}}.}
  \item{sample}{names of the columns that name a sample; \code{NULL} finds them
    by their usual names, as in \code{\link{vm_classify}}.}
  \item{species, cover}{names of the species and cover columns of long data;
    \code{NULL} finds them by their usual names.}
  \item{scale}{the cover scale: \code{"percent"}, \code{"braun-blanquet"},
    \code{"domin"} or \code{"presence"}.}
  \item{rank_by}{the ranking that orders every list: \code{"consensus"},
    \code{"fit"} or \code{"czekanowski"}.}
  \item{fits}{number of fits shown per sample, 1 to 99.}
  \item{names_map}{\code{NULL}, or a names map as in \code{\link{vm_classify}}.}
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables.}
  \item{strict}{\code{TRUE}: any problem of the run is one error instead of
    warnings.}
}
\details{
The report has four sections:
\describe{
  \item{The run}{the inputs with their samples, the tables, the settings, the
    ranking, and every message of the run (refused rows, unknown names with
    their suggestions).}
  \item{The survey at a glance}{the units assigned (first places, coloured by
    confidence), the fit classes and the species richness.}
  \item{Per group}{the synoptic table beside the group's unit with its missing
    constants marked, the indicator chart (the group's mean against the unit's
    mean +- sd for F, L, N, R, S) and the habitat correspondences, inherited
    ones marked.}
  \item{Per sample}{(collapsed; type in the filter to find one) the top fits as
    bars of mean fit and consensus; the agreement, confidence and margin; the
    unit's constants present and missing; the indicator values.}
}
}
\value{
The path of the file written, invisibly, with the problems of the run as
\code{attr(x, "problems")} (see \code{\link{vm_classify}}); they also come as
warnings.
}
\seealso{\code{\link{vm_classify}}, \code{\link{vm_synoptic}},
\code{\link{vm_indicators}}}
\examples{
d <- vm_example()
d$Year <- as.integer(substr(d$sample, 4, 7))
f <- tempfile(fileext = ".html")
suppressWarnings(vm_report(d, f, group = "Year", scale = "presence"))
file.size(f)
\dontrun{
utils::browseURL(f)
}
unlink(f)
}
