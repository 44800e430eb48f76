#include "engine/job_state.h"

std::int32_t drawRandomValue()
{
    return 1;
}
