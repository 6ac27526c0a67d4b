#include "diagnostics.h"
#include "outcome.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vellomar::platform {

void ExplainProblem(std::string_view utf8)
{
    std::fprintf(stderr, "vellomar: %.*s\n", static_cast<int>(utf8.size()), utf8.data());
}

std::string LastErrorText()
{
    const int error = errno;
    return std::string(std::strerror(error)) + " (errno " + std::to_string(error) + ")";
}

Failure SystemFailure(std::string_view what)
{
    std::string why = LastErrorText();  // first, before anything else can change the error
    return {std::string(what) + ": " + why};
}

}  // namespace vellomar::platform
