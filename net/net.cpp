// HTTP over one shared libcurl easy handle, one request at a time.
#include "net/net.h"

#include <curl/curl.h>

#include <cstdio>
#include <mutex>

namespace net {
namespace {

// Created on first use and kept for the life of the process.
std::once_flag g_curlOnce;
std::mutex g_curlMtx;  // held for a whole request, its retry included
CURL* g_curl = nullptr;

constexpr const char* kUserAgent = "Orvane/1.0";

size_t writeCb(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// Global initialisation once, then the handle; null when it cannot be made.
// Call with g_curlMtx held.
CURL* sharedHandle() {
  std::call_once(g_curlOnce, [] { curl_global_init(CURL_GLOBAL_ALL); });
  if (!g_curl) g_curl = curl_easy_init();
  return g_curl;
}

bool is2xx(long code) { return code >= 200 && code <= 299; }

// One attempt of `request`: returns libcurl's result, `code` the response code
// (0 unless the transfer completed).
CURLcode attempt(const std::string& host, int port, const std::string& path, std::string& body,
                 const std::string& token, bool fresh, long& code) {
  body.clear();
  code = 0;
  curl_easy_reset(g_curl);
  const std::string u = url(host, port, path);
  curl_easy_setopt(g_curl, CURLOPT_URL, u.c_str());
  curl_easy_setopt(g_curl, CURLOPT_WRITEFUNCTION, writeCb);
  curl_easy_setopt(g_curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(g_curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(g_curl, CURLOPT_CONNECTTIMEOUT, 2L);
  curl_easy_setopt(g_curl, CURLOPT_TIMEOUT, 4L);
  curl_easy_setopt(g_curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(g_curl, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(g_curl, CURLOPT_ACCEPT_ENCODING, "");
  if (fresh) curl_easy_setopt(g_curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_slist* headers = nullptr;
  if (!token.empty()) {
    const std::string auth = "Authorization: Bearer " + token;
    headers = curl_slist_append(headers, auth.c_str());
  }
  if (headers) curl_easy_setopt(g_curl, CURLOPT_HTTPHEADER, headers);
  CURLcode rc = curl_easy_perform(g_curl);
  if (rc == CURLE_OK) curl_easy_getinfo(g_curl, CURLINFO_RESPONSE_CODE, &code);
  // The handle keeps a pointer to the list until the next reset: drop it first.
  if (headers) curl_easy_setopt(g_curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
  curl_slist_free_all(headers);
  return rc;
}

bool request(const std::string& host, int port, const std::string& path, std::string& body,
             const std::string& token) {
  body.clear();
  std::lock_guard<std::mutex> lk(g_curlMtx);
  if (!sharedHandle()) return false;
  long code = 0;
  CURLcode rc = attempt(host, port, path, body, token, false, code);
  if (rc != CURLE_OK) rc = attempt(host, port, path, body, token, true, code);
  if (rc != CURLE_OK) body.clear();  // a transfer that broke off leaves no part behind
  return rc == CURLE_OK && is2xx(code);
}

// State of one download attempt, shared with its write callback.
struct Sink {
  std::FILE* file = nullptr;
  const DownloadProgress* progress = nullptr;
  long long soFar = 0;
  bool refused = false;      // the answer was not 2xx: its body is not written
  bool writeFailed = false;  // the file did not take the bytes
};

size_t fileCb(char* data, size_t size, size_t count, void* user) {
  Sink& s = *static_cast<Sink*>(user);
  const size_t n = size * count;
  if (s.soFar == 0) {
    long code = 0;
    curl_easy_getinfo(g_curl, CURLINFO_RESPONSE_CODE, &code);
    if (!is2xx(code)) {
      s.refused = true;
      return 0;  // aborts the transfer
    }
  }
  if (n > 0 && std::fwrite(data, 1, n, s.file) != n) {
    s.writeFailed = true;
    return 0;
  }
  s.soFar += static_cast<long long>(n);
  if (*s.progress) {
    curl_off_t total = -1;
    if (curl_easy_getinfo(g_curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total) != CURLE_OK) total = -1;
    (*s.progress)(s.soFar, static_cast<long long>(total));
  }
  return n;
}

CURLcode downloadAttempt(const std::string& u, Sink& sink, const DownloadLimits& limits, bool fresh,
                         long& code) {
  code = 0;
  curl_easy_reset(g_curl);
  curl_easy_setopt(g_curl, CURLOPT_URL, u.c_str());
  curl_easy_setopt(g_curl, CURLOPT_WRITEFUNCTION, fileCb);
  curl_easy_setopt(g_curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(g_curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(g_curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(g_curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes);
  curl_easy_setopt(g_curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
  curl_easy_setopt(g_curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(g_curl, CURLOPT_TCP_KEEPALIVE, 1L);
  // No CURLOPT_ACCEPT_ENCODING: packages are compressed already, and the bytes
  // counted for progress then match the announced size.
  if (fresh) curl_easy_setopt(g_curl, CURLOPT_FRESH_CONNECT, 1L);
  CURLcode rc = curl_easy_perform(g_curl);
  curl_easy_getinfo(g_curl, CURLINFO_RESPONSE_CODE, &code);
  return rc;
}

}  // namespace

std::string url(const std::string& host, int port, const std::string& path) {
  std::string u = port == 443 ? "https://" : "http://";
  u += host;
  if (port != 80 && port != 443) u += ":" + std::to_string(port);
  u += path;
  return u;
}

bool get(const std::string& host, int port, const std::string& path, std::string& body,
         const std::string& token) {
  return request(host, port, path, body, token);
}

bool download(const std::string& host, int port, const std::string& path,
              const std::string& destFile, const DownloadProgress& progress, std::string& err,
              const DownloadLimits& limits) {
  const std::string failed = "download failed: " + host + path;
  const std::string unwritable = "could not write " + destFile;
  const std::string u = url(host, port, path);

  std::lock_guard<std::mutex> lk(g_curlMtx);
  if (!sharedHandle()) {
    err = failed;
    return false;
  }
  Sink sink;
  sink.progress = &progress;
  bool ok = false;
  for (int round = 0; round < 2; ++round) {
    // Each attempt starts from an empty file.
    sink.file = std::fopen(destFile.c_str(), "wb");
    if (!sink.file) {
      err = unwritable;
      return false;  // nothing was created
    }
    sink.soFar = 0;
    sink.refused = sink.writeFailed = false;
    long code = 0;
    CURLcode rc = downloadAttempt(u, sink, limits, round == 1, code);
    const bool closed = std::fclose(sink.file) == 0;
    sink.file = nullptr;
    if (sink.writeFailed || (rc == CURLE_OK && is2xx(code) && !closed)) {
      err = unwritable;
      break;
    }
    if (rc == CURLE_OK && is2xx(code)) {
      ok = true;
      break;
    }
    err = failed;
    // An answer that arrived is final; only a transport failure before any
    // body byte gets a second try, on a fresh connection.
    if (rc == CURLE_OK || sink.refused || sink.soFar > 0) break;
  }
  if (!ok) std::remove(destFile.c_str());
  return ok;
}

}  // namespace net
