#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

// A throwaway home, XDG folders and working folder, so that a benchmark neither reads nor
// writes the user's files. Must exist before the QCoreApplication.
class BenchEnvironment {
public:
    BenchEnvironment() {
        if (!root_.isValid()) {
            std::fprintf(stderr, "cannot create a temporary folder\n");
            std::exit(2);
        }
        qputenv("HOME", QFile::encodeName(path("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        qunsetenv("MOFLI_PETS_DIR");
        qunsetenv("CODEX_HOME");
        QDir().mkpath(path("work"));
        QDir::setCurrent(path("work"));
        QCoreApplication::setOrganizationName("Mofli");
        QCoreApplication::setApplicationName("Mofli");
    }

    QString path(const QString& relative) const { return root_.filePath(relative); }

private:
    QTemporaryDir root_;
};

inline double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 != 0 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// Prints one figure against its target; false when the target is missed.
inline bool report(const char* what, double medianMs, double targetMs, size_t samples) {
    const bool met = medianMs <= targetMs;
    std::printf("%-44s median %8.2f ms over %3zu samples (target <= %.0f ms) %s\n", what, medianMs,
                samples, targetMs, met ? "ok" : "MISSED");
    return met;
}
