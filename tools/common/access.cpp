#include "access.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>

#include "exit_status.h"

#ifndef TSD_UDEV_RULES_DIR
#error "the build gives where the udev rule is installed"
#endif

namespace tsdtool {

namespace {

constexpr const char* kRuleName = "70-touchsdk.rules";
// udev reads an administrator's copy as well as the package's.
constexpr const char* kRuleDirectories[] = {TSD_UDEV_RULES_DIR, "/etc/udev/rules.d",
                                            "/lib/udev/rules.d", "/usr/lib/udev/rules.d"};

std::string installedRule() {
    for (const char* directory : kRuleDirectories) {
        const std::string path = std::string(directory) + "/" + kRuleName;
        if (::access(path.c_str(), F_OK) == 0) return path;
    }
    return {};
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::getuid())) return entry->pw_name;
    return "$USER";
}

}  // namespace

std::string accessAdvice(const std::string& devnode) {
    const std::string command = "sudo adduser " + userName() + " touchsdk";
    const std::string rule = installedRule();
    std::string advice = "permission denied on " + devnode + "\n";
    if (rule.empty()) {
        advice += "The udev rule " + std::string(kRuleName) +
                  " is not installed: install the touchsdk tools package (or copy the rule\n"
                  "into /etc/udev/rules.d and replug the screen), then run\n";
    } else {
        advice += "The udev rule is installed (" + rule +
                  "): the group touchsdk may open the screens. Run\n";
    }
    return advice + "  " + command + "\nand log in again.";
}

void requireAccess(const std::string& devnode) {
    if (::access(devnode.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return;
    throw Failure(Exit::Denied, accessAdvice(devnode));
}

}  // namespace tsdtool
