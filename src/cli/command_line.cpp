#include "cli/command_line.h"

std::optional<int> runCommandLine(int& /*argc*/, char** /*argv*/, const QStringList& /*parameters*/)
{
    return std::nullopt;
}
