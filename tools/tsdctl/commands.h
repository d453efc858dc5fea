#pragma once

#include <string>
#include <vector>

#include "output.h"

// One function per subcommand; each takes the words after its name.
namespace tsdctl {

using Words = std::vector<std::string>;

Exit listCommand(const Words& words);
Exit infoCommand(const Words& words);
Exit modeCommand(const Words& words);
Exit restartCommand(const Words& words);
Exit calibrationCommand(const Words& words);
Exit eventsCommand(const Words& words);
Exit recordCommand(const Words& words);
Exit watchCommand(const Words& words);

// Makes Ctrl-C (SIGINT) and SIGTERM end a stream gracefully; call before
// the first record can arrive.
void armStop();
// Waits until SIGINT or SIGTERM, or until stopWaiting() is called (from
// any thread, a signal handler included).
void waitForStop();
void stopWaiting();
// Readable once the stream is to end: for a thread that polls other
// descriptors too.
int stopDescriptor();

}  // namespace tsdctl
