#pragma once
// Downloads over the Internet API, and the URL canonicalisation they go
// through. Nothing here shows anything: failures come back to the caller,
// which tells the user.
#include <cstddef>
#include <string>

namespace kit {

// Characters of the canonicalisation buffer, its terminating zero included.
inline constexpr unsigned CanonicalUrlBufferSize = 256;
inline constexpr unsigned DownloadChunkSize = 1024;
// Bounds of a download, so that a stalled server cannot hold the browser:
// each connect, send and receive, the whole transfer, and the body's size.
inline constexpr unsigned long DownloadOperationTimeoutMs = 3000;
inline constexpr unsigned long long DownloadTransferLimitMs = 5000;
inline constexpr unsigned long long DownloadSizeLimit = 16ull * 1024 * 1024;
// The transfer itself gives up this much before the bound, so that it has ended
// and cleaned up when the caller stops waiting, wherever the platform can cancel its calls.
inline constexpr unsigned long long DownloadCleanUpMs = 300;

// The URL with escape sequences decoded and unsafe characters left as they
// are. Raises kit::OSError with the system's text when that fails, a
// canonical form that does not fit the buffer among them: never a cut text.
std::string CanonicalizeUrl(const std::string& url);

// Fetches the URL afresh (never from the cache) into the file; true when the
// whole body was written, also for an error page. False, with the file as it
// was, when there is no Internet session, the canonical URL is implausible,
// the URL cannot be opened, the body breaks off before its end, a connect,
// send or receive takes longer than DownloadOperationTimeoutMs, the transfer
// longer than DownloadTransferLimitMs (also while the server sends the body a
// byte at a time: a read takes only what has arrived; and while it trickles its
// status line and headers), or the body is (or is declared) larger than
// DownloadSizeLimit. The transfer runs on a thread of its own and the caller
// waits for it no longer than DownloadTransferLimitMs: where the platform lets
// a blocked call run on after its handle is closed, the thread is abandoned
// and ends by itself later, without touching the file. Raises kit::OSError
// (before any traffic) when the URL cannot be canonicalised or no thread can
// be started, and kit::InOutError (after the connection is closed) when the
// file cannot be created or written.
bool DownloadUrlToFile(const std::string& url, const std::string& destination);

// Downloads whose callers stopped waiting and whose threads have not ended yet.
std::size_t AbandonedDownloadsRunning();

} // namespace kit
