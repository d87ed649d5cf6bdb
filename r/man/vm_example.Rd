\name{vm_example}
\alias{vm_example}
\title{A Real Survey of 60 Quadrats}
\description{
Returns the bundled survey: 60 quadrats of Whitwell Common recorded in 1994 and
1997, as a long data frame ready for \code{\link{vm_classify}}.
}
\usage{
vm_example()
}
\value{
A data frame with one row per species record (799 rows) and the columns
\code{sample} (the quadrat's label, e.g. \code{"WC 1994 A 1"}), \code{species}
(the name as recorded) and \code{cover}. The survey records presence only:
every cover is 5, so classify it with \code{scale = "presence"}; on another
scale the run warns that the covers look like presence data. One name,
\code{Dactylorhiza sp}, is a genus alone that the tables do not hold.
}
\seealso{\code{\link{vm_classify}}}
\examples{
d <- vm_example()
length(unique(d$sample))
head(d)
table(d$cover)
}
