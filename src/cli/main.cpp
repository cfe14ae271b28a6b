// quor-run: Quor without its window.
#include <string>
#include <vector>

#include "cli/quor_run.h"

int main(int argc, char** argv) {
    return quor::cli::runQuor(std::vector<std::string>(argv + 1, argv + argc));
}
