#include "sys/Paths.h"

namespace pelican {
namespace {

std::string& AppName() {
    static std::string name = "pelican";
    return name;
}

}  // namespace

void SetApplicationName(const std::string& name) {
    if (!name.empty()) AppName() = name;
}

const std::string& ApplicationName() {
    return AppName();
}

}  // namespace pelican
