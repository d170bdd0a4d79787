#include "live_fetch.h"

#include <curl/curl.h>

namespace {

// Tarnwick's live answer is a few kilobytes; anything far larger is not it.
constexpr size_t kMaxBody = 1 << 20;

size_t collect(char *data, size_t size, size_t count, void *target)
{
    auto *body = static_cast<std::string *>(target);
    if (body->size() + size * count > kMaxBody)
        return 0; // ends the transfer with a write error
    body->append(data, size * count);
    return size * count;
}

} // namespace

FetchResult fetchUrl(const std::string &url, long timeoutMs)
{
    FetchResult result;
    CURL *curl = curl_easy_init();
    if (!curl) {
        result.error = "the HTTP library could not start";
        return result;
    }
    char curlError[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // time-outs without SIGALRM
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "indi_tarnwick_weather");
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK)
        result.error = std::string(curlError[0] ? curlError : curl_easy_strerror(code)) + " (" + url + ")";
    else if (status != 200)
        result.error = "HTTP status " + std::to_string(status) + " from " + url;
    if (!result.error.empty())
        result.body.clear();
    return result;
}

std::string liveUrlFrom(const std::string &address)
{
    static const std::string path = "/tarnwick/v1/live";
    std::string url = address;
    while (!url.empty() && (url.back() == '/' || url.back() == ' '))
        url.pop_back();
    if (url.size() >= path.size() && url.compare(url.size() - path.size(), path.size(), path) == 0)
        return url;
    return url + path;
}
