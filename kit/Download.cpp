#include "kit/Download.h"

#include "core/Error.h"
#include "core/FileReplacer.h"
#include "core/Url.h"
#include "kit/Handles.h"
#include "kit/SystemError.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

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

// Holds the handles of one download and closes the innermost of them when the
// transfer's deadline passes: on Windows, closing a handle from another thread
// ends a WinINet call that blocks on it, so no server (trickling its status
// line, its headers or its body) holds the caller past the deadline. (Wine's
// WinINet lets the blocked call run on; it fails once it returns.) The timer
// runs on the system's timer thread; the handles are closed at destruction,
// after the timer can no longer fire.
class DeadlineWatch {
public:
    explicit DeadlineWatch(DWORD milliseconds) {
        // Without a timer each operation is still bounded by its own time-out.
        if (!CreateTimerQueueTimer(&timer_, nullptr, &DeadlineWatch::fire, this, milliseconds, 0,
                                   WT_EXECUTEONLYONCE))
            timer_ = nullptr;
    }
    ~DeadlineWatch() {
        // Waits for a callback that is running; the handles left are closed by their owners below.
        if (timer_) DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    }
    DeadlineWatch(const DeadlineWatch&) = delete;
    DeadlineWatch& operator=(const DeadlineWatch&) = delete;

