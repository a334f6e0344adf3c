#pragma once

#include "TwoSessions.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <functional>
#include <optional>

// What the tests of a TwoSessions run look at beside the app under test.
namespace RunWatching {

// The hook's record of the session as it is now; empty once the session has ended.
inline QJsonObject record(const TwoSessions::Session& session) {
    QFile file(QString::fromStdString(session.recordFile));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

// The options of a short run: A waits past its permission notification (sent after about 6 s),
// and `sample` is called on every tick while B works, as `step` (which the caller's `reached`
// keeps) tells.
inline TwoSessions::Options sampleWhileBWorks(const std::optional<TwoSessions::Step>& step,
                                              std::function<void()> sample) {
    TwoSessions::Options options;
    options.wait = std::chrono::seconds(12);
    options.tick = [&step, sample = std::move(sample)] {
        QCoreApplication::processEvents();
        if (step == TwoSessions::Step::bWorks) {
            sample();
        }
    };
    return options;
}

} // namespace RunWatching
