#include "engine/devil_writer.h"

#include <IL/il.h>
#include <IL/ilu.h>

DevilLibrary::DevilLibrary()
{
    ilInit();
    iluInit();
}

DevilLibrary::~DevilLibrary()
{
    ilShutDown();
}
