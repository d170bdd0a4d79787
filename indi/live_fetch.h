// One HTTP GET with a hard time-out for the whole exchange (connect, request
// and answer), so a hung peer never holds the caller longer than that.
#pragma once

#include <string>

struct FetchResult {
    std::string error; // empty when a 200 answer came in time
    std::string body;
};

FetchResult fetchUrl(const std::string &url, long timeoutMs);

// The live answer's URL from the address a user gives: "http://host:port",
// with or without a trailing slash or the path itself.
std::string liveUrlFrom(const std::string &address);
