#include "linux/TmuxPanes.h"
