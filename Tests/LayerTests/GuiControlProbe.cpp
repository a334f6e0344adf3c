#include "AvatarView.h"
#include "LoginItem.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "Updater.h"

#include <QWidget>
