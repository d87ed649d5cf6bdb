# What the command line gives, as text, beside a data frame of the package's.
# The engine's classify is run in this process on the file itself, exactly as
# `vegmatch classify FILE --quiet --tables NVC OPTIONS -o OUT` runs, and the CSV
# it writes is read back with every field as text.
cli_results <- function(file, ...) {
  out <- tempfile("cli", fileext = ".csv")
  on.exit(unlink(out))
  tables <- system.file("extdata", "nvc", package = "vegmatch")
  args <- c(normalizePath(file, mustWork = TRUE), "--quiet", "--tables", tables, c(...), "-o", out)
  run <- vegmatch:::.vm_run("classify", args, FALSE, character())
  if (run$status != 0L || !file.exists(out)) {
    stop("vegmatch classify ", paste(args, collapse = " "), ": status ", run$status, "\n", run$err)
  }
  utils::read.csv(out, colClasses = "character", na.strings = character(), check.names = FALSE,
                  encoding = "UTF-8")
}

# The bundled survey as the command line reads it: the file vm_example() reads.
example_file <- function() system.file("extdata", "example_real.txt", package = "vegmatch")

# Every column the same as the command line's on `file` with the options given:
# the same names, texts the same, numbers the numbers the command line printed,
# truth values as it wrote them.
expect_same_as_cli <- function(x, file, ...) {
  cli <- cli_results(file, ...)
  expect_gt(nrow(cli), 0L)
  expect_identical(names(x), names(cli))
  expect_identical(nrow(x), nrow(cli))
  for (n in names(cli)) {
    got <- x[[n]]
    want <- cli[[n]]
    want[want == "" & !is.character(got)] <- NA
    if (is.logical(got)) want <- as.logical(want)
    else if (is.integer(got)) want <- as.integer(want)
    else if (is.numeric(got)) want <- as.numeric(want)
    else if (is.factor(got)) got <- as.character(got)
    expect_identical(got, want, label = paste("column", n))
  }
}

survey_long <- function() utils::read.csv(test_path("survey_long.csv"), stringsAsFactors = FALSE)
