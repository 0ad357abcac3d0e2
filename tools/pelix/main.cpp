#include "tool.h"

int main(int argc, char** argv) { return pelix::tool::Run(argc, argv); }
