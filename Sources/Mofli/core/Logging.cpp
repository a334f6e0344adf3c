#include "Logging.h"

// Warnings and above would show without any rule; every message here is info, so all stay quiet
// until a rule turns the category on.
Q_LOGGING_CATEGORY(lcApp, "mofli.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcState, "mofli.state", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPets, "mofli.pets", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSheet, "mofli.sheet", QtWarningMsg)
