// The web routes on a real HTTP endpoint on loopback, over an empty watch and,
// when asked, an archive in a temporary folder.
#pragma once

#include "alpaca/alpaca_server.h"
#include "archive/archive.h"
#include "core/settings.h"
#include "http_client.h"
#include "watch/watch_status.h"
#include "web/web_routes.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

struct ServedRoutes {
    explicit ServedRoutes(bool withArchive)
    {
        archive.setRetentionDays(100000);
        if (withArchive)
            EXPECT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        installWebRoutes([this](const QString &p, HttpRouteHandler h) { server.addRoute(p, std::move(h)); }, watch,
                         &archive, &settings);
    }
    HttpAnswer get(const QByteArray &target) { return httpGet(server.port(), target); }

    QTemporaryDir dir;
    Settings settings;
    Archive archive;
    WatchFeed watch;
    AlpacaServer server;
};
