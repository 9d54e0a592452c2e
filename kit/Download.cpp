#include "kit/Download.h"

#include "core/Error.h"
#include "core/FileReplacer.h"
#include "core/Url.h"
#include "kit/Handles.h"
#include "kit/SystemError.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

namespace kit {

namespace {

// The host program's file name without its folder: the user agent of the session.
std::string hostProgramName() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, n < MAX_PATH ? n : MAX_PATH);
    const auto slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    return name;
}

// The length the server declared for the body, when it declared one.
bool declaredLength(HINTERNET request, unsigned long long& length) {
    char text[32] = {};
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    char* end = nullptr;
    length = std::strtoull(text, &end, 10);
    return end != text;
}

// Every connect, send and receive of a handle made from `handle` is bounded.
void boundOperations(HINTERNET handle) {
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = DownloadOperationTimeoutMs;
        InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

// Opens the URL with bounded operations. An HTTP URL goes through a
// connection of its own (kept in `connection`): some implementations take the
// send and receive time-outs only from there, never from the session.
unique_hinternet openBounded(HINTERNET session, const std::string& url, DWORD flags,
                                  unique_hinternet& connection) {
    boundOperations(session);
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    std::string path(url.size() + 1, '\0');
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.dwExtraInfoLength = 1;  // the query stays in the path
    const bool http = InternetCrackUrlA(url.c_str(), 0, 0, &parts) &&
                      (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS);
    if (!http) return unique_hinternet(InternetOpenUrlA(session, url.c_str(), nullptr, 0, flags, 0));
    path.resize(parts.dwUrlPathLength);
    if (parts.lpszExtraInfo && parts.dwExtraInfoLength) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = "/";
    connection.reset(InternetConnectA(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return {};
    boundOperations(connection.get());
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    unique_hinternet request(
        HttpOpenRequestA(connection.get(), "GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request || !HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return {};
    return request;
}

} // namespace

std::string CanonicalizeUrl(const std::string& url) {
    // Exactly the size the call is told: it must never write past it.
    char buffer[CanonicalUrlBufferSize] = {};
    DWORD length = sizeof buffer;
    if (!InternetCanonicalizeUrlA(url.c_str(), buffer, &length, ICU_DECODE | ICU_NO_ENCODE)) {
        const DWORD code = GetLastError();
        throw OSError(code, SystemErrorMessage(code, "wininet.dll"));
    }
    // A result without its terminating zero inside the buffer did not fit either.
    const auto* end = static_cast<const char*>(std::memchr(buffer, '\0', sizeof buffer));
    if (!end || length >= sizeof buffer)
        throw OSError(ERROR_INSUFFICIENT_BUFFER, SystemErrorMessage(ERROR_INSUFFICIENT_BUFFER, "wininet.dll"));
    return std::string(static_cast<const char*>(buffer), end);
}

bool DownloadUrlToFile(const std::string& url, const std::string& destination) {
    const ULONGLONG start = GetTickCount64();
    unique_hinternet session(
        InternetOpenA(hostProgramName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    const std::string canonical = CanonicalizeUrl(url);
    if (!kg::IsPlausibleUrl(canonical)) return false;
    // An update must see the server's file as it is now, not a cached copy.
    const DWORD flags = INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE;
    unique_hinternet connection;
    unique_hinternet request = openBounded(session.get(), canonical, flags, connection);
    if (!request) return false;

    unsigned long long expected = 0;
    const bool lengthKnown = declaredLength(request.get(), expected);
    if (lengthKnown && expected > DownloadSizeLimit) return false;
    FileReplacer part(destination);
    unsigned long long received = 0;
    char chunk[DownloadChunkSize];
    // Every wait below is bounded by the receive time-out, which is cut to the time left near the end;
    // a read asks only for what has arrived, so a trickling server cannot hold one past the limit.
    const auto timeLeft = [&]() -> bool {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed > DownloadTransferLimitMs) return false;
        // Never 0, which would mean no time-out at all.
        const ULONGLONG left = DownloadTransferLimitMs - elapsed + 1;
        if (left < DownloadOperationTimeoutMs) {
            DWORD wait = static_cast<DWORD>(left);
            InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
        }
        return true;
    };
    for (;;) {
        if (!timeLeft()) return false;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request.get(), &available, 0, 0)) return false;
        if (available == 0) break;  // the end of the body
        if (!timeLeft()) return false;
        DWORD read = 0;
        const DWORD want = available < sizeof chunk ? available : static_cast<DWORD>(sizeof chunk);
        if (!InternetReadFile(request.get(), chunk, want, &read)) return false;
        if (read == 0) break;
        received += read;
        if (received > DownloadSizeLimit) return false;
        part.write(chunk, read);
    }
    // The connection ended before the body the server announced.
    if (lengthKnown && received < expected) return false;
    part.commit();
    return true;
}

} // namespace kit
