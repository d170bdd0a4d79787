// "tarnwick config": prepares the profile as start-up does, then lists, prints
// or sets raw text values. Returns the process exit status: 0, 1 when the
// profile cannot be read or written, 2 for a bad command, key or value, 3 when
// a running program holds the profile and does not answer on its control
// socket (a set then goes through the running program, which applies it).
#pragma once

#include <QStringList>
#include <QTextStream>

class ProfileStore;

// Registers the driver and writes the defaults when needed (as start-up does).
void prepareProfile(ProfileStore &profile);
// On an open store. With prepare false nothing is written first (another
// process holds the profile; only list and get are then run).
int runConfigCommand(ProfileStore &profile, const QStringList &args, QTextStream &out, QTextStream &err,
                     bool prepare = true);
// Takes the profile's lock (a set waits briefly for another config write,
// and is sent to the running program that holds it), then reads and runs.
int runConfigAt(const QString &profilePath, const QStringList &args, QTextStream &out, QTextStream &err);
