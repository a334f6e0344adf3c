// What the app reads from files that anyone may have written, fed with arbitrary bytes. The
// first byte chooses the reader, the rest is the file:
//
//   's' STATE-FILE     decoded, then applied to the animation engine
//   'p' PET-JSON       a pet package's descriptor, discovered beside a valid sheet
//   'i' SHEET          a pet package's sprite sheet, loaded and cut into frames
//
// Besides crashes and sanitizer reports, a bubble text over its byte limit is a fault.
#include "AvatarEngine.h"
#include "AvatarState.h"
#include "PetLibrary.h"
#include "SpriteSheet.h"
#include "StateFileContract.h"
#include "VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir* folder = nullptr;

void writeFile(const QString& path, QByteArrayView contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents.data(), contents.size()) != contents.size()) {
        std::abort();
    }
}

void checkBubble(const AvatarEngine& engine) {
    const AvatarEngine::Bubble& bubble = engine.bubble();
    for (const QString& text : {bubble.text, bubble.label.value_or(QString())}) {
        if (std::size_t(text.toUtf8().size()) > StateFileContract::textByteLimit) {
            std::fprintf(stderr, "bubble text over its byte limit\n");
            std::abort();
        }
    }
}

void applyState(QByteArrayView bytes) {
    const std::optional<AvatarState> state = AvatarState::decode(bytes.toByteArray());
    if (!state) {
        return;
    }
    VirtualScheduler clock;
    AvatarEngine engine(clock);
    engine.sheetLoaded();
    engine.apply(state->state, state->message, state->label, state->recap, state->isThinking(),
                 state->terminalOrigin());
    checkBubble(engine);
    clock.advance(5);
    engine.replayRecap();
    checkBubble(engine);
}

void discoverPackage(QByteArrayView bytes) {
    const QString pets = folder->filePath("pets");
    writeFile(pets + "/package/pet.json", bytes);
    for (const Pet& pet : PetLibrary::loadFrom(pets, PetSource::user)) {
        if (pet.id.isNull() || pet.spritesheetPath.isEmpty()) {
            std::abort();
        }
    }
}

void loadSheet(QByteArrayView bytes) {
    const QString path = folder->filePath("sheet.img");
    writeFile(path, bytes);
    if (const auto sheet = SpriteSheet::load(path)) {
        for (const HatchState state : {HatchState::idle, HatchState::review}) {
            sheet->frame(state, 0);
            sheet->frame(state, 7);
        }
    }
    // The preview's way: one frame, cut while decoding where the format can.
    SpriteSheet::loadFrame(path, HatchState::idle, 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*=false");
    new QGuiApplication(*argc, *argv);
    folder = new QTemporaryDir();
    QDir().mkpath(folder->filePath("pets/package/art"));
    QImage sheet(8, 8, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    sheet.save(folder->filePath("pets/package/art/sheet.png"), "PNG");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0]) {
    case 's':
        applyState(rest);
        break;
    case 'p':
        discoverPackage(rest);
        break;
    case 'i':
        loadSheet(rest);
        break;
    default:
        break;
    }
    return 0;
}
