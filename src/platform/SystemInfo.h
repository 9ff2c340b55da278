#pragma once

#include <cstdint>
#include <string>

namespace tovela {

struct OsVersion {
    unsigned platformId = 2;  // 2: the NT family
    unsigned major = 10;
    unsigned minor = 0;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual OsVersion GetVersion() = 0;
    // Gives the process's working set back to the system.
    virtual void EmptyWorkingSet() = 0;
    // The per-user folder where the program keeps its own files (the debug log).
    virtual std::string UserDataFolder() = 0;
    // The system's message for an error code (empty when it has none), and the calling
    // thread's last error code.
    virtual std::string SystemErrorText(std::uint32_t code) = 0;
    virtual std::uint32_t LastError() = 0;
};

}  // namespace tovela
