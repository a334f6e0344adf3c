#include "PetLibrary.h"

#include "FileTrust.h"
#include "JsonText.h"
#include "Logging.h"
#include "Paths.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <vector>

namespace PetLibrary {

namespace {

constexpr qint64 maxDescriptorBytes = 1 << 20;

QString joined(const QString& dir, const QString& name) {
    if (dir.isEmpty()) {
        return name;
    }
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

QString expandingTilde(const QString& path) {
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        return Paths::home() + path.mid(1);
    }
    return path;
}

// Pet packages come from anywhere: a folder that another user made, or may change, could put
// any pet, or any file to decode, in place of the user's. Such folders and files are skipped and
// the skip is told, since the user may wonder where a pet went.
std::optional<QString> untrusted(const QString& path) {
    const std::optional<QString> why = FileTrust::distrust(path);
    if (why) {
        qCWarning(lcPets) << "skipping" << path << "(" << *why << ")";
    }
    return why;
}

std::optional<Pet> loadPackage(const QFileInfo& entry, PetSource source) {
    if (!entry.isDir() || untrusted(entry.filePath())) {
        return std::nullopt;
    }
    const auto skip = [&](const char* why) -> std::optional<Pet> {
        qCInfo(lcPets) << "skipping" << entry.filePath() << why;
        return std::nullopt;
    };
    // Only a regular file is read: a FIFO under that name would block discovery for good. A
    // descriptor holds a few hundred bytes, so a huge one is not read at all.
    const QString descriptorPath = joined(entry.filePath(), QStringLiteral("pet.json"));
    const QFileInfo descriptorInfo(descriptorPath);
    QFile descriptor(descriptorPath);
    if (descriptorInfo.isFile() && untrusted(descriptorPath)) {
        return std::nullopt;
    }
    if (!descriptorInfo.isFile() || descriptorInfo.size() > maxDescriptorBytes ||
        !descriptor.open(QIODevice::ReadOnly)) {
        return skip("(no readable pet.json of at most 1 MiB)");
    }
    const QJsonDocument document =
        QJsonDocument::fromJson(JsonText::toUtf8(descriptor.read(maxDescriptorBytes)));
    if (!document.isObject()) {
        return skip("(pet.json is not a JSON object)");
    }
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QLatin1String("id"));
    const QJsonValue displayName = object.value(QLatin1String("displayName"));
    const QJsonValue spritesheet = object.value(QLatin1String("spritesheetPath"));
    if (!id.isString() || !displayName.isString() || !spritesheet.isString()) {
        return skip("(id, displayName or spritesheetPath is missing or not a string)");
    }
    const QString spritesheetPath = joined(entry.absoluteFilePath(), spritesheet.toString());
    // The sheet is loaded later, on the main thread: one that is no regular file (a FIFO,
    // device, socket or folder) would hang or fail the app there, on every launch.
    const QFileInfo sheet(spritesheetPath);
    if (!sheet.isFile()) {
        return skip("(its sprite sheet does not exist or is no regular file)");
    }
    // The path is the package's own: "../" or a symbolic link must not lead the image decoders
    // to any other file the user can read.
    if (!sheet.canonicalFilePath().startsWith(entry.canonicalFilePath() + QLatin1Char('/'))) {
        return skip("(its sprite sheet lies outside the package)");
    }
    if (untrusted(spritesheetPath)) {
        return std::nullopt;
    }
    const QJsonValue description = object.value(QLatin1String("description"));
    return Pet{
        id.toString(),
        displayName.toString(),
        description.isString() ? std::optional(description.toString()) : std::nullopt,
        spritesheetPath,
        source,
    };
}

// Unicode scalar values after canonical composition. QString::compare would order UTF-16 code
// units, which puts characters above U+FFFF before U+E000..U+FFFF.
std::vector<char32_t> sortKey(const QString& name) {
    const QList<uint> scalars = name.normalized(QString::NormalizationForm_C).toUcs4();
    return {scalars.begin(), scalars.end()};
}

} // namespace

QString userPetsDir() {
    return Paths::appDataDir() + QStringLiteral("/pets");
}

QString codexPetsDir() {
    if (qEnvironmentVariableIsSet("CODEX_HOME")) {
        return joined(qEnvironmentVariable("CODEX_HOME"), QStringLiteral("pets"));
    }
    return Paths::home() + QStringLiteral("/.codex/pets");
}

QList<SearchSource> searchSources() {
    QList<SearchSource> sources;
    const QString custom = qEnvironmentVariable("MOFLI_PETS_DIR");
    if (!custom.isEmpty()) {
        sources.append({expandingTilde(custom), PetSource::bundled});
    }
    const QString cwd = QDir::currentPath();
    sources.append({joined(cwd, QStringLiteral("pets")), PetSource::bundled});
    sources.append({joined(QFileInfo(cwd).path(), QStringLiteral("pets")), PetSource::bundled});
    if (const auto resources = Paths::resourceDir()) {
        sources.append({joined(*resources, QStringLiteral("pets")), PetSource::bundled});
    }
    sources.append({userPetsDir(), PetSource::user});
    if (Settings::codexPetsEnabled()) {
        sources.append({codexPetsDir(), PetSource::codex});
    }
    return sources;
}

QList<Pet> loadFrom(const QString& dir, PetSource source) {
    QList<Pet> pets;
    // Started from a shared folder such as /tmp/x, <cwd>/../pets is anyone's to make.
    if (!QFileInfo::exists(dir) || untrusted(dir)) {
        return pets;
    }
    // Without QDir::Hidden the listing leaves out names that begin with a dot.
    const QFileInfoList entries =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (auto pet = loadPackage(entry, source)) {
            pets.append(std::move(*pet));
        }
    }
    return pets;
}

QList<Pet> discover() {
    struct Found {
        std::vector<char32_t> key;
        Pet pet;
    };
    std::vector<Found> found;
    // Ids are compared like display names, after canonical composition, so that an "é" typed
    // on another system does not make a second copy of the same pet.
    QSet<QString> seenIds;
    for (const SearchSource& searchSource : searchSources()) {
        for (Pet& pet : loadFrom(searchSource.dir, searchSource.source)) {
            const QString id = pet.id.normalized(QString::NormalizationForm_C);
            if (seenIds.contains(id)) {
                qCInfo(lcPets) << "skipping" << pet.spritesheetPath << "(id" << pet.id
                               << "was found earlier)";
                continue;
            }
            seenIds.insert(id);
            found.push_back({sortKey(pet.displayName), std::move(pet)});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.key < b.key; });
    QList<Pet> pets;
    pets.reserve(static_cast<qsizetype>(found.size()));
    for (Found& item : found) {
        pets.append(std::move(item.pet));
    }
    return pets;
}

bool displayNameLess(const Pet& a, const Pet& b) {
    return sortKey(a.displayName) < sortKey(b.displayName);
}

} // namespace PetLibrary
