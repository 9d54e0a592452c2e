#pragma once
// The toolbar's other ways out of the browser: the shell, URL
// canonicalisation and downloads as the toolbar shows their failures, and the
// error box.
#include <string>

namespace kg {

inline constexpr char ErrorCaption[] = "Error";
inline constexpr char ErrorPrefix[] = "Error: ";

// The shell's default action on a file, document, program or URL; failures are silent.
void ShellOpen(const std::string& target);

// kit::CanonicalizeUrl; its failure is shown with ShowErrorBox ("Error: " and
// the system's text) and answers an empty text, never a cut one.
std::string CanonicalizeUrl(const std::string& url);

// kit::DownloadUrlToFile; a URL that cannot be canonicalised is shown as
// CanonicalizeUrl shows it and answers false. kit::InOutError reaches the caller.
bool DownloadUrlToFile(const std::string& url, const std::string& destination);

// A modal warning box captioned "Error" with an OK button.
void ShowErrorBox(const std::string& message);

} // namespace kg
