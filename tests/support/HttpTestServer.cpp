#include "tests/support/HttpTestServer.h"

#include "kit/Download.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace kgtest {

namespace fs = std::filesystem;

namespace {

constexpr char kServerScript[] = R"PY(
import http.server, os, signal, socket, sys, threading, time
folder = sys.argv[1]
www = os.path.join(folder, "www")
PAGE = b"<html><body>No such page</body></html>\r\n"
BIG = 17 * 1024 * 1024

class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(os.path.join(folder, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        parts = self.path.lstrip("/").split("/", 1)
        mode = parts[0] if len(parts) == 2 and parts[0] in ("cut", "stall", "huge", "flood", "trickle", "drip", "slowhead", "latehead") else ""
        name = parts[1] if mode else self.path.lstrip("/")
        if mode == "stall":
            time.sleep(3600)
            return
        path = os.path.join(www, *name.split("/"))
        if not name or not os.path.isfile(path):
            self.reply(404, PAGE)
            return
        with open(path, "rb") as f:
            body = f.read()
        self.close_connection = True
        if mode == "cut":
            self.head(len(body))
            self.wfile.write(body[:len(body) * 3 // 10])
        elif mode == "huge":
            self.head(BIG)
            self.wfile.write(body)
        elif mode == "trickle":
            self.head(len(body))
            self.wfile.write(body[:max(len(body) - 20, 0)])
            self.wfile.flush()
            for i in range(max(len(body) - 20, 0), len(body)):
                time.sleep(1)
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
        elif mode in ("slowhead", "latehead"):
            head = ("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nX-Padding: %s\r\n"
                    "Content-Length: %d\r\n\r\n" % ("p" * 40, len(body))).encode()
            slow = len(head) if mode == "slowhead" else 50
            for i in range(slow):
                self.wfile.write(head[i:i + 1])
                self.wfile.flush()
                time.sleep(0.2)
            self.wfile.write(head[slow:] + body)
        elif mode == "drip":
            self.send_response(200)
            self.end_headers()
            self.wfile.write(body)
            for _ in range(600):
                self.wfile.write(b"\0" * 1000)
                self.wfile.flush()
                time.sleep(0.1)
        elif mode == "flood":
            self.send_response(200)
            self.end_headers()
            chunk = b"\0" * 65536
            for _ in range(BIG // len(chunk) + 1):
                self.wfile.write(chunk)
        else:
            self.reply(200, body)
        self.wfile.flush()

    def head(self, length):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def reply(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that gave up on a slow body

server = Server(("127.0.0.1", 0), Handler)
if len(sys.argv) > 3:
    import ssl
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[2], sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
spare = socket.socket()
spare.bind(("127.0.0.1", 0))
unused = spare.getsockname()[1]
spare.close()
def stop(*args):
    os.remove(os.path.join(folder, "ready"))
    os._exit(0)
signal.signal(signal.SIGTERM, stop)
threading.Timer(600, stop).start()
open(os.path.join(folder, "requests.log"), "w").close()
with open(os.path.join(folder, "ready.tmp"), "w") as ready:
    ready.write("%d %d %d\n" % (server.server_address[1], unused, os.getpid()))
os.replace(os.path.join(folder, "ready.tmp"), os.path.join(folder, "ready"))
server.serve_forever()
)PY";

// Starts a program of the machine (outside Wine) by its Unix path; Wine hands
// back no handle for it.
bool startUnixProgram(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    return true;
}

} // namespace

bool awaitAbandonedDownloads() {
    for (int waited = 0; kit::AbandonedDownloadsRunning() > 0 && waited < 600; ++waited) Sleep(100);
    return kit::AbandonedDownloadsRunning() == 0;
}

std::string onDriveZ(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

int runUnixScript(const std::string& script, const std::string& folderUnix) {
    static int serial = 0;
    const std::string base = folderUnix + "/script-" + std::to_string(++serial);
    const fs::path status = onDriveZ(base + ".status");
    std::error_code ignored;
    fs::remove(status, ignored);
    writeAll(onDriveZ(base + ".sh"), "(\n" + script + "\n) >" + base + ".out 2>&1\necho $? >" + base +
                                         ".tmp\nmv " + base + ".tmp " + base + ".status\n");
    if (!startUnixProgram("Z:\\bin\\sh " + base + ".sh")) return -1;
    for (int i = 0; i < 1200 && !fs::exists(status); ++i) Sleep(50);
    if (!fs::exists(status)) return -1;
    return std::stoi(readAll(status));
}

bool HttpTestServer::start(const std::string& certificateUnix, const std::string& keyUnix) {
    tls_ = !certificateUnix.empty();
    static int serial = 0;
    unixFolder_ = std::string(KG_BUILD_DIR) + "/kg-http-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(++serial);
    folder_ = onDriveZ(unixFolder_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    fs::create_directories(fs::path(folder_) / "www");
    writeAll(fs::path(folder_) / "server.py", kServerScript);
    const std::string tls = tls_ ? " " + certificateUnix + " " + keyUnix : std::string();
    if (!startUnixProgram("Z:\\usr\\bin\\python3 " + unixFolder_ + "/server.py " + unixFolder_ + tls)) return false;
    // The server says where it listens once it does.
    const fs::path ready = fs::path(folder_) / "ready";
    for (int i = 0; i < 600 && !fs::exists(ready); ++i) Sleep(50);
    std::istringstream in(readAll(ready));
    in >> port_ >> unusedPort_ >> pid_;
    return port_ > 0;
}

void HttpTestServer::stop() {
    if (pid_ > 0 && startUnixProgram("Z:\\bin\\kill " + std::to_string(pid_))) {
        const fs::path ready = fs::path(folder_) / "ready";
        for (int i = 0; i < 200 && fs::exists(ready); ++i) Sleep(50);
        if (!fs::exists(ready)) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }
    pid_ = port_ = 0;
}

void HttpTestServer::serve(const std::string& name, const std::string& content) const {
    const fs::path path = fs::path(folder_) / "www" / fs::path(name).make_preferred();
    fs::create_directories(path.parent_path());
    writeAll(path, content);
}

std::vector<std::string> HttpTestServer::requests() const {
    std::vector<std::string> lines;
    std::istringstream in(readAll(fs::path(folder_) / "requests.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace kgtest
