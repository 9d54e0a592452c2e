#pragma once
// The banner's Flash player: whether one is installed on this machine.

namespace kg {

// True when a Flash player file (a file, not a folder) exists at one of the
// places a player installs itself under the Windows folder.
bool FlashPlayerInstalled();

} // namespace kg
