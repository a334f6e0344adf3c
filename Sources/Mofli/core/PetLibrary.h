#pragma once

#include "Pet.h"

#include <QList>
#include <QString>
#include <optional>

// Finds pet packages ("pet.json" plus a sprite sheet) in the search folders. Stateless: every
// call reads the disk again.
namespace PetLibrary {

struct SearchSource {
    QString dir;
    PetSource source;

    bool operator==(const SearchSource&) const = default;
};

// In reading order: $MOFLI_PETS_DIR (leading "~" expanded), <cwd>/pets, <cwd>/../pets,
// <resource dir>/pets, the user's pets folder and, when "codexPetsEnabled" is set, Codex's.
QList<SearchSource> searchSources();
// $XDG_DATA_HOME/Mofli/pets, or ~/.local/share/Mofli/pets (Application Support on macOS).
QString userPetsDir();
// $CODEX_HOME/pets (taken as is), or ~/.codex/pets.
QString codexPetsDir();
// The valid packages directly inside `dir`, in listing order. What another user owns, or others
// than its owner may write, is skipped: `dir` itself, a package, its descriptor or its sheet. A
// sheet must lie inside its package, symbolic links resolved.
QList<Pet> loadFrom(const QString& dir, PetSource source);
// All pets of all sources, first of each id wins, stably sorted by display name in code-point
// order after canonical composition.
QList<Pet> discover();
// The order of discover(): display names compared by code point after canonical composition.
bool displayNameLess(const Pet& a, const Pet& b);

} // namespace PetLibrary
