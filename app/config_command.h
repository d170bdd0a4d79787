// "tarnwick config": prepares the profile as start-up does, then lists, prints
// or sets raw text values. Returns the process exit status.
#pragma once

#include <QStringList>
#include <QTextStream>

class ProfileStore;

// Registers the driver and writes the defaults when needed (as start-up does).
void prepareProfile(ProfileStore &profile);
int runConfigCommand(ProfileStore &profile, const QStringList &args, QTextStream &out, QTextStream &err);
