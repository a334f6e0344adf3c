#include "DummyPlatform.h"

bool DummyPlatform::compositesTranslucentWindows() const {
    return true;
}

void DummyPlatform::showOnAllWorkspaces(QWidget*) {
}

void DummyPlatform::becomeAccessoryApplication() {
}
