#pragma once

#include "PetDesign.h"

// A small robot whose face is a screen.
namespace PicoPet {

PetDesign design();

} // namespace PicoPet
