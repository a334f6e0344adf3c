#include "AvatarEngine.h"
#include "StateWatcher.h"

#include <QObject>
