#include "msr/access_problem.h"

std::string AccessProblem(const std::string&) {
    return std::string(); // Windows tells only when the port is opened
}
