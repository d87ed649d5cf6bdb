#include <iostream>

#include "run/run.h"

int main(int argc, char** argv) {
  Console con(std::cin, std::cout, std::cerr);
  return VegmatchMain(argc, argv, con);
}
