#include "support/ScopedEnvironment.h"

#include <cstdlib>

namespace pelican::test {

namespace {

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

void Remove(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, "");  // an empty value removes the variable
#else
    ::unsetenv(name);
#endif
}

}  // namespace

CScopedEnv::~CScopedEnv() {
    for (const auto& [name, value] : m_kept) {
        if (value)
            SetEnv(name.c_str(), *value);
        else
            Remove(name.c_str());
    }
}

void CScopedEnv::Keep(const char* name) {
    if (m_kept.count(name) != 0) return;
    const char* value = std::getenv(name);
    m_kept[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void CScopedEnv::Set(const char* name, const std::string& value) {
    Keep(name);
    SetEnv(name, value);
}

void CScopedEnv::Unset(const char* name) {
    Keep(name);
    Remove(name);
}

}  // namespace pelican::test