    enum Level { Session, Connection, Request };
    // Takes `handle` into the watch (null stays null) and answers it for use; null once the deadline has passed.
    HINTERNET keep(Level level, unique_hinternet handle) {
        AcquireSRWLockExclusive(&lock_);
        const bool late = expired_;
        if (!late) handles_[level] = std::move(handle);
        const HINTERNET kept = handles_[level].get();
        ReleaseSRWLockExclusive(&lock_);
        return late ? nullptr : kept;  // a late handle is closed on leaving
    }
    bool expired() {
        AcquireSRWLockShared(&lock_);
        const bool late = expired_;
        ReleaseSRWLockShared(&lock_);
        return late;
    }

private:
    static void CALLBACK fire(void* context, BOOLEAN) {
        auto* self = static_cast<DeadlineWatch*>(context);
        unique_hinternet closing;
        AcquireSRWLockExclusive(&self->lock_);
        self->expired_ = true;
        for (int level = Request; level >= Session && !closing; --level) closing = std::move(self->handles_[level]);
        ReleaseSRWLockExclusive(&self->lock_);
        // Closed outside the lock: the blocked call returns on the caller's thread and fails.
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    bool expired_ = false;
    unique_hinternet handles_[3];  // closed after the destructor's body has stopped the timer
    HANDLE timer_ = nullptr;
};

// Opens the URL with bounded operations; the handles it makes belong to
// `watch`. An HTTP URL goes through a connection of its own: some
// implementations take the send and receive time-outs only from there, never
// from the session. Null when it cannot be opened or the deadline passed.
HINTERNET openBounded(DeadlineWatch& watch, HINTERNET session, const std::string& url, DWORD flags) {
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
    if (!http)
        return watch.keep(DeadlineWatch::Request,
                          unique_hinternet(InternetOpenUrlA(session, url.c_str(), nullptr, 0, flags, 0)));
    path.resize(parts.dwUrlPathLength);
    if (parts.lpszExtraInfo && parts.dwExtraInfoLength) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = "/";
    const HINTERNET connection = watch.keep(
        DeadlineWatch::Connection,
        unique_hinternet(InternetConnectA(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)));
    if (!connection) return nullptr;
    boundOperations(connection);
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    const HINTERNET request = watch.keep(
        DeadlineWatch::Request,
        unique_hinternet(HttpOpenRequestA(connection, "GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0)));
    if (!request || !HttpSendRequestA(request, nullptr, 0, nullptr, 0) || watch.expired()) return nullptr;
    return request;
}

// Transfers whose callers stopped waiting and which have not ended yet.
std::atomic<std::size_t> abandonedRunning{0};

// One download, shared by the caller and the thread that runs it; the last of them to let go frees it.
// A caller that stops waiting abandons it: from then on nothing it does reaches the destination.
struct Transfer {
    std::string url;
    std::string destination;
    ULONGLONG start = 0;
    HMODULE module = nullptr;  // a reference the thread holds on this module

    // The thread commits only while the caller still waits; false once it has given up.
    bool commitUnlessAbandoned(FileReplacer& part) {
        Locked hold(lock);
        if (abandoned) return false;
        part.commit();
        committed = true;
        return true;
    }
    void finish(bool result, std::exception_ptr failure) {
        Locked hold(lock);
        done = true;
        succeeded = result;
        error = failure;
        if (abandoned) --abandonedRunning;
    }
    // What the caller is told when it stops waiting: the thread's answer if it has one, else false.
    bool outcome() {
        std::exception_ptr failure;
        {
            Locked hold(lock);
            if (!done) {
                abandoned = true;
                ++abandonedRunning;
                return committed;
            }
            failure = error;
        }
        if (failure) std::rethrow_exception(failure);
        return succeeded;
    }

private:
    struct Locked {
        explicit Locked(SRWLOCK& l) : held(l) { AcquireSRWLockExclusive(&held); }
        ~Locked() { ReleaseSRWLockExclusive(&held); }
        SRWLOCK& held;
    };
    SRWLOCK lock = SRWLOCK_INIT;
    bool abandoned = false;
    bool committed = false;
    bool done = false;
    bool succeeded = false;
    std::exception_ptr error;
};

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

namespace {

// The transfer itself, on a thread of its own; its deadline comes a little before the caller's,
// so that where closing a handle cancels a call the thread ends, and cleans up, before the caller stops waiting.
bool transfer(Transfer& job) {
    const ULONGLONG start = job.start;
    constexpr ULONGLONG limit = DownloadTransferLimitMs - DownloadCleanUpMs;
    const ULONGLONG begun = GetTickCount64() - start;
    DeadlineWatch watch(static_cast<DWORD>(begun < limit ? limit - begun : 1));
    const HINTERNET session = watch.keep(
        DeadlineWatch::Session,
        unique_hinternet(InternetOpenA(hostProgramName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)));
    if (!session) return false;
    // An update must see the server's file as it is now, not a cached copy.
    const DWORD flags = INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE;
    const HINTERNET request = openBounded(watch, session, job.url, flags);
    if (!request) return false;

    unsigned long long expected = 0;
    const bool lengthKnown = declaredLength(request, expected);
    if (lengthKnown && expected > DownloadSizeLimit) return false;
    FileReplacer part(job.destination);
    unsigned long long received = 0;
    char chunk[DownloadChunkSize];
    // Every wait below is bounded by the receive time-out, which is cut to the time left near the end,
    // and by the watch; a read asks only for what has arrived.
    const auto timeLeft = [&]() -> bool {
        if (watch.expired()) return false;
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed > limit) return false;
        // Never 0, which would mean no time-out at all.
        const ULONGLONG left = limit - elapsed + 1;
        if (left < DownloadOperationTimeoutMs) {
            DWORD wait = static_cast<DWORD>(left);
            InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
        }
        return true;
    };
    for (;;) {
        if (!timeLeft()) return false;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return false;
        if (available == 0) break;  // the end of the body
        if (!timeLeft()) return false;
        DWORD read = 0;
        const DWORD want = available < sizeof chunk ? available : static_cast<DWORD>(sizeof chunk);
        if (!InternetReadFile(request, chunk, want, &read)) return false;
        if (read == 0) break;
        received += read;
        if (received > DownloadSizeLimit) return false;
        part.write(chunk, read);
    }
    // A body that seemed to end because its handle was closed at the deadline is no body.
    if (watch.expired()) return false;
    // The connection ended before the body the server announced.
    if (lengthKnown && received < expected) return false;
    return job.commitUnlessAbandoned(part);
}

DWORD WINAPI runTransfer(void* context) {
    HMODULE self = nullptr;
    {
        const std::unique_ptr<std::shared_ptr<Transfer>> owned(static_cast<std::shared_ptr<Transfer>*>(context));
        Transfer& job = **owned;
        self = job.module;
        bool result = false;
        std::exception_ptr error;
        try {
            result = transfer(job);
        } catch (...) {
            error = std::current_exception();
        }
        job.finish(result, error);
    }
    // The module stays loaded until the thread has left its code, even after the caller gave up.
    FreeLibraryAndExitThread(self, 0);
}

} // namespace

std::size_t AbandonedDownloadsRunning() { return abandonedRunning.load(); }

bool DownloadUrlToFile(const std::string& url, const std::string& destination) {
    const ULONGLONG start = GetTickCount64();
    const std::string canonical = CanonicalizeUrl(url);
    if (!kg::IsPlausibleUrl(canonical)) return false;

    auto job = std::make_shared<Transfer>();
    job->url = canonical;
    job->destination = destination;
    job->start = start;
    // The thread's own reference on this module, handed over once the thread runs.
    unique_handle<HMODULE, closed_by<HMODULE, &FreeLibrary>> module;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&runTransfer),
                            module.put()))
        RaiseLastOSError();
    job->module = module.get();
    auto context = std::make_unique<std::shared_ptr<Transfer>>(job);
    const unique_kernel_object thread(CreateThread(nullptr, 0, &runTransfer, context.get(), 0, nullptr));
    if (!thread) RaiseLastOSError();
    context.release();
    module.release();
    // Whatever the platform does with a call blocked on a closed handle, the caller waits no longer than the bound.
    const ULONGLONG elapsed = GetTickCount64() - start;
    const DWORD wait = elapsed < DownloadTransferLimitMs ? static_cast<DWORD>(DownloadTransferLimitMs - elapsed) : 0;
    WaitForSingleObject(thread.get(), wait);
    return job->outcome();
}

} // namespace kit
