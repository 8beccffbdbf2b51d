#include "app/startup.h"

int main(int argc, char** argv) {
  return kavarin::RunKavarin(argc, argv);
}
