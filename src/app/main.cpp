#include "app/frame.h"

int main(int argc, char** argv) { return rkt::Main(argc, argv); }
