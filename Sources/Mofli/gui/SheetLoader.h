#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>

class SpriteSheet;

// Decodes the chosen pet's sprite sheet off the GUI thread (the largest sheet takes a third of a
// second), one at a time. Only the sheet asked for last is reported: one asked for earlier is
// skipped if it has not started, dropped if it has. Sheets that are done with are freed on the
// same thread, and the memory they held goes back to the system.
class SheetLoader : public QObject {
    Q_OBJECT

public:
    explicit SheetLoader(QObject* parent = nullptr);
    // Waits for a decode that has started.
    ~SheetLoader() override;

    void load(const QString& path);
    // Drops `sheet` (any last reference, and the memory behind it, goes away off the GUI thread).
    void release(std::shared_ptr<SpriteSheet> sheet);

signals:
    // On the GUI thread: the sheet asked for last, or none when it cannot be loaded.
    void loaded(const std::shared_ptr<SpriteSheet>& sheet);

private:
    // The latest load asked for; read on the worker to skip what is no longer wanted.
    std::atomic<quint64> latest_{0};
    // Last member: destroyed first, waiting for work that still reports to this object.
    QThreadPool thread_;
};
