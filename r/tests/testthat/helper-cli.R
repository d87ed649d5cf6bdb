# The results the command line wrote (tools/r-package.sh makes them when it
# assembles the package), as text, beside a data frame of the package's.
cli_results <- function(name) {
  path <- test_path("cli", name)
  if (!file.exists(path)) stop("no results of the command line: ", path, " (assemble with tools/r-package.sh)")
  utils::read.csv(path, colClasses = "character", na.strings = character(), check.names = FALSE,
                  encoding = "UTF-8")
}

# Every column the same: the same names, texts the same, numbers the numbers
# the command line printed, truth values as it wrote them.
expect_same_as_cli <- function(x, name) {
  cli <- cli_results(name)
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
