\name{vm_units}
\alias{vm_units}
\title{The NVC Units of the Tables}
\description{
Lists the communities and sub-communities of the tables with their names.
}
\usage{
vm_units(tables = NULL)
}
\arguments{
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables, as in \code{\link{vm_classify}}.}
}
\value{
A data frame with one row per unit, in the order of the tables:
\code{nvc_code}, \code{community} and \code{sub_community} (\code{""} for a
community). When the folder holds \file{units.csv}, as the bundled tables do,
its columns follow: \code{community_code} (the unit's community),
\code{full_name} (the unit's full published name), \code{stands} (the number of
stands its table was built from) and \code{mean_species} (their mean species
count).
}
\seealso{\code{\link{vm_habitats}}}
\examples{
u <- vm_units()
nrow(u)
u[u$community_code == "MG5", c("nvc_code", "sub_community", "stands", "mean_species")]
}
