# The functions users call: each takes a survey (or names, or tables) as R
# holds it, runs the engine's command on it, and gives back its results as
# data frames, with the run's problems beside them. Their help pages are
# the roxygen blocks above them.

# Classifies `data` with the options given; `extra` are further options of the
# command line, `outputs` CSV files it writes (option = file name) to read back.
# Returns the results and those files as data frames, with the run's problems
# in their attribute.
.vm_classify_run <- function(data, sample, species, cover, scale, rank_by, fits, pool_by, habitats,
                             indicators, names_map, tables, strict, extra = character(), outputs = character()) {
  dir <- tempfile("vegmatch")
  dir.create(dir)
  on.exit(unlink(dir, recursive = TRUE), add = TRUE)
  input <- .vm_input(data, sample, species, cover, dir)
  opts <- .vm_options(scale, rank_by, fits, pool_by, habitats, indicators, names_map, tables, strict, dir)
  for (o in names(outputs)) extra <- c(extra, o, file.path(dir, outputs[[o]]))
  types <- .vm_types("results")
  run <- .vm_call("classify", c(input$file, input$args, opts$args, "-o", "-", extra), results = TRUE,
                  text = c(.vm_text_of(types), names(input$ids)))
  problems <- .vm_problems(run, c(list(data = input), opts$files), strict, dir)
  frames <- list(results = .vm_frame(run$results, types, input$ids))
  # Each file the options write, read with the types of its columns.
  kinds <- c("--synoptic" = "synoptic", "--habitats-out" = "habitats", "--species-lists" = "lists")
  for (o in names(outputs)) {
    t <- .vm_types(kinds[[o]])
    frames[[outputs[[o]]]] <- .vm_frame(.vm_read_csv(file.path(dir, outputs[[o]]), c(.vm_text_of(t), names(input$ids))),
                                        t, input$ids)
  }
  lapply(frames, .vm_with_problems, problems)
}

.vm_with_problems <- function(x, problems) {
  attr(x, "problems") <- problems
  x
}

