test_that("the bundled survey gets the command line's results, every column", {
  said <- capture_warnings(x <- vm_classify(vm_example()))
  expect_match(said, "every cover in the input is 5%", all = FALSE)
  expect_match(said, "data rows 243, 445, 494, 535, 568: \"Dactylorhiza sp\" names a genus alone", all = FALSE)
  expect_same_as_cli(x, example_file())
  expect_type(x$mean_fit, "double")
  expect_type(x$rank, "integer")

  y <- suppressWarnings(vm_classify(vm_example(), rank_by = "fit", fits = 3, habitats = "all", indicators = TRUE))
  expect_same_as_cli(y, example_file(), "--rank-by", "fit", "--fits", "3", "--habitats", "all",
                     "--indicators")
  expect_type(y$F_outside, "logical")
})

test_that("a survey as R writes it keeps its identifying columns and their types", {
  s <- survey_long()
  x <- suppressWarnings(vm_classify(s, habitats = "all", indicators = TRUE))
  expect_same_as_cli(x, test_path("survey_long.csv"), "--habitats", "all", "--indicators")
  expect_type(x$Year, "integer")
  expect_type(x$Site, "character")
  s$Group <- factor(s$Group, levels = c("B", "A"))
  x <- suppressWarnings(vm_classify(s, fits = 1))
  expect_identical(levels(x$Group), c("B", "A"))
})

test_that("community matrices and long tables give the same results", {
  long <- suppressWarnings(vm_classify(survey_long(), fits = 2))
  m <- utils::read.csv(test_path("survey_matrix.csv"), stringsAsFactors = FALSE)
  wide <- suppressWarnings(vm_classify(m, fits = 2))
  expect_identical(wide[names(wide) != "X"], long[names(long) != "X"])

  ex <- vm_example()
  counts <- unclass(xtabs(cover ~ sample + species, data = ex))
  attr(counts, "call") <- NULL
  from_matrix <- suppressWarnings(vm_classify(counts, scale = "presence"))
  from_long <- suppressWarnings(vm_classify(ex, scale = "presence"))
  in_order <- function(x) {
    x <- x[order(x$sample, x$rank), ]
    attr(x, "problems") <- NULL
    rownames(x) <- NULL
    x
  }
  expect_identical(in_order(from_matrix), in_order(from_long))
})

test_that("columns named by the arguments are read as those roles", {
  ex <- vm_example()
  renamed <- data.frame(Plot = ex$sample, Taxon = ex$species, Abundance = ex$cover, species = "Poa annua")
  x <- suppressWarnings(vm_classify(renamed, sample = "Plot", species = "Taxon", cover = "Abundance",
                                    scale = "presence"))
  y <- suppressWarnings(vm_classify(ex, scale = "presence"))
  expect_identical(x$nvc_code, y$nvc_code)
  expect_identical(x$Plot, y$sample)
})

test_that("a column read back as numbers turns to text when a later field is no number", {
  path <- tempfile(fileext = ".csv")
  writeLines(c("a,b,c", "1,x,\"2,5\"", "2.5,y,", "-3e2,\"z\"\"\",7", "x,w,8"), path)
  cols <- vegmatch:::.vm_read_csv(path, "b")
  expect_identical(cols$a, c("1", "2.5", "-3e2", "x"))
  expect_identical(cols$b, c("x", "y", "z\"", "w"))
  expect_identical(cols$c, c("2,5", "", "7", "8"))
  writeLines(c("a,b", "1,", "-0.5,inf", ".5,nan"), path)
  cols <- vegmatch:::.vm_read_csv(path, character())
  expect_identical(cols$a, c(1, -0.5, 0.5))
  expect_identical(cols$b, c("", "inf", "nan"))
})
