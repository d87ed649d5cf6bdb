library(testthat)
library(vegmatch)

test_check("vegmatch")
