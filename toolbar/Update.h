#pragma once
// The configuration update: at every build of a toolbar window, a newer
// configuration file ("toolbar.ini") and icon file ("icons.bin") are fetched
// from the publisher's folder named by "Updates URL", checked, and put in
// place of the installed ones, which are kept as backups.

namespace kg {

// True when, at the end, the configuration file in use is usable (its
// "Options" name a non-empty "Toolbar Name"). With an empty "Updates URL"
// nothing is fetched or shown and the answer is false. Otherwise "/" is
// appended to the setting when it lacks one, and the error box "Error Loading
// Configuration File! ..." is shown when no usable configuration is left.
//
// The folder never lacks a usable configuration: the one in use is copied to
// the backup first, and a usable download then replaces it in one step; a
// failure at any point leaves the previous file in use. The same holds for
// the icon file. An input/output error while the download is written reaches
// the caller after the configuration in use was checked; the icon update and
// the error box are then skipped.
//
// When the configuration in use names an "Update Key", each download counts
// only with a valid signature fetched beside it ("toolbar.ini.sig",
// "icons.bin.sig"; see config/SignedUpdate.h); one without is kept under its
// download name and not used, as one without "Toolbar Name" is. A key that
// does not parse lets no download through.
bool UpdateConfiguration();

} // namespace kg
