# How long vm_classify takes on a large survey, beside the command line on the
# same data written as CSV.
#
#   Rscript r/bench/bench.R [SAMPLES] [CLI]
#
# SAMPLES (20000 by default) quadrats of 15 species each (300,000 rows for
# 20,000), drawn from the bundled tables: each quadrat takes a unit and 15 of
# its species, the more constant the likelier, with covers of 1-50 %. CLI is
# the command line (build/vegmatch by default). Run with the package installed
# (tools/r-package.sh --install puts it in build/r/library).
args <- commandArgs(TRUE)
samples <- if (length(args) >= 1L) as.integer(args[1]) else 20000L
cli <- if (length(args) >= 2L) args[2] else "build/vegmatch"
lib <- "build/r/library"
if (dir.exists(lib)) .libPaths(c(lib, .libPaths()))
suppressPackageStartupMessages(library(vegmatch))

set.seed(1)
nvc <- system.file("extdata", "nvc", package = "vegmatch")
assoc <- utils::read.delim(file.path(nvc, "VegmatchNVCData3.txt"), header = FALSE, quote = "",
                           stringsAsFactors = FALSE, col.names = c("unit", "code", "quant", "name", "constancy", "domin"))
byUnit <- split(assoc[c("name", "quant")], assoc$unit)
byUnit <- byUnit[vapply(byUnit, nrow, 0L) >= 15L]
units <- sample(names(byUnit), samples, replace = TRUE)
species <- unlist(lapply(units, function(u) {
  t <- byUnit[[u]]
  sample(t$name, 15L, prob = (t$quant %/% 10 + 1)^2)
}), use.names = FALSE)
data <- data.frame(Site = sprintf("Site %03d", rep(seq_len(samples), each = 15L) %% 500L),
                   Quadrat = rep(seq_len(samples), each = 15L), Species = species,
                   Cover = sample(1:50, length(species), replace = TRUE), stringsAsFactors = FALSE)
cat(sprintf("%d samples, %d rows\n", samples, nrow(data)))

csv <- tempfile(fileext = ".csv")
utils::write.csv(data, csv, row.names = FALSE)
timeOf <- function(f) {
  best <- Inf
  for (k in 1:5) best <- min(best, system.time(f())[["elapsed"]])
  best
}
r <- timeOf(function() invisible(suppressWarnings(vm_classify(data))))
cat(sprintf("vm_classify:        %.2f s (best of 5)\n", r))
if (file.exists(cli)) {
  out <- tempfile(fileext = ".csv")
  c <- timeOf(function() system2(cli, c("classify", "-q", "--tables", nvc, csv, "-o", out), stderr = FALSE))
  cat(sprintf("vegmatch classify:  %.2f s (best of 5)\n", c))
  cat(sprintf("ratio:              %.2f\n", r / c))
  x <- suppressWarnings(vm_classify(data))
  y <- utils::read.csv(out, stringsAsFactors = FALSE)
  cat("same results as the command line (unit, mean fit, p_correct):",
      identical(x$nvc_code, y$nvc_code) && identical(x$mean_fit, y$mean_fit) && identical(x$p_correct, y$p_correct),
      "\n")
} else {
  cat("no command line at", cli, "\n")
}
