quadrats <- function(n, cover) {
  data.frame(Site = "Box Hill", Quadrat = rep(seq_len(n), each = 2),
             Species = rep(c("Festuca ovina", "Bromopsis erecta"), n), Cover = cover, stringsAsFactors = FALSE)
}

test_that("problems come back as one warning per kind, with every one in the attribute", {
  d <- quadrats(12, "5-10")
  d$Species[7] <- "Festuca foobarensis"
  w <- character()
  x <- withCallingHandlers(vm_classify(d, fits = 1), warning = function(c) {
    w <<- c(w, conditionMessage(c))
    invokeRestart("muffleWarning")
  })
  ranges <- grep("is a range", w, value = TRUE)
  expect_length(ranges, 1L)
  expect_match(ranges, "24 like this")
  expect_match(ranges, "data row 1:")
  expect_true(any(grepl("Festuca foobarensis", w)))
  p <- attr(x, "problems")
  expect_identical(sort(as.integer(p$rows[grepl("is a range", p$message)])), 1:24)
  expect_identical(p$rows[grepl("foobarensis", p$message)], "7")
  expect_identical(nrow(x), 12L)
})

test_that("bad input is refused with a message that names it", {
  cases <- list(
    list(quote(vm_classify(list(a = 1))), "a data frame or a matrix"),
    list(quote(vm_classify(quadrats(2, 5), species = "Taxon")), "no column named .Taxon.; the data have Site"),
    list(quote(vm_classify(quadrats(2, 5)[0, ])), "no rows"),
    list(quote(vm_classify(quadrats(2, 5), scale = "inches")), "^vegmatch: scale: inches not in [^\n]*$"),
    list(quote(vm_classify(quadrats(2, 5), fits = 2.5)), "fits"),
    list(quote(vm_classify(quadrats(2, 5), pool_by = "Plot")), "data header: no sample column Plot to pool by"),
    list(quote(vm_classify(quadrats(2, "lots"))), "data row"),
    list(quote(vm_classify(quadrats(2, "5-10"), strict = TRUE)), "data row 1: .*range"),
    list(quote(vm_classify(quadrats(2, 5), tables = tempfile())), "no such folder"),
    list(quote(vm_classify(quadrats(2, 5), names_map = data.frame(a = "Festuca ovina", b = "Nonesuch nonesuch"))),
         "names_map")
  )
  for (case in cases) expect_error(suppressWarnings(eval(case[[1]])), case[[2]], label = deparse(case[[1]]))
})

test_that("a names map given as a data frame corrects names before anything else", {
  d <- quadrats(3, c(20, 30))
  right <- vm_classify(d, fits = 1)
  attr(right, "problems") <- NULL
  d$Species[d$Species == "Festuca ovina"] <- "Fescue, sheep's"
  map <- data.frame(name = "Fescue, sheep's", use = "Festuca ovina")
  expect_identical(vm_classify(d, fits = 1, names_map = map)[names(right)], right)
})

test_that("names are checked as classify reads them", {
  n <- vm_names(c("Festuca ovinna", "Quercus robur/petraea", "Bare ground", "Poa", "Festuca ovina"))
  expect_identical(n$status, c("short-name", "aggregate", "not-a-taxon", "genus-only", "exact"))
  expect_identical(n$dictionary_name[c(1, 5)], c("Festuca ovina", "Festuca ovina"))
  expect_type(n$code, "integer")
})

test_that("problems name the rows of the data frame, whatever its fields hold", {
  d <- quadrats(3, 5)
  d$Date <- as.Date("1994-06-01") + rep(0:2, each = 2)
  d$Species[2] <- "Nonesuch\nspecies"
  d$Cover[5] <- "5-10"
  x <- suppressWarnings(vm_classify(d, sample = c("Site", "Quadrat", "Date"), fits = 1))
  p <- attr(x, "problems")
  expect_identical(p$rows[grepl("is a range", p$message)], "5")
  expect_identical(p$rows[grepl("Nonesuch", p$message)], "2")
  expect_s3_class(x$Date, "Date")
  expect_identical(x$Date, as.Date("1994-06-01") + 0:2)
})
