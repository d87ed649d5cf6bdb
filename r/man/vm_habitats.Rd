\name{vm_habitats}
\alias{vm_habitats}
\title{Habitat Correspondences of NVC Units}
\description{
Lists the correspondences between NVC units and other habitat classifications:
UKHab levels 2-5, EU Habitats Directive Annex I, Biodiversity Action Plan broad
and priority habitats, Phase 1, EUNIS, NPMS broad and fine habitats, and the
lake vegetation communities.
}
\usage{
vm_habitats(units = NULL, tables = NULL)
}
\arguments{
  \item{units}{\code{NULL} for every unit, or a character vector of NVC codes
    (e.g. \code{c("MG5", "MG5a")}); codes that are not units give no rows.}
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables, as in \code{\link{vm_classify}}.}
}
\value{
A data frame with one row per correspondence: \code{nvc_code},
\code{classification}, \code{habitat_code} (\code{""} where the classification
has no codes, as the priority and NPMS habitats), \code{habitat_name},
\code{relationship} (e.g. \code{"is contained in"}, \code{"overlaps with"}) and
\code{inherited_from}: the community whose correspondence a sub-community takes
where it has none of its own in that classification, or \code{""}.
}
\seealso{\code{\link{vm_units}}; the \code{habitats} argument of
\code{\link{vm_classify}}}
\examples{
h <- vm_habitats(c("MG5", "MG5a"))
unique(h$classification)
h[h$classification == "Phase 1 Habitat Classification",
  c("nvc_code", "habitat_code", "habitat_name", "relationship")]
head(vm_habitats("M13a")[, c("classification", "habitat_code", "inherited_from")])
}
