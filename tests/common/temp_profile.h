// A profile file in a fresh temporary folder, and the program state reset
// around each test.
#pragma once

#include "core/profile_store.h"
#include "app/program.h"

#include <QTemporaryDir>
#include <memory>

struct TempProfile {
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/profile.ini");
    std::unique_ptr<ProfileStore> store = std::make_unique<ProfileStore>(path);

    void reopen() { store = std::make_unique<ProfileStore>(path); }
};
