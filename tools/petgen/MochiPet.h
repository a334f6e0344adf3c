#pragma once

#include "PetDesign.h"

// A soft, round rice cake with a sprout on its head.
namespace MochiPet {

PetDesign design();

} // namespace MochiPet
