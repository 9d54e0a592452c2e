#pragma once
// The toolbar's other ways out of the browser: the shell, URL
// canonicalisation, downloads over the Internet API and the error box.
#include <string>

namespace kg {

inline constexpr char ErrorCaption[] = "Error";
inline constexpr char ErrorPrefix[] = "Error: ";
// Characters of the canonicalisation buffer, its terminating zero included.
inline constexpr unsigned CanonicalUrlBufferSize = 256;
inline constexpr unsigned DownloadChunkSize = 1024;
// Bounds of a download, so that a stalled server cannot hold the browser:
// each connect, send and receive, the whole transfer, and the body's size.
// An update fetches two files, so its body reads hold the window at most
// twice the transfer's bound, however slowly the server sends.
inline constexpr unsigned long DownloadOperationTimeoutMs = 3000;
inline constexpr unsigned long long DownloadTransferLimitMs = 5000;
inline constexpr unsigned long long DownloadSizeLimit = 16ull * 1024 * 1024;

// The shell's default action on a file, document, program or URL; failures are silent.
void ShellOpen(const std::string& target);

// The URL with escape sequences decoded and unsafe characters left as they
// are. A failure, a canonical form that does not fit the buffer among them,
// is shown with ShowErrorBox ("Error: " and the system's text) and answers an
// empty text, never a cut one.
std::string CanonicalizeUrl(const std::string& url);

// Fetches the URL afresh (never from the cache) into the file; true when the
// whole body was written, also for an error page. False, with the file as it
// was, when there is no Internet session, the canonical URL is implausible,
// the URL cannot be opened, the body breaks off before its end, a connect,
// send or receive takes longer than DownloadOperationTimeoutMs, the transfer
// longer than DownloadTransferLimitMs (also while the server sends the body a
// byte at a time: a read takes only what has arrived), or the body is (or is declared) larger
// than DownloadSizeLimit. Raises kit::InOutError (after the connection is
// closed) when the file cannot be created or written.
bool DownloadUrlToFile(const std::string& url, const std::string& destination);

// A modal warning box captioned "Error" with an OK button.
void ShowErrorBox(const std::string& message);

} // namespace kg
