

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
  text <- c(.vm_text, names(input$ids))
  run <- .vm_call("classify", c(input$file, input$args, opts$args, "-o", "-", extra), results = TRUE, text = text)
  problems <- .vm_problems(run, c(list(data = input), opts$files), strict, dir)
  frames <- list(results = .vm_frame(run$results, input$ids))
  for (f in outputs) frames[[f]] <- .vm_frame(.vm_read_csv(file.path(dir, f), text), input$ids)
  lapply(frames, .vm_with_problems, problems)
}

.vm_with_problems <- function(x, problems) {
  attr(x, "problems") <- problems
  x
}

vm_classify <- function(data, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                        rank_by = "consensus", fits = 5, pool_by = NULL, habitats = NULL, indicators = FALSE,
                        names_map = NULL, tables = NULL, strict = FALSE) {
  .vm_classify_run(data, sample, species, cover, scale, rank_by, fits, pool_by, habitats, indicators, names_map,
                   tables, strict)$results
}

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
  said <- strsplit(run$err, "\n", fixed = TRUE)[[1]]
  run$err <- paste(said[!grepl(": [0-9]+ samples read \\(", said)], collapse = "\n")
  problems <- .vm_problems(run, c(list(data = input), map$files), FALSE, dir)
  .vm_with_problems(.vm_frame(.vm_read_csv(out, .vm_text)), problems)
}

vm_synoptic <- function(data, group = NULL, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                        rank_by = "consensus", names_map = NULL, tables = NULL, strict = FALSE) {
  extra <- if (is.null(group)) character() else c("--group-by", paste(group, collapse = ","))
  .vm_classify_run(data, sample, species, cover, scale, rank_by, 1, NULL, NULL, FALSE, names_map, tables, strict,
                   extra, outputs = c("--synoptic" = "synoptic.csv"))[["synoptic.csv"]]
}

vm_indicators <- function(data, sample = NULL, species = NULL, cover = NULL, scale = "percent",
                          rank_by = "consensus", names_map = NULL, tables = NULL, strict = FALSE) {
  x <- .vm_classify_run(data, sample, species, cover, scale, rank_by, 1, NULL, NULL, TRUE, names_map, tables,
                        strict)$results
  first <- which(names(x) == "indicator_share")
  keep <- c(names(x)[seq_len(which(names(x) == "rank") - 1L)], "nvc_code", names(x)[first:ncol(x)])
  .vm_with_problems(x[keep], attr(x, "problems"))
}

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

vm_units <- function(tables = NULL) {
  folder <- .vm_tables(tables)
  info <- .vm_unit_info(folder)
  units <- as.data.frame(info$units, stringsAsFactors = FALSE)
  extra <- file.path(folder, "units.csv")
  if (file.exists(extra)) {
    more <- utils::read.csv(extra, stringsAsFactors = FALSE, encoding = "UTF-8", check.names = FALSE)
    units <- merge(units, more, by = "nvc_code", all.x = TRUE, sort = FALSE)
    units <- units[order(match(units$nvc_code, info$units$nvc_code)), , drop = FALSE]
    rownames(units) <- NULL
  }
  units
}

vm_habitats <- function(units = NULL, tables = NULL) {
  info <- .vm_unit_info(.vm_tables(tables))
  h <- as.data.frame(info$habitats, stringsAsFactors = FALSE)
  if (!is.null(units)) h <- h[h$nvc_code %in% units, , drop = FALSE]
  rownames(h) <- NULL
  h
}

vm_example <- function() {
  lines <- readLines(system.file("extdata", "example_real.txt", package = "vegmatch"), encoding = "UTF-8")
  block <- cumsum(c(TRUE, utils::head(lines, -1L) == "" & lines[-1L] != "")) * (lines != "")
  first <- !duplicated(block) & block > 0
  name <- lines[first][match(block, block[first])]
  rec <- lines != "" & !first
  data.frame(sample = name[rec], species = sub(" +[^ ]+$", "", lines[rec]),
             cover = as.numeric(sub("^.* ", "", lines[rec])), stringsAsFactors = FALSE)
}
