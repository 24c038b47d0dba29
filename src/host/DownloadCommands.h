#ifndef TUMBLIX_HOST_DOWNLOADCOMMANDS_H
#define TUMBLIX_HOST_DOWNLOADCOMMANDS_H

#include <string>

// The downloads from the command line: the same list and download code as
// the settings dialog, on controls that print. Each returns the process's
// exit status. `resources` is the module's resource folder (its bottle types
// join the user's in the catalogue, as in a view).
namespace DownloadCommands {

// tumblix --downloads: the offered types, one per line; 1 with the reason
// on stderr when there is no usable list.
int ListDownloads(const std::string& resources);

// tumblix --download NAME: downloads the offered type of that display name
// into the user's bottle folder, printing the status texts; 0 once saved.
int Download(const std::string& resources, const std::string& name);

} // namespace DownloadCommands

#endif
