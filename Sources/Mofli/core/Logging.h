#pragma once

#include <QLoggingCategory>

// Failures the app absorbs without bothering the user are still told here, at info level, so
// that QT_LOGGING_RULES="mofli.*=true" answers "why doesn't my pet show up?".
Q_DECLARE_LOGGING_CATEGORY(lcApp)   // mofli.app: start-up and the running app
Q_DECLARE_LOGGING_CATEGORY(lcState) // mofli.state: the state file and its watcher
Q_DECLARE_LOGGING_CATEGORY(lcPets)  // mofli.pets: pet packages found or skipped
Q_DECLARE_LOGGING_CATEGORY(lcSheet) // mofli.sheet: sprite sheets that fail to load