#' Name the NVC Units That Fit Each Sample Best
#'
#' @description
#' Scores every sample of a survey against the association table of every NVC
#' community and sub-community and returns the best fits of each, ranked, with how
#' sure the first place is. The results are those of
#' \command{vegmatch classify} on the same data and options.
#'
#' @param data the survey: a data frame in long form (one row per species record:
#'   the columns that name the sample, a species column, a cover column, and
#'   optionally frequency and layer columns), or a community matrix (a matrix, or
#'   a data frame without a species column: one row per sample, one column per
#'   species, covers in the cells; 0, \code{NA} or \code{""} is absent). A
#'   matrix needs species names as column names; its samples are named by its
#'   identifying columns or else by its row names. R's syntactic names such as
#'   \code{Hyacinthoides.non.scripta} are read back as written names.
#' @param sample names of the columns that name a sample, e.g.
#'   \code{c("Site", "Year", "Quadrat")}. \code{NULL}: the columns whose names
#'   say site, year (or date), group (transect, stand) or quadrat (plot, releve,
#'   sample).
#' @param species name of the species column of long data. \code{NULL}: the
#'   column called species, taxon, name or latin name (case does not matter).
#' @param cover name of the cover column of long data. \code{NULL}: the column
#'   called cover, abundance, value, domin, percent or \code{Cover (\%)}.
#' @param scale the cover scale: \code{"percent"}, \code{"braun-blanquet"},
#'   \code{"domin"} or \code{"presence"} (covers ignored; the fit is on the
#'   species composition alone). \code{+} and \code{r} are read as the scale's
#'   lowest class; \code{p}, \code{present} and \code{x} as present.
#' @param rank_by the ranking: \code{"consensus"} (mean fit times Czekanowski's
#'   coefficient), \code{"fit"} (mean fit) or \code{"czekanowski"}.
#' @param fits number of fits (ranks) returned per sample, 1 to 99.
#' @param pool_by \code{NULL}, or names of identifying columns (e.g.
#'   \code{c("Site", "Year")}): the quadrats that share their values are pooled
#'   into one frequency sample, which is classified instead of the quadrats.
#' @param habitats \code{NULL}, or keys of the habitat classifications to add as
#'   columns: \code{"all"} or any of \code{"ukhab"}, \code{"annex1"},
#'   \code{"priority"}, \code{"phase1"}, \code{"eunis"}.
#' @param indicators \code{TRUE} adds the Ellenberg indicator values of each
#'   sample beside those of the unit (see Value).
#' @param names_map \code{NULL}, or names to put right without editing the data:
#'   a data frame whose first column is the name as written and second the name
#'   to use (empty: read as written), or the path of such a CSV file (as
#'   \command{vegmatch names --map-out} writes it). A name to use must reach a
#'   dictionary entry by its full name, or nothing is classified.
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables (\file{SPECDICT3.txt}, \file{VegmatchNVCDef3.txt},
#'   \file{VegmatchNVCData3.txt} and, optionally, the CSV files that go with
#'   them).
#' @param strict \code{TRUE}: any problem the run reports (a refused row or
#'   cover, a name that is not plain, covers that look like another scale) stops
#'   with one error instead of warnings.
#'
#' @details
#' A species recorded twice in a sample (two rows, or woodland layers) counts once,
#' its percent covers summed (at most 100). Names are looked up as surveys write
#' them: authorities, qualifiers and the like are set aside, older names reach the
#' current species, and records of no taxon (bare ground, litter, rock...) are
#' left out; see \code{\link{vm_names}}.
#'
#' Which unit is right is most often given by the consensus ranking. The four
#' columns \code{agreement}, \code{margin}, \code{confidence} and
#' \code{p_correct} describe the first place and repeat on every row of the
#' sample. \code{p_correct} is calibrated on samples drawn from the tables
#' themselves, which are as homogeneous as the tables; real quadrats are harder,
#' so read it as a ranking of how sure the first places are.
#'
#' @return A data frame with one row per sample and rank, and the columns:
#' \describe{
#'   \item{\code{sample}}{the sample's label: its identifying values joined.}
#'   \item{identifying columns}{each column that names the samples (e.g.
#'     \code{Site}, \code{Year}, \code{Group}, \code{Quadrat}), with the type it
#'     had in \code{data}.}
#'   \item{\code{rank}}{place in the ranking, 1 to \code{fits}.}
#'   \item{\code{nvc_code}, \code{community}, \code{sub_community}}{the unit and
#'     its names (\code{""} for a community).}
#'   \item{\code{mean_fit}}{the goodness of fit, 0-100, that combines
#'     \code{fit_1} to \code{fit_4}.}
#'   \item{\code{fit_1}, \code{fit_2}}{fits of the species composition against the
#'     unit's constancy classes, 0-100.}
#'   \item{\code{fit_3}, \code{fit_4}}{fits of the covers against the unit's, 0-100;
#'     0 with \code{scale = "presence"}.}
#'   \item{\code{fit_class}}{the mean fit in words: very poor (below 50), poor
#'     (50-59), fair (60-69), good (70-79), very good (80 and above).}
#'   \item{\code{eunis_code}, \code{eunis_name}}{the unit's EUNIS habitat.}
#'   \item{\code{species}, \code{species_matched}}{number of species in the sample,
#'     and of those in the unit's table.}
#'   \item{\code{tie}}{the rank this row ties with on the ranking's value (to one
#'     decimal), else \code{""}.}
#'   \item{\code{czekanowski}}{Czekanowski's coefficient, 0-100, of the sample's
#'     species against the unit's table, each species weighted by its constancy
#'     class.}
#'   \item{\code{consensus}}{\code{mean_fit * czekanowski / 100}.}
#'   \item{\code{ranked_by}}{the ranking that ordered the rows.}
#'   \item{\code{agreement}}{whether the fit, consensus and Czekanowski rankings
#'     name the same first unit: \code{"all"}, \code{"two"} or \code{"none"}.}
#'   \item{\code{margin}}{the first place's lead over the second: points of mean
#'     fit when ranked by fit, else percent of the first's value.}
#'   \item{\code{confidence}}{\code{"high"} (\code{p_correct} 0.80 or more),
#'     \code{"medium"} (0.50 or more) or \code{"low"}.}
#'   \item{\code{p_correct}}{the estimated probability that the first unit is
#'     right.}
#' }
#' With \code{habitats}, one column per classification: \code{ukhab},
#' \code{annex1}, \code{priority_habitat}, \code{phase1}, \code{eunis_habitat},
#' each holding the unit's items \code{CODE NAME (RELATIONSHIP)} joined by
#' \code{" | "}; a sub-community takes its community's correspondences where it has
#' none of its own, marked \code{inherited from} the community.
#'
#' With \code{indicators = TRUE}, \code{indicator_share} (the share of the sample's
#' species that have values), then for each of \code{F} (moisture), \code{L}
#' (light), \code{N} (fertility), \code{R} (reaction) and \code{S} (salt): the
#' sample's mean \code{F}, its cover-weighted mean \code{F_weighted}, the unit's
#' mean \code{F_unit} and standard deviation \code{F_unit_sd} (the spread of the
#' unit's species), and \code{F_outside}, \code{TRUE} when the sample's mean lies
#' outside the unit's mean +- sd; likewise for \code{L}, \code{N}, \code{R},
#' \code{S}.
#'
#' The problems of the run are given as warnings (one per kind, with its count)
#' and as \code{attr(x, "problems")}: a data frame with \code{input}
#' (\code{"data"}, \code{"names_map"}, or \code{""} for the run as a whole),
#' \code{rows} (the rows of \code{data} concerned, comma-separated, or
#' \code{""}), \code{message}, and \code{kind} (the message without its numbers
#' and quoted names). A run that cannot classify the data is an error.
#'
#' @seealso \code{\link{vm_names}} to check the species names first;
#' \code{\link{vm_synoptic}}, \code{\link{vm_indicators}}, \code{\link{vm_report}}.
#'
#' @examples
#' # The bundled survey records presence only, every cover as 5.
#' x <- vm_classify(vm_example(), scale = "presence")
#' head(x[x$rank == 1, c("sample", "nvc_code", "confidence")])
#' table(x$confidence[x$rank == 1])
#'
#' # Cover data on the default percent scale warn when the covers look like
#' # presence data; the warnings are kept as the "problems" attribute.
#' y <- suppressWarnings(vm_classify(vm_example(), fits = 3, habitats = "annex1"))
#' attr(y, "problems")$message
#'
#' # A community matrix: one row per sample, one column per species.
#' m <- unclass(xtabs(cover ~ sample + species, data = vm_example()))
#' z <- suppressWarnings(vm_classify(as.matrix(m), scale = "presence", fits = 1))
#' head(z[, c("sample", "nvc_code", "mean_fit", "czekanowski", "p_correct")])
#' names(attr(z, "problems"))
#'
#' @keywords multivariate
#' @export
vm_classify <- function(data, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                        rank_by = "consensus", fits = 5, pool_by = NULL, habitats = NULL, indicators = FALSE,
                        names_map = NULL, tables = NULL, strict = FALSE) {
  .vm_classify_run(data, sample, species, cover, scale, rank_by, fits, pool_by, habitats, indicators, names_map,
                   tables, strict)$results
}

#' Check How Species Names Reach the Dictionary
#'
#' @description
#' Lists every distinct species name of a survey (or of a vector of names) with
#' how it reaches the species dictionary of the tables, as
#' \code{\link{vm_classify}} reads it: the code and current name it is scored as,
#' and close names for those that need a look.
#'
#' @param x a character vector (or factor) of names, or a survey as
#'   \code{\link{vm_classify}} takes it: a long data frame or a community
#'   matrix.
#' @param names_map \code{NULL}, or a names map as in \code{\link{vm_classify}}
#'   (a data frame of name as written and name to use, or the path of such a CSV
#'   file): the names are then listed as they are read with it.
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables, as in \code{\link{vm_classify}}.
#'
#' @details
#' A name is looked up by its full name first, then by less: authorities,
#' qualifiers (\code{cf.}, \code{s.str.}), infraspecific ranks, layer marks and
#' accents are set aside. The statuses are:
#' \describe{
#'   \item{\code{exact}}{the name as written is a current dictionary name.}
#'   \item{\code{normalised}}{it is one once authorities, qualifiers and the like
#'     are set aside.}
#'   \item{\code{older-name}}{an older or other name, scored as the current name's
#'     species.}
#'   \item{\code{aggregate}}{\code{A/B} or \code{A agg.}: scored as the entry that
#'     covers every name given (\code{Quercus robur/petraea} as \code{Quercus}).}
#'   \item{\code{short-name}}{only the short name (4 + 4 letters) matches, e.g.
#'     \code{Festuca ovinna}; scored as the entry reached.}
#'   \item{\code{ambiguous}}{\code{A/B} whose names reach different entries, none
#'     covering both; scored as the first.}
#'   \item{\code{genus-only}}{a genus alone that has no genus entry in the tables
#'     (\code{Poa}); scored as a species the tables do not hold.}
#'   \item{\code{not-a-taxon}}{bare ground, litter, rock, open water, dung, dead
#'     wood and the like; left out of scoring and of the species counts.}
#'   \item{\code{unknown}}{no entry; scored as a species the tables do not hold.}
#' }
#' Names that are not \code{exact}, \code{normalised} or \code{older-name} are
#' worth a look; put them right with a \code{names_map} rather than by editing the
#' survey.
#'
#' @return A data frame with one row per distinct name as written: \code{name},
#' \code{records} (how many records use it), \code{status} (above), \code{code}
#' (the dictionary code reached, \code{NA} when none), \code{dictionary_name} (the
#' current name of that code) and \code{suggestions} (up to three close names,
#' older names shown as \code{X (older name of Y)}, or \code{""}). What the run
#' reports comes as warnings and as \code{attr(x, "problems")}, as in
#' \code{\link{vm_classify}}.
#'
#' @seealso \code{\link{vm_classify}}
#'
#' @examples
#' n <- suppressWarnings(vm_names(vm_example()))
#' table(n$status)
#' n[n$status != "exact", ]
#'
#' suppressWarnings(vm_names(c("Festuca ovinna", "Quercus robur/petraea",
#'                             "Holcus lanatus L.", "bare ground", "Poa")))
#'
#' # A names map puts a name right without editing the survey.
#' map <- data.frame(name = "Dactylorhiza sp", use = "Dactylorhiza fuchsii")
#' n2 <- suppressWarnings(vm_names(vm_example(), names_map = map))
#' n2[n2$name == "Dactylorhiza sp", ]
#' @export
vm_names <- function(x, names_map = NULL, tables = NULL) {
  dir <- tempfile("vegmatch")
  dir.create(dir)
  on.exit(unlink(dir, recursive = TRUE), add = TRUE)
  if (is.factor(x)) x <- as.character(x)
  if (is.character(x)) {
    if (length(x) == 0L) stop("vegmatch: x: no names", call. = FALSE)
    x <- data.frame(sample = "names", species = x, stringsAsFactors = FALSE)
  }
  input <- .vm_input(x, dir = dir)
  map <- .vm_names_map(names_map, dir)
  out <- file.path(dir, "names.csv")
  run <- .vm_call("names", c(input$file, input$args, "--tables", .vm_tables(tables), map$args, "-o", out))
  # The names command fails (status 1) when a name reached nothing; that is
  # what its table says, not a failure of the run.
  if (run$status == 1L && file.exists(out)) run$status <- 0L
  # What it read is no problem.
  run$messages <- run$messages[run$messages$kind != "samples read", , drop = FALSE]
  problems <- .vm_problems(run, c(list(data = input), map$files), FALSE, dir)
  types <- .vm_types("names")
  .vm_with_problems(.vm_frame(.vm_read_csv(out, .vm_text_of(types)), types), problems)
}

#' Synoptic Tables of Groups of Samples Beside Their Units
#'
#' @description
#' Groups the samples of a survey, names the unit of each group, and sets the
#' group's synoptic table (the frequency and constancy of each species across its
#' quadrats) beside that unit's floristic table.
#'
#' @param data the survey, a long data frame or a community matrix, as in
#'   \code{\link{vm_classify}}.
#' @param group \code{NULL} (the whole survey is one group), or names of
#'   identifying columns (e.g. \code{c("Site", "Year")}) whose values form the
#'   groups.
#' @param sample names of the columns that name a sample; \code{NULL} finds them
#'   by their usual names, as in \code{\link{vm_classify}}.
#' @param species,cover names of the species and cover columns of long data;
#'   \code{NULL} finds them by their usual names.
#' @param scale the cover scale: \code{"percent"}, \code{"braun-blanquet"},
#'   \code{"domin"} or \code{"presence"}.
#' @param rank_by the ranking that names each group's unit: \code{"consensus"},
#'   \code{"fit"} or \code{"czekanowski"}.
#' @param names_map \code{NULL}, or a names map as in \code{\link{vm_classify}}.
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables.
#' @param strict \code{TRUE}: any problem of the run is one error instead of
#'   warnings.
#'
#' @details
#' Each group is classified as one pooled frequency sample of its quadrats; its
#' first unit is the unit of the table. Constancy classes are I (1-20\%), II
#' (21-40\%), III (41-60\%), IV (61-80\%) and V (81-100\%).
#'
#' @return A data frame with, per group, one row per species of the group by falling
#' frequency, then one per species of the unit that the group lacks. Columns: the
#' group columns; \code{group} (the group's label, \code{"all samples"} without
#' \code{group}); \code{quadrats} (quadrats in the group); \code{unit} (the
#' group's unit); \code{species} and \code{code} (the species and its dictionary
#' code); \code{group_quadrats}, \code{group_frequency} (percent of the quadrats)
#' and \code{group_constancy} (I-V) of the species in the group; \code{cover_min},
#' \code{cover_max} (its cover range, in the scale of the data; \code{NA} for
#' presence data); \code{unit_constancy} and \code{unit_domin} (its constancy and
#' Domin range in the unit's table); \code{note}: \code{"unit constant missing"}
#' (IV-V in the unit, absent from the group), \code{"group constant not in unit"},
#' or \code{""}. Problems come as warnings and as \code{attr(x, "problems")}, as
#' in \code{\link{vm_classify}}.
#'
#' @seealso \code{\link{vm_classify}}, \code{\link{vm_report}}
#'
#' @examples
#' d <- vm_example()
#' d$Year <- as.integer(substr(d$sample, 4, 7))
#' s <- suppressWarnings(vm_synoptic(d, group = "Year", scale = "presence"))
#' unique(s[, c("Year", "quadrats", "unit")])
#' head(s[, c("Year", "species", "group_constancy", "unit_constancy", "note")])
#' s[s$note != "", c("Year", "unit", "species", "unit_constancy", "note")]
#' @export
vm_synoptic <- function(data, group = NULL, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                        rank_by = "consensus", names_map = NULL, tables = NULL, strict = FALSE) {
  extra <- if (is.null(group)) character() else c("--group-by", paste(group, collapse = ","))
  .vm_classify_run(data, sample, species, cover, scale, rank_by, 1, NULL, NULL, FALSE, names_map, tables, strict,
                   extra, outputs = c("--synoptic" = "synoptic.csv"))[["synoptic.csv"]]
}

#' Ellenberg Indicator Values of Each Sample Beside Its Unit's
#'
#' @description
#' Classifies each sample and returns the means of the Ellenberg indicator values
#' (as calibrated for the British flora) of its species beside those of its first
#' unit: F moisture, L light, N fertility, R reaction and S salt.
#'
#' @param data the survey, a long data frame or a community matrix, as in
#'   \code{\link{vm_classify}}.
#' @param sample names of the columns that name a sample; \code{NULL} finds them
#'   by their usual names, as in \code{\link{vm_classify}}.
#' @param species,cover names of the species and cover columns of long data;
#'   \code{NULL} finds them by their usual names.
#' @param scale the cover scale: \code{"percent"}, \code{"braun-blanquet"},
#'   \code{"domin"} or \code{"presence"}; it gives the weights of the
#'   cover-weighted means.
#' @param rank_by the ranking that names the first unit: \code{"consensus"},
#'   \code{"fit"} or \code{"czekanowski"}.
#' @param names_map \code{NULL}, or a names map as in \code{\link{vm_classify}}.
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables.
#' @param strict \code{TRUE}: any problem of the run is one error instead of
#'   warnings.
#'
#' @return A data frame with one row per sample: \code{sample} and the identifying
#' columns, \code{nvc_code} (the first unit), \code{indicator_share} (the share of
#' the sample's species that have values), then for each letter X of \code{F},
#' \code{L}, \code{N}, \code{R}, \code{S}: \code{X} (the sample's mean),
#' \code{X_weighted} (its cover-weighted mean; the plain mean for presence data),
#' \code{X_unit} and \code{X_unit_sd} (the mean and standard deviation over the
#' species of the unit's table: the spread of the unit's species, not of its
#' samples) and \code{X_outside} (\code{TRUE} when the sample's mean lies outside
#' the unit's mean +- sd). These are the indicator columns of
#' \code{vm_classify(indicators = TRUE)} for rank 1. Problems come as warnings and
#' as \code{attr(x, "problems")}, as in \code{\link{vm_classify}}.
#'
#' @seealso \code{\link{vm_classify}}, \code{\link{vm_report}}
#'
#' @examples
#' i <- suppressWarnings(vm_indicators(vm_example(), scale = "presence"))
#' head(i[, c("sample", "nvc_code", "F", "F_unit", "F_unit_sd", "F_outside")])
#' colSums(i[, grep("_outside$", names(i))])
#' @export
vm_indicators <- function(data, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                          rank_by = "consensus", names_map = NULL, tables = NULL, strict = FALSE) {
  x <- .vm_classify_run(data, sample, species, cover, scale, rank_by, 1, NULL, NULL, TRUE, names_map, tables,
                        strict)$results
  first <- which(names(x) == "indicator_share")
  keep <- c(names(x)[seq_len(which(names(x) == "rank") - 1L)], "nvc_code", names(x)[first:ncol(x)])
  .vm_with_problems(x[keep], attr(x, "problems"))
}

#' Write a Self-Contained HTML Report of a Survey
#'
#' @description
#' Classifies a survey and writes one HTML file that shows the run, the survey at
#' a glance, each group of samples and each sample. The file holds its styles,
#' charts and a little script for sorting and filtering, fetches nothing, opens
#' offline and prints with every section open.
#'
#' @param data the survey, a long data frame or a community matrix, as in
#'   \code{\link{vm_classify}}.
#' @param file the HTML file to write; its folder must exist. A file of that
#'   name is replaced.
#' @param group \code{NULL} (the whole survey is one group), or names of
#'   identifying columns whose values form the groups, as in
#'   \code{\link{vm_synoptic}}.
#' @param sample names of the columns that name a sample; \code{NULL} finds them
#'   by their usual names, as in \code{\link{vm_classify}}.
#' @param species,cover names of the species and cover columns of long data;
#'   \code{NULL} finds them by their usual names.
#' @param scale the cover scale: \code{"percent"}, \code{"braun-blanquet"},
#'   \code{"domin"} or \code{"presence"}.
#' @param rank_by the ranking that orders every list: \code{"consensus"},
#'   \code{"fit"} or \code{"czekanowski"}.
#' @param fits number of fits shown per sample, 1 to 99.
#' @param names_map \code{NULL}, or a names map as in \code{\link{vm_classify}}.
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables.
#' @param strict \code{TRUE}: any problem of the run is one error instead of
#'   warnings.
#'
#' @details
#' The report has four sections:
#' \describe{
#'   \item{The run}{the inputs with their samples, the tables, the settings, the
#'     ranking, and every message of the run (refused rows, unknown names with
#'     their suggestions).}
#'   \item{The survey at a glance}{the units assigned (first places, coloured by
#'     confidence), the fit classes and the species richness.}
#'   \item{Per group}{the synoptic table beside the group's unit with its missing
#'     constants marked, the indicator chart (the group's mean against the unit's
#'     mean +- sd for F, L, N, R, S) and the habitat correspondences, inherited
#'     ones marked.}
#'   \item{Per sample}{(collapsed; type in the filter to find one) the top fits as
#'     bars of mean fit and consensus; the agreement, confidence and margin; the
#'     unit's constants present and missing; the indicator values.}
#' }
#'
#' @return The path of the file written, invisibly, with the problems of the run as
#' \code{attr(x, "problems")} (see \code{\link{vm_classify}}); they also come as
#' warnings.
#'
#' @seealso \code{\link{vm_classify}}, \code{\link{vm_synoptic}},
#' \code{\link{vm_indicators}}
#'
#' @examples
#' d <- vm_example()
#' d$Year <- as.integer(substr(d$sample, 4, 7))
#' f <- tempfile(fileext = ".html")
#' suppressWarnings(vm_report(d, f, group = "Year", scale = "presence"))
#' file.size(f)
#' \dontrun{
#' utils::browseURL(f)
#' }
#' unlink(f)
#' @export
vm_report <- function(data, file, group = NULL, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                      rank_by = "consensus", fits = 5, names_map = NULL, tables = NULL, strict = FALSE) {
  if (!is.character(file) || length(file) != 1L || is.na(file)) stop("vegmatch: file: one file is needed", call. = FALSE)
  file <- file.path(normalizePath(dirname(file), mustWork = TRUE), basename(file))
  extra <- c("--report", file)
  if (!is.null(group)) extra <- c(extra, "--group-by", paste(group, collapse = ","))
  x <- .vm_classify_run(data, sample, species, cover, scale, rank_by, fits, NULL, NULL, TRUE, names_map, tables,
                        strict, extra)$results
  invisible(.vm_with_problems(file, attr(x, "problems")))
}

#' The NVC Units of the Tables
#'
#' @description
#' Lists the communities and sub-communities of the tables with their names.
#'
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables, as in \code{\link{vm_classify}}.
#'
#' @return A data frame with one row per unit, in the order of the tables:
#' \code{nvc_code}, \code{community} and \code{sub_community} (\code{""} for a
#' community). When the folder holds \file{units.csv}, as the bundled tables do,
#' its columns follow: \code{community_code} (the unit's community),
#' \code{full_name} (the unit's full published name), \code{stands} (the number of
#' stands its table was built from) and \code{mean_species} (their mean species
#' count).
#'
#' @seealso \code{\link{vm_habitats}}
#'
#' @examples
#' u <- vm_units()
#' nrow(u)
#' u[u$community_code == "MG5", c("nvc_code", "sub_community", "stands", "mean_species")]
#' @export
vm_units <- function(tables = NULL) {
  info <- .vm_unit_info(.vm_tables(tables))
  units <- as.data.frame(info$units, stringsAsFactors = FALSE)
  # The other columns of the tables' units file, typed as read.csv types them.
  for (n in names(info$unit_fields)) units[[n]] <- utils::type.convert(info$unit_fields[[n]], as.is = TRUE)
  units
}

#' Habitat Correspondences of NVC Units
#'
#' @description
#' Lists the correspondences between NVC units and other habitat classifications:
#' UKHab levels 2-5, EU Habitats Directive Annex I, Biodiversity Action Plan broad
#' and priority habitats, Phase 1, EUNIS, NPMS broad and fine habitats, and the
#' lake vegetation communities.
#'
#' @param units \code{NULL} for every unit, or a character vector of NVC codes
#'   (e.g. \code{c("MG5", "MG5a")}); codes that are not units give no rows.
#' @param tables \code{NULL} for the bundled NVC tables, or the folder of other
#'   tables, as in \code{\link{vm_classify}}.
#'
#' @return A data frame with one row per correspondence: \code{nvc_code},
#' \code{classification}, \code{habitat_code} (\code{""} where the classification
#' has no codes, as the priority and NPMS habitats), \code{habitat_name},
#' \code{relationship} (e.g. \code{"is contained in"}, \code{"overlaps with"}) and
#' \code{inherited_from}: the community whose correspondence a sub-community takes
#' where it has none of its own in that classification, or \code{""}.
#'
#' @seealso \code{\link{vm_units}}; the \code{habitats} argument of
#' \code{\link{vm_classify}}
#'
#' @examples
#' h <- vm_habitats(c("MG5", "MG5a"))
#' unique(h$classification)
#' h[h$classification == "Phase 1 Habitat Classification",
#'   c("nvc_code", "habitat_code", "habitat_name", "relationship")]
#' head(vm_habitats("M13a")[, c("classification", "habitat_code", "inherited_from")])
#' @export
vm_habitats <- function(units = NULL, tables = NULL) {
  info <- .vm_unit_info(.vm_tables(tables))
  h <- as.data.frame(info$habitats, stringsAsFactors = FALSE)
  if (!is.null(units)) h <- h[h$nvc_code %in% units, , drop = FALSE]
  rownames(h) <- NULL
  h
}

#' A Real Survey of 60 Quadrats
#'
#' @description
#' Returns the bundled survey: 60 quadrats of Whitwell Common recorded in 1994 and
#' 1997, as a long data frame ready for \code{\link{vm_classify}}.
#'
#' @return A data frame with one row per species record (799 rows) and the columns
#' \code{sample} (the quadrat's label, e.g. \code{"WC 1994 A 1"}), \code{species}
#' (the name as recorded) and \code{cover}. The survey records presence only:
#' every cover is 5, so classify it with \code{scale = "presence"}; on another
#' scale the run warns that the covers look like presence data. One name,
#' \code{Dactylorhiza sp}, is a genus alone that the tables do not hold.
#'
#' @seealso \code{\link{vm_classify}}
#'
#' @examples
#' d <- vm_example()
#' length(unique(d$sample))
#' head(d)
#' table(d$cover)
#' @export
vm_example <- function() {
  lines <- readLines(system.file("extdata", "example_real.txt", package = "vegmatch"), encoding = "UTF-8")
  block <- cumsum(c(TRUE, utils::head(lines, -1L) == "" & lines[-1L] != "")) * (lines != "")
  first <- !duplicated(block) & block > 0
  name <- lines[first][match(block, block[first])]
  rec <- lines != "" & !first
  data.frame(sample = name[rec], species = sub(" +[^ ]+$", "", lines[rec]),
             cover = as.numeric(sub("^.* ", "", lines[rec])), stringsAsFactors = FALSE)
}
