#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovela {

// Finding the running instance and handing it one request, as a second start does.
class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // True when another process of this program already runs for this user.
    virtual bool PrevInstance() = 0;
    // Finds the running instance's mailbox window and sends it one WM_COPYDATA: `kind` is
    // dwData; `payload` the single-byte text without its NUL (the back end adds the NUL and
    // counts it in cbData), or nothing for cbData 0 and a null lpData. Blocks until the
    // receiver has handled it. False when no mailbox window was found.
    virtual bool SendCopyData(std::uint32_t kind, const std::optional<std::string>& payload) = 0;
};

}  // namespace tovela
