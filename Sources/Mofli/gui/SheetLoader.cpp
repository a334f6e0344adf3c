#include "SheetLoader.h"

#include "FreedMemory.h"
#include "SpriteSheet.h"
#include "WorkerPriority.h"

SheetLoader::SheetLoader(QObject* parent) : QObject(parent) {
    thread_.setMaxThreadCount(1);
}

SheetLoader::~SheetLoader() {
    thread_.clear();
    thread_.waitForDone();
}

void SheetLoader::load(const QString& path) {
    const quint64 ticket = ++latest_;
    thread_.start([this, path, ticket] {
        if (ticket != latest_) {
            return;
        }
        WorkerPriority::giveWayToTheGuiThread();
        std::shared_ptr<SpriteSheet> sheet = SpriteSheet::load(path);
        QMetaObject::invokeMethod(
            this,
            [this, ticket, sheet = std::move(sheet)]() mutable {
                if (ticket == latest_) {
                    emit loaded(sheet);
                } else {
                    release(std::move(sheet));
                }
            },
            Qt::QueuedConnection);
    });
}

void SheetLoader::release(std::shared_ptr<SpriteSheet> sheet) {
    thread_.start([sheet = std::move(sheet)]() mutable {
        sheet.reset();
        FreedMemory::returnToTheSystem();
    });
}
