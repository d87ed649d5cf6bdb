test_that("tables = reads another set of tables", {
  ex <- vm_example()
  first <- suppressWarnings(vm_classify(ex, scale = "presence", fits = 1))$nvc_code[1]
  dir <- tempfile("tables")
  dir.create(dir)
  nvc <- system.file("extdata", "nvc", package = "vegmatch")
  file.copy(list.files(nvc, full.names = TRUE), dir)
  # The same tables without the unit the first sample was given.
  lines <- readLines(file.path(nvc, "VegmatchNVCData3.txt"))
  writeLines(lines[sub("\t.*", "", lines) != first], file.path(dir, "VegmatchNVCData3.txt"))
  other <- suppressWarnings(vm_classify(ex, scale = "presence", fits = 1, tables = dir))
  expect_false(first %in% other$nvc_code)
  expect_identical(nrow(other), 60L)
})

test_that("units and habitats are those of the tables, sub-communities inheriting", {
  u <- vm_units()
  expect_identical(nrow(u), 856L)
  expect_true(all(c("nvc_code", "community", "sub_community", "stands") %in% names(u)))
  h <- vm_habitats(c("CG3", "CG3a"))
  annex <- h[grepl("Annex", h$classification), ]
  expect_true("H6210" %in% annex$habitat_code[annex$nvc_code == "CG3a"])
  expect_true(all(annex$inherited_from[annex$nvc_code == "CG3a"] == "CG3"))
})

test_that("synoptic tables and the report are those of the command line's outputs", {
  s <- suppressWarnings(vm_synoptic(survey_long(), group = c("Site", "Year")))
  expect_type(s$group_frequency, "double")
  row <- s[s$Year == 1971 & s$species == "Corylus avellana", ]
  expect_identical(row$group_quadrats, 5L)
  expect_identical(row$group_constancy, "V")

  i <- suppressWarnings(vm_indicators(survey_long()))
  expect_identical(nrow(i), 24L)
  expect_true(all(c("Site", "nvc_code", "F", "F_unit_sd", "S_outside") %in% names(i)))

  file <- tempfile(fileext = ".html")
  expect_identical(as.vector(suppressWarnings(vm_report(survey_long(), file, group = "Site"))), file)
  html <- readLines(file, warn = FALSE)
  expect_true(any(grepl("Leith Hill Place Wood", html, fixed = TRUE)))
  expect_true(any(grepl("<svg", html, fixed = TRUE)))
})
