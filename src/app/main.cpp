#include <iostream>

#include "app/app.h"

int main(int argc, char** argv) {
  Console con(std::cin, std::cout, std::cerr);
  return VegmatchMain(argc, argv, con);
}
