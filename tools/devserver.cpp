// Development server: the publisher's API served from a fixture folder on
// 127.0.0.1, for the tests and the demo.
//
//   orvane-devserver FIXTURES [--fault PATH KIND[:VALUE]]...
//
// Binds a free port and prints it as the first line of standard output.
//
// Fixture folder layout (files are read on every request, so a test may change
// them while the server runs; a missing file is a 404):
//   version/<platform>.json       GET /api/version?pub=1&platform=<platform>
//   geometry.json                 GET /api/suppress/geometry
//   ftg/airports.json             GET /api/ftg/airports
//   ftg/<ICAO>@<publisher>.json   GET /api/ftg/<ICAO>/net?platform=xplane&publisher=<publisher>
//   ftg/<ICAO>.json               the same without a publisher, and the fallback when
//                                 there is no file for the publisher; with neither
//                                 file the answer is {"available": false}
//   files/<path>                  GET /files/<path> (packages and builds)
//
// Faults, at most one per request path (the path without its query), set with
// --fault or at run time:
//   delay:MS        wait MS milliseconds, then answer as usual
//   firstdelay:MS   the next request only: send the first half of the body, wait
//                   MS milliseconds, then send the rest; later requests are normal
//   status:CODE     answer CODE with a short text body
//   redirect:CODE   answer CODE (default 302) with Location: /moved<path>
//   truncate:N      announce the whole body, send N bytes (default half), close
//   garbage         answer 200 with bytes that are not JSON
//   gzip            send the body gzip-encoded (Content-Encoding: gzip)
//   slow:BPS        send the body at BPS bytes per second
//   stall:N         send N bytes, then stay silent (at most 120 s) and close
//
// Control endpoints (neither counted nor recorded):
//   /_fault?path=P&kind=K&value=V   set the fault of path P ("kind=none" clears it)
//   /_reset                         clear every fault, count and the last request
//   /_count?path=P                  how many requests path P had, in decimal
//   /_last                          the last request as JSON: path, target, headers
#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

