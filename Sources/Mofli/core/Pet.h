#pragma once

#include <QString>
#include <optional>

// The kind of folder a pet package was found in; the picker groups pets by it.
enum class PetSource { bundled, user, codex };

// A pet package found on disk.
struct Pet {
    QString id;
    QString displayName;
    std::optional<QString> description;
    QString spritesheetPath; // absolute path of the sprite sheet image
    PetSource source = PetSource::bundled;

    bool operator==(const Pet&) const = default;
};
