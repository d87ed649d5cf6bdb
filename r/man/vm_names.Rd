\name{vm_names}
\alias{vm_names}
\title{Check How Species Names Reach the Dictionary}
\description{
Lists every distinct species name of a survey (or of a vector of names) with
how it reaches the species dictionary of the tables, as
\code{\link{vm_classify}} reads it: the code and current name it is scored as,
and close names for those that need a look.
}
\usage{
vm_names(x, names_map = NULL, tables = NULL)
}
\arguments{
  \item{x}{a character vector (or factor) of names, or a survey as
    \code{\link{vm_classify}} takes it: a long data frame or a community
    matrix.}
  \item{names_map}{\code{NULL}, or a names map as in \code{\link{vm_classify}}
    (a data frame of name as written and name to use, or the path of such a CSV
    file): the names are then listed as they are read with it.}
  \item{tables}{\code{NULL} for the bundled NVC tables, or the folder of other
    tables, as in \code{\link{vm_classify}}.}
}
\details{
A name is looked up by its full name first, then by less: authorities,
qualifiers (\code{cf.}, \code{s.str.}), infraspecific ranks, layer marks and
accents are set aside. The statuses are:
\describe{
  \item{\code{exact}}{the name as written is a current dictionary name.}
  \item{\code{normalised}}{it is one once authorities, qualifiers and the like
    are set aside.}
  \item{\code{older-name}}{an older or other name, scored as the current name's
    species.}
  \item{\code{aggregate}}{\code{A/B} or \code{A agg.}: scored as the entry that
    covers every name given (\code{Quercus robur/petraea} as \code{Quercus}).}
  \item{\code{short-name}}{only the short name (4 + 4 letters) matches, e.g.
    \code{Festuca ovinna}; scored as the entry reached.}
  \item{\code{ambiguous}}{\code{A/B} whose names reach different entries, none
    covering both; scored as the first.}
  \item{\code{genus-only}}{a genus alone that has no genus entry in the tables
    (\code{Poa}); scored as a species the tables do not hold.}
  \item{\code{not-a-taxon}}{bare ground, litter, rock, open water, dung, dead
    wood and the like; left out of scoring and of the species counts.}
  \item{\code{unknown}}{no entry; scored as a species the tables do not hold.}
}
Names that are not \code{exact}, \code{normalised} or \code{older-name} are
worth a look; put them right with a \code{names_map} rather than by editing the
survey.
}
\value{
A data frame with one row per distinct name as written: \code{name},
\code{records} (how many records use it), \code{status} (above), \code{code}
(the dictionary code reached, \code{NA} when none), \code{dictionary_name} (the
current name of that code) and \code{suggestions} (up to three close names,
older names shown as \code{X (older name of Y)}, or \code{""}). What the run
reports comes as warnings and as \code{attr(x, "problems")}, as in
\code{\link{vm_classify}}.
}
\seealso{\code{\link{vm_classify}}}
\examples{
n <- suppressWarnings(vm_names(vm_example()))
table(n$status)
n[n$status != "exact", ]

suppressWarnings(vm_names(c("Festuca ovinna", "Quercus robur/petraea",
                            "Holcus lanatus L.", "bare ground", "Poa")))

# A names map puts a name right without editing the survey.
map <- data.frame(name = "Dactylorhiza sp", use = "Dactylorhiza fuchsii")
n2 <- suppressWarnings(vm_names(vm_example(), names_map = map))
n2[n2$name == "Dactylorhiza sp", ]
}
