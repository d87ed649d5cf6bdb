# How the R functions reach the engine: the data written as the CSV the
# command line reads, the command run in this process, its messages turned
# into warnings (or errors), and the CSV it writes read back with the types
# of its columns.

.vm_tables <- function(tables) {
  bundled <- system.file("extdata", "nvc", package = "vegmatch")
  if (is.null(tables)) return(bundled)
  if (!is.character(tables) || length(tables) != 1L || is.na(tables)) {
    stop("vegmatch: tables: one folder is needed", call. = FALSE)
  }
  if (!dir.exists(tables)) stop("vegmatch: ", tables, ": no such folder", call. = FALSE)
  normalizePath(tables)
}

# Runs a command of the engine; what it says comes back as the run's messages.
# With `results`, the CSV it writes on its output comes back as columns (those
# named in `text` as text).
.vm_call <- function(command, args, results = FALSE, text = character()) {
  old <- Sys.getenv("VEGMATCH_TABLES", unset = NA)
  # Files that go with the tables (the words that name no taxon) are looked for
  # beside the bundled tables when a folder of tables lacks them.
  Sys.setenv(VEGMATCH_TABLES = system.file("extdata", "nvc", package = "vegmatch"))
  on.exit(if (is.na(old)) Sys.unsetenv("VEGMATCH_TABLES") else Sys.setenv(VEGMATCH_TABLES = old))
  .vm_run(command, args, results, text)
}

.vm_check_columns <- function(given, cols, arg) {
  if (is.null(given)) return(invisible())
  if (!is.character(given) || length(given) == 0L || anyNA(given)) {
    stop("vegmatch: ", arg, ": column names are needed", call. = FALSE)
  }
  missing <- setdiff(given, cols)
  if (length(missing) > 0L) {
    stop("vegmatch: ", arg, ": no column named ", paste(dQuote(missing, FALSE), collapse = ", "),
         "; the data have ", paste(cols, collapse = ", "), call. = FALSE)
  }
}

# Writes `data` where the engine reads it. Returns the file, the layout, the
# options that say how to read it, the line each data row starts on, and the
# identifying columns as given (to restore their types in the results).
.vm_input <- function(data, sample = NULL, species = NULL, cover = NULL, dir = tempdir()) {
  if (is.matrix(data)) {
    if (!(is.numeric(data) || is.logical(data) || is.character(data))) {
      stop("vegmatch: data: a matrix of covers is needed", call. = FALSE)
    }
    if (is.null(colnames(data))) stop("vegmatch: data: the matrix has no species names as column names", call. = FALSE)
    frame <- as.data.frame(data, stringsAsFactors = FALSE, optional = TRUE)
    names(frame) <- colnames(data)
    rownames(frame) <- rownames(data)
    data <- frame
    community <- TRUE
  } else if (is.data.frame(data)) {
    community <- FALSE
  } else {
    stop("vegmatch: data: a data frame or a matrix is needed, not ", class(data)[1], call. = FALSE)
  }
  if (nrow(data) == 0L || ncol(data) == 0L) stop("vegmatch: data: no rows or no columns", call. = FALSE)
  cols <- names(data)
  if (anyNA(cols) || any(cols == "")) stop("vegmatch: data: every column needs a name", call. = FALSE)
  .vm_check_columns(sample, cols, "sample")
  .vm_check_columns(species, cols, "species")
  .vm_check_columns(cover, cols, "cover")
  if (length(species) > 1L || length(cover) > 1L) {
    stop("vegmatch: species and cover name one column each", call. = FALSE)
  }
  roles <- .vm_column_roles(cols)
  identifying <- roles %in% c("site", "year", "group", "quadrat")
  args <- character()
  long <- !community && (!is.null(species) || any(roles == "species"))
  if (long) {
    layout <- "long"
    if (is.null(sample) && is.null(species) && is.null(cover)) {
      keep <- cols
      header <- cols
    } else {
      ids <- if (is.null(sample)) cols[identifying] else sample
      sp <- if (is.null(species)) cols[roles == "species"][1] else species
      cv <- if (is.null(cover)) cols[roles == "cover"][1] else cover
      cv <- cv[!is.na(cv)]
      extra <- cols[roles %in% c("frequency", "layer") & !(cols %in% c(ids, sp, cv))]
      keep <- c(ids, sp, cv, extra)
      header <- c(ids, "species", if (length(cv) > 0L) "cover", extra)
    }
  } else {
    layout <- "matrix"
    if (!is.null(species) || !is.null(cover)) {
      stop("vegmatch: data: species and cover name columns of a long table; a community matrix has none",
           call. = FALSE)
    }
    ids <- if (is.null(sample)) cols[identifying] else sample
    keep <- cols
    header <- cols
    if (length(ids) == 0L) {
      # Samples named by the row names, as community data in R are.
      data <- cbind(data.frame(sample = rownames(data), stringsAsFactors = FALSE), data)
      keep <- c("sample", cols)
      header <- keep
    }
  }
  if (!is.null(sample)) args <- c(args, "--sample-cols", paste(sample, collapse = ","))
  file <- tempfile("data", tmpdir = dir, fileext = ".csv")
  # Factors by their levels; dates and other classes as they print.
  cells <- lapply(data[keep], function(x) if (is.factor(x) || is.null(oldClass(x))) x else as.character(x))
  lines <- .vm_write_csv(unname(cells), header, file)
  idCols <- header[.vm_column_roles(header) %in% c("site", "year", "group", "quadrat") | header %in% sample]
  given <- data[keep]
  names(given) <- header
  list(file = file, layout = layout, args = c(args, "--input", "csv", "--layout", layout),
       lines = lines, ids = given[intersect(idCols, names(given))])
}