namespace {

struct Fault {
  std::string kind;
  long value = -1;  // -1 when not given
  bool used = false;
};

struct State {
  std::mutex mtx;
  std::string root;  // fixture folder, ending with "/"
  std::map<std::string, Fault> faults;
  std::map<std::string, int> counts;
  nlohmann::json last = nlohmann::json::object();
};
State g_state;

void sleepMs(long ms) {
  ms = std::clamp(ms, 0L, 120000L);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool readFixture(const std::string& rel, std::string& out) {
  std::ifstream f(g_state.root + rel, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

// A name that stays inside its folder: no separators, no "." or "..".
bool plainName(const std::string& s) {
  return !s.empty() && s != "." && s != ".." && s.find('/') == std::string::npos &&
         s.find('\\') == std::string::npos;
}

// A relative path of plain names.
bool plainPath(const std::string& s) {
  if (s.empty()) return false;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find('/', start);
    if (end == std::string::npos) end = s.size();
    if (!plainName(s.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::string gzipped(const std::string& in) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, in.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct Answer {
  int status = 200;
  std::string body;
  std::string type = "application/json";
};

// What the fixture folder says for this request.
Answer lookup(const httplib::Request& req) {
  static const std::regex kNet("^/api/ftg/([^/]+)/net$");
  Answer a;
  std::smatch m;
  bool found = false;
  const std::string& p = req.path;
  if (p == "/api/version") {
    const std::string platform = req.get_param_value("platform");
    found = plainName(platform) && readFixture("version/" + platform + ".json", a.body);
  } else if (p == "/api/suppress/geometry") {
    found = readFixture("geometry.json", a.body);
  } else if (p == "/api/ftg/airports") {
    found = readFixture("ftg/airports.json", a.body);
  } else if (std::regex_match(p, m, kNet)) {
    const std::string icao = m[1];
    const std::string pub = req.get_param_value("publisher");
    if (plainName(icao)) {
      found = (!pub.empty() && plainName(icao + "@" + pub) &&
               readFixture("ftg/" + icao + "@" + pub + ".json", a.body)) ||
              readFixture("ftg/" + icao + ".json", a.body);
      if (!found) {
        a.body = R"({"available": false})";
        found = true;
      }
    }
  } else if (p.rfind("/files/", 0) == 0) {
    const std::string rel = p.substr(7);
    found = plainPath(rel) && readFixture("files/" + rel, a.body);
    a.type = "application/octet-stream";
  } else if (p.rfind("/moved/", 0) == 0) {
    a.body = "moved";
    a.type = "text/plain";
    found = true;
  }
  if (!found) {
    a.status = 404;
    a.body = "not found";
    a.type = "text/plain";
  }
  return a;
}

// Sends `body` with its length announced. Bodies always go through a content
// provider, so the server library never compresses them on its own.
void sendWith(httplib::Response& res, const Answer& a, const Fault& f) {
  res.status = a.status;
  if (a.body.empty()) {  // a provider of length 0 would announce no length at all
    res.set_content(std::string(), a.type);
    return;
  }
  auto body = std::make_shared<std::string>(a.body);
  const std::string kind = f.kind;
  const long value = f.value;
  res.set_content_provider(
      body->size(), a.type,
      [body, kind, value](size_t offset, size_t length, httplib::DataSink& sink) {
        const char* d = body->data() + offset;
        if (kind == "firstdelay") {
          size_t half = length / 2;
          if (!sink.write(d, half)) return false;
          sleepMs(value);
          return sink.write(d + half, length - half);
        }
        if (kind == "truncate") {
          size_t n = value >= 0 ? std::min<size_t>(static_cast<size_t>(value), length) : length / 2;
          if (n > 0) sink.write(d, n);
          return false;  // the connection is closed short of the announced length
        }
        if (kind == "stall") {
          size_t n = std::min<size_t>(value > 0 ? static_cast<size_t>(value) : 0, length);
          if (n > 0 && !sink.write(d, n)) return false;
          sleepMs(120000);
          return false;
        }
        if (kind == "slow") {
          const size_t rate = value > 0 ? static_cast<size_t>(value) : 1024;
          const size_t chunk = std::max<size_t>(1, rate / 10);  // ten pieces a second
          size_t n = std::min(chunk, length);
          if (!sink.write(d, n)) return false;
          sleepMs(static_cast<long>(n * 1000 / rate));
          return true;
        }
        return sink.write(d, length);
      });
}

void serve(const httplib::Request& req, httplib::Response& res) {
  Fault f;
  {
    std::lock_guard<std::mutex> lk(g_state.mtx);
    g_state.counts[req.path] += 1;
    nlohmann::json headers = nlohmann::json::object();
    for (const auto& [name, value] : req.headers) {
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
          name == "LOCAL_PORT")
        continue;  // added by the server library, not sent by the client
      headers[name] = value;
    }
    g_state.last = {{"path", req.path}, {"target", req.target}, {"headers", headers}};
    auto it = g_state.faults.find(req.path);
    if (it != g_state.faults.end()) {
      if (it->second.kind == "firstdelay" && it->second.used) {
        // already spent: answer normally
      } else {
        it->second.used = true;
        f = it->second;
      }
    }
  }

  Answer a = lookup(req);
  if (f.kind == "delay") {
    sleepMs(f.value);
  } else if (f.kind == "status") {
    a.status = f.value > 0 ? static_cast<int>(f.value) : 500;
    a.body = "status " + std::to_string(a.status);
    a.type = "text/plain";
  } else if (f.kind == "redirect") {
    a.status = f.value > 0 ? static_cast<int>(f.value) : 302;
    a.body = "moved";
    a.type = "text/plain";
    res.set_header("Location", "/moved" + req.path);
  } else if (f.kind == "garbage") {
    a.status = 200;
    a.body = "<html>\x01\xfe{ this is not \"json\"";
  } else if (f.kind == "gzip") {
    a.body = gzipped(a.body);
    res.set_header("Content-Encoding", "gzip");
  }
  sendWith(res, a, f);
}

// "KIND" or "KIND:VALUE".
Fault parseFault(const std::string& kind, const std::string& value) {
  Fault f;
  f.kind = kind;
  if (!value.empty()) f.value = std::strtol(value.c_str(), nullptr, 10);
  return f;
}

void setFault(const std::string& path, const Fault& f) {
  std::lock_guard<std::mutex> lk(g_state.mtx);
  if (f.kind.empty() || f.kind == "none")
    g_state.faults.erase(path);
  else
    g_state.faults[path] = f;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FIXTURES [--fault PATH KIND[:VALUE]]...\n", argv[0]);
    return 2;
  }
  g_state.root = argv[1];
  if (g_state.root.empty() || g_state.root.back() != '/') g_state.root += '/';
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fault" && i + 2 < argc) {
      const std::string spec = argv[i + 2];
      const size_t colon = spec.find(':');
      setFault(argv[i + 1], parseFault(spec.substr(0, colon),
                                       colon == std::string::npos ? "" : spec.substr(colon + 1)));
      i += 2;
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", arg.c_str());
      return 2;
    }
  }

  httplib::Server svr;
  svr.set_tcp_nodelay(true);  // headers and body go out at once, not a delayed-ACK apart
  svr.Get("/_fault", [](const httplib::Request& req, httplib::Response& res) {
    setFault(req.get_param_value("path"),
             parseFault(req.get_param_value("kind"), req.get_param_value("value")));
    res.set_content("ok", "text/plain");
  });
  svr.Get("/_reset", [](const httplib::Request&, httplib::Response& res) {
    std::lock_guard<std::mutex> lk(g_state.mtx);
    g_state.faults.clear();
    g_state.counts.clear();
    g_state.last = nlohmann::json::object();
    res.set_content("ok", "text/plain");
  });
  svr.Get("/_count", [](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lk(g_state.mtx);
    auto it = g_state.counts.find(req.get_param_value("path"));
    res.set_content(std::to_string(it == g_state.counts.end() ? 0 : it->second), "text/plain");
  });
  svr.Get("/_last", [](const httplib::Request&, httplib::Response& res) {
    std::lock_guard<std::mutex> lk(g_state.mtx);
    res.set_content(g_state.last.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                    "application/json");
  });
  svr.Get(".*", serve);

  const int port = svr.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::fprintf(stderr, "could not bind 127.0.0.1\n");
    return 1;
  }
  std::printf("%d\n", port);
  std::fflush(stdout);
  return svr.listen_after_bind() ? 0 : 1;
}
