#pragma once

// The names a toolbar's configuration is written with, shared by the engine
// that builds the toolbar and the checker that reads it as the engine would.
namespace kg::confignames {

inline constexpr char kOptions[] = "Options";
inline constexpr char kToolbarItems[] = "Toolbar Items";
inline constexpr char kIcons[] = "Icons";
inline constexpr char kSearchSection[] = "miSearch";
inline constexpr char kToolbarParent[] = "Toolbar";
// The search engines' "Tag" values, which are also the values of "Search Type".
inline constexpr int kFirstSearchType = 1;
inline constexpr int kLastSearchType = 30;

} // namespace kg::confignames