# The options of the command line as the arguments of the R functions name them.
.vm_arguments <- c("--scale" = "scale", "--rank-by" = "rank_by", "--fits" = "fits", "--pool-by" = "pool_by",
                   "--habitats" = "habitats", "--names-map" = "names_map", "--sample-cols" = "sample",
                   "--group-by" = "group", "--tables" = "tables")

# The engine's messages (records: where, what, the input and lines they stand
# on, their kind) as the R user reads them: where is a file shown as the R user
# knows it, with the rows of the data it stands on ("header" for its header).
# What the engine says of the run's own files in `dir` is no problem of the
# data; when the command line was used wrongly, only that is said.
.vm_messages <- function(m, files, dir = NULL) {
  usage <- m$where %in% c("classify", "names")
  if (any(usage)) m <- m[usage, , drop = FALSE]
  if (nrow(m) == 0L) {
    return(data.frame(input = character(), rows = character(), message = character(), kind = character(),
                      stringsAsFactors = FALSE))
  }
  at <- seq_len(nrow(m))  # each message's place among those said, which names its row
  if (!is.null(dir)) {
    given <- vapply(files, function(f) f$file, "")
    keep <- !(startsWith(m$where, dir) & !(m$file %in% given | m$where %in% given))
    m <- m[keep, , drop = FALSE]
    at <- at[keep]
  }
  input <- rep("", nrow(m))
  rows <- rep("", nrow(m))
  for (f in names(files)) {
    path <- files[[f]]$file
    hit <- m$file == path | m$where == path
    if (!any(hit)) next
    input[hit] <- f
    rows[hit] <- vapply(m$lines[hit], function(l) {
      if (!nzchar(l)) return("")
      lines <- as.integer(strsplit(l, ",", fixed = TRUE)[[1]])
      paste(ifelse(lines == 1L, "header", match(lines, files[[f]]$lines)), collapse = ",")
    }, "")
  }
  placed <- input == "" & nzchar(m$where) & !(m$where %in% c("classify", "names"))
  what <- ifelse(placed, paste0(m$where, ": ", m$what), m$what)
  # The options of the command line said as the arguments of the R functions.
  what <- gsub("--scale ([a-z-]+)", "scale = \"\\1\"", what)
  for (o in names(.vm_arguments)) what <- gsub(paste0(o, "\\b"), .vm_arguments[[o]], what)
  # Messages alike but for their numbers and quoted names are one kind of problem.
  kind <- gsub("[0-9]", "", gsub("\"[^\"]*\"", "", what))
  data.frame(input = input, rows = rows, message = what, kind = kind, row.names = as.character(at),
             stringsAsFactors = FALSE)
}

# A message as the R user reads it: "data row 12: what".
.vm_said <- function(p) {
  where <- ifelse(p$input == "", "",
                  ifelse(p$rows == "", paste0(p$input, ": "),
                         ifelse(p$rows == "header", paste0(p$input, " header: "),
                                paste0(p$input, ifelse(grepl(",", p$rows, fixed = TRUE), " rows ", " row "),
                                       gsub(",", ", ", p$rows, fixed = TRUE), ": "))))
  paste0(where, p$message)
}

