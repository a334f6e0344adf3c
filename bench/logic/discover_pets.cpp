#include "BenchEnvironment.h"
#include "PetLibrary.h"

#include <chrono>

namespace {

constexpr int petCount = 200;
constexpr int runs = 31;
constexpr double targetMs = 50;

// A valid 1 × 1 PNG; discovery only checks that the sheet exists, but it is a real image.
const unsigned char tinyPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9c, 0x63, 0x60, 0x60, 0x60, 0xf8, 0x0f, 0x00, 0x01, 0x04, 0x01, 0x00, 0x5f, 0xe5,
    0xc3, 0x4b, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

int main(int argc, char** argv) {
    BenchEnvironment environment;
    QCoreApplication app(argc, argv);

    const QString petsDir = environment.path("pets");
    qputenv("MOFLI_PETS_DIR", QFile::encodeName(petsDir));
    const QByteArray png(reinterpret_cast<const char*>(tinyPng), sizeof tinyPng);
    for (int i = 0; i < petCount; ++i) {
        const QString package = QStringLiteral("%1/pet-%2").arg(petsDir).arg(i, 3, 10, QChar('0'));
        const QByteArray descriptor =
            QStringLiteral(R"({"id":"pet-%1","displayName":"Pet %2","description":"Benchmark pet",)"
                           R"("spritesheetPath":"spritesheet.png"})")
                .arg(i)
                .arg((i * 7919) % petCount)
                .toUtf8();
        if (!QDir().mkpath(package) || !writeFile(package + "/pet.json", descriptor) ||
            !writeFile(package + "/spritesheet.png", png)) {
            std::fprintf(stderr, "cannot write the pet packages\n");
            return 2;
        }
    }

    std::vector<double> samples;
    for (int run = 0; run <= runs; ++run) {
        const auto begin = std::chrono::steady_clock::now();
        const qsizetype found = PetLibrary::discover().size();
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - begin;
        if (found != petCount) {
            std::fprintf(stderr, "found %lld pets instead of %d\n", static_cast<long long>(found),
                         petCount);
            return 2;
        }
        // The first run warms the file system caches.
        if (run > 0) {
            samples.push_back(elapsed.count());
        }
    }
    return report("PetLibrary::discover() over 200 packages", median(samples), targetMs,
                  samples.size())
               ? 0
               : 1;
}
