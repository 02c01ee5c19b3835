#include "app/host_name.h"

#include <climits>
#include <unistd.h>

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return std::string();
    return name;
}
