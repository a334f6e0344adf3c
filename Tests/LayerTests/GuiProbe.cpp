#include "AvatarView.h"