# The run's problems as warnings, one per kind with its count; with `strict`,
# or when the run failed, as one error.
.vm_problems <- function(run, files, strict, dir = NULL) {
  p <- .vm_messages(run$messages, files, dir)
  said <- .vm_said(p)
  if (run$status != 0L || (strict && nrow(p) > 0L)) {
    shown <- utils::head(said, 20L)
    more <- if (length(said) > 20L) sprintf("\n(%d more problems)", length(said) - 20L) else ""
    stop(if (length(shown) == 0L) "vegmatch: the run failed" else paste(paste0("vegmatch: ", shown), collapse = "\n"),
         more, call. = FALSE)
  }
  for (k in unique(p$kind)) {
    of <- which(p$kind == k)
    rows <- sum(vapply(strsplit(p$rows[of], ",", fixed = TRUE), length, 0L))
    count <- if (length(of) == 1L) "" else sprintf(" (%d like this%s; see attr(x, \"problems\"))", length(of),
                                                   if (rows > 0L) sprintf(", on %d rows", rows) else "")
    warning("vegmatch: ", said[of[1]], count, call. = FALSE)
  }
  p$message <- said
  p
}

# The types of the columns of a CSV the engine writes ("results", "lists",
# "habitats", "synoptic", "names", "map"), as the engine gives them: a named
# vector of "text", "number", "whole" or "logical".
.vm_types <- function(what) .vm_columns(what)

# The columns of `types` read as text.
.vm_text_of <- function(types) names(types)[types == "text"]

# The columns of a CSV the engine wrote (.vm_read_csv) as a data frame: numbers
# as numbers, the identifying columns with the types they had in the data.
.vm_frame <- function(cols, types, ids = NULL) {
  for (n in names(cols)) {
    x <- cols[[n]]
    type <- if (n %in% names(types)) types[[n]] else ""
    if (!is.null(ids) && n %in% names(ids)) {
      cols[[n]] <- .vm_as_given(x, ids[[n]])
    } else if (type == "whole" && is.double(x) && all(is.na(x) | x == trunc(x))) {
      cols[[n]] <- as.integer(x)
    } else if (type == "logical") {
      cols[[n]] <- ifelse(x == "", NA, x == "TRUE")
    }
  }
  attr(cols, "row.names") <- .set_row_names(length(cols[[1L]]))
  class(cols) <- "data.frame"
  cols
}

.vm_as_given <- function(x, given) {
  x[x == ""] <- NA
  if (is.factor(given)) return(factor(x, levels = levels(given)))
  if (is.integer(given)) return(as.integer(x))
  if (is.numeric(given)) return(as.numeric(x))
  if (is.logical(given)) return(as.logical(x))
  if (inherits(given, "Date")) return(as.Date(x))
  x[is.na(x)] <- ""
  x
}

# The options of a classification as the command line takes them.
.vm_options <- function(scale, rank_by, fits, pool_by, habitats, indicators, names_map, tables, strict, dir) {
  if (!is.character(scale) || length(scale) != 1L) stop("vegmatch: scale: one word is needed", call. = FALSE)
  if (!is.character(rank_by) || length(rank_by) != 1L) stop("vegmatch: rank_by: one word is needed", call. = FALSE)
  if (!is.numeric(fits) || length(fits) != 1L || is.na(fits) || fits != round(fits)) {
    stop("vegmatch: fits: one whole number is needed", call. = FALSE)
  }
  args <- c("--scale", scale, "--rank-by", rank_by, "--fits", format(fits, scientific = FALSE),
            "--tables", .vm_tables(tables), "--quiet", "--all-problems")
  if (!is.null(pool_by)) args <- c(args, "--pool-by", paste(pool_by, collapse = ","))
  if (!is.null(habitats)) args <- c(args, "--habitats", paste(habitats, collapse = ","))
  if (isTRUE(indicators)) args <- c(args, "--indicators")
  if (isTRUE(strict)) args <- c(args, "--strict")
  map <- .vm_names_map(names_map, dir)
  list(args = c(args, map$args), files = map$files)
}

# A names map as the commands take it (--names-map), written to `dir` when it
# is a data frame; `files` holds it then, for its messages to name its rows.
.vm_names_map <- function(names_map, dir) {
  if (is.null(names_map)) return(list(args = character(), files = list()))
  files <- list()
  if (is.data.frame(names_map)) {
    if (ncol(names_map) < 2L) stop("vegmatch: names_map: two columns are needed (name, use)", call. = FALSE)
    file <- tempfile("names_map", tmpdir = dir, fileext = ".csv")
    lines <- .vm_write_csv(lapply(names_map[1:2], as.character), c("name", "use"), file)
    files$names_map <- list(file = file, lines = lines)
  } else if (is.character(names_map) && length(names_map) == 1L) {
    file <- names_map
  } else {
    stop("vegmatch: names_map: a data frame or a file is needed", call. = FALSE)
  }
  list(args = c("--names-map", file), files = files)
}
