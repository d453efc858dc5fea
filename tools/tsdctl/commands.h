#pragma once

#include "output.h"
#include "stop_signals.h"

// One function per subcommand; each takes its parsed options and words.
namespace tsdctl {

Exit listCommand(const Options& args);
Exit infoCommand(const Options& args);
Exit modeCommand(const Options& args);
Exit restartCommand(const Options& args);
Exit calibrationCommand(const Options& args);
Exit eventsCommand(const Options& args);
Exit recordCommand(const Options& args);
Exit watchCommand(const Options& args);

}  // namespace tsdctl
