// Start-up of the archive (path, retention, the watch feed's listener) and of
// the web page on the running HTTP endpoint.
#pragma once

#include "watch/observation.h"

#include <QDateTime>
#include <QString>
#include <vector>

class App;
class ProfileStore;
struct CommandLine;

// "ArchiveDays": whole days of observations kept (summaries stay for ever).
// A missing value is the default 30; a bad one is 30 and a line in problem.
int archiveDaysSetting(const ProfileStore &profile, QString &problem);
void startArchive(App &app, const CommandLine &cl, const ProfileStore &profile);
// The archived observations of a span, read on the caller's thread with a
// connection of its own once the writer has committed what it holds (a graph
// window opened after a restart shows its span from them).
std::vector<Observation> archivedObservations(App &app, const QDateTime &fromUtc, const QDateTime &toUtc);
// Adds the page and its JSON to the endpoint, if one runs.
void startWebPage(App &app);
