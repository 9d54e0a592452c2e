#pragma once
// A real HTTP server on 127.0.0.1 for the download tests, and the few Unix
// programs the tests run outside Wine. The server (python3's http.server,
// started and stopped by pid) serves the files of its folder "www"; a first
// path segment changes how a file is sent:
//   /cut/<file>    announces the file's length, sends 30 % of it and closes;
//   /stall/<file>  takes the connection and never answers;
//   /huge/<file>   announces 17 MiB, sends the file and closes;
//   /flood/<file>  announces nothing and sends 17 MiB, then closes;
//   /trickle/<file> announces the file's length, sends all but its last 20
//                  bytes, then one byte a second;
//   /slowhead/<file> sends its status line and headers a byte every 0.2 s
//                  (about 25 s in all), then the whole file: each receive gets
//                  a byte in time, only the transfer's bound can end it;
//   /latehead/<file> the same for its first 50 bytes (10 s), then the rest and
//                  the file at once: a whole answer just after the bound;
//   /drip/<file>   announces nothing, sends the file, then 1,000 bytes every
//                  0.1 s for a minute: a huge body sent slowly.
// A missing file is a 404 page (HttpTestServer::kErrorPage). Every request's
// path is logged.
#include <filesystem>
#include <string>
#include <vector>

namespace kgtest {

// A Unix path as Wine's Z: drive shows it.
std::string onDriveZ(const std::string& unixPath);
std::string readAll(const std::filesystem::path& path);
void writeAll(const std::filesystem::path& path, const std::string& content);

// Runs `script` with /bin/sh outside Wine and waits for it (up to 60 s);
// its exit status, or -1 when it did not finish. `folderUnix` takes the script.
int runUnixScript(const std::string& script, const std::string& folderUnix);

// A download whose caller stopped waiting (a slow answer above) ends by itself
// later; what it leaves is seen after that. Waits until none runs; false after
// a minute. Not a clock on the download: a guard against a thread that never ends.
bool awaitAbandonedDownloads();

class HttpTestServer {
public:
    static constexpr char kErrorPage[] = "<html><body>No such page</body></html>\r\n";

    HttpTestServer() = default;
    ~HttpTestServer() { stop(); }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Starts the server in a folder of its own under the build folder; false when it did not start.
    // With a certificate and its key (PEM files, Unix paths) it speaks HTTPS, as "localhost".
    bool start(const std::string& certificateUnix = {}, const std::string& keyUnix = {});
    // Stops it by its pid and removes its folder.
    void stop();

    int port() const noexcept { return port_; }
    // A port on 127.0.0.1 that nobody listens on.
    int unusedPort() const noexcept { return unusedPort_; }
    std::string url(const std::string& path) const {
        return (tls_ ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(port_) + path;
    }
    // Puts a file (name relative to "www", "/" separated) where the server finds it.
    void serve(const std::string& name, const std::string& content) const;
    // The paths requested so far, in order.
    std::vector<std::string> requests() const;

private:
    std::string unixFolder_, folder_;
    int port_ = 0, unusedPort_ = 0, pid_ = 0;
    bool tls_ = false;
};

} // namespace kgtest
