#include "BenchEnvironment.h"
#include "FileEventSources.h"
#include "StateWatcher.h"

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Mode {
    const char* name;
    bool useEventSource;
    int samples;
    double targetMs;
    std::chrono::milliseconds maxPause; // between writes, so that writes fall on any poll phase
};

// Hands the latest sample from the writer thread to the main thread and back.
struct Exchange {
    std::mutex mutex;
    std::condition_variable arrived;
    int expected = -1;
    Clock::time_point writtenAt;
    std::optional<double> latencyMs;
};

bool replaceAtomically(const QString& path, const QByteArray& contents) {
    const QString temporary = path + ".tmp";
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents) != contents.size()) {
        return false;
    }
    file.close();
    return std::rename(QFile::encodeName(temporary).constData(),
                       QFile::encodeName(path).constData()) == 0;
}

// The writer plays the hook; the slot on the main thread plays the app receiving the state.
std::vector<double> measure(QCoreApplication& app, const Mode& mode, const QString& stateFile) {
    QObject context;
    Exchange exchange;
    StateWatcher watcher(
        [&](const AvatarState& state) {
            QMetaObject::invokeMethod(
                &context,
                [&exchange, state] {
                    const auto now = Clock::now();
                    std::lock_guard lock(exchange.mutex);
                    if (state.message == QString::number(exchange.expected) &&
                        !exchange.latencyMs) {
                        exchange.latencyMs =
                            std::chrono::duration<double, std::milli>(now - exchange.writtenAt)
                                .count();
                        exchange.arrived.notify_all();
                    }
                },
                Qt::QueuedConnection);
        },
        StateWatcher::Options{stateFile,
                              mode.useEventSource
                                  ? FileEventSource::Factory(FileEventSources::create)
                                  : FileEventSource::Factory(),
                              std::chrono::milliseconds(1000)});
    watcher.start();

    std::vector<double> samples;
    bool failed = false;
    std::thread writer([&] {
        std::mt19937 random(42);
        std::uniform_int_distribution<int> pause(0, static_cast<int>(mode.maxPause.count()));
        for (int i = 0; i < mode.samples && !failed; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            const QByteArray contents =
                QStringLiteral(R"({"state":"running","message":"%1","label":"実行中"})")
                    .arg(i)
                    .toUtf8();
            std::unique_lock lock(exchange.mutex);
            exchange.expected = i;
            exchange.latencyMs.reset();
            exchange.writtenAt = Clock::now();
            lock.unlock();
            failed = !replaceAtomically(stateFile, contents);
            lock.lock();
            if (failed || !exchange.arrived.wait_for(lock, std::chrono::seconds(5), [&] {
                    return exchange.latencyMs.has_value();
                })) {
                failed = true;
                break;
            }
            samples.push_back(*exchange.latencyMs);
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    writer.join();
    if (failed) {
        std::fprintf(stderr, "%s: a state did not arrive within 5 s\n", mode.name);
        return {};
    }
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    BenchEnvironment environment;
    QCoreApplication app(argc, argv);
    const QString stateFile = environment.path("home/.claude/mofli/state.json");

    const Mode modes[] = {
        {"state file to main thread, event source", true, 50, 30, std::chrono::milliseconds(50)},
        {"state file to main thread, poll only", false, 10, 1200, std::chrono::milliseconds(1000)},
    };
    bool allMet = true;
    for (const Mode& mode : modes) {
        const std::vector<double> samples = measure(app, mode, stateFile);
        if (samples.empty()) {
            return 2;
        }
        allMet = report(mode.name, median(samples), mode.targetMs, samples.size()) && allMet;
    }
    return allMet ? 0 : 1;
}
