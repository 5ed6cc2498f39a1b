#pragma once
// Something that carries commands: the active view, its document's commands, the frames.
// The shell offers each command to the targets in routing order; the first that carries it
// handles it.

#include <optional>

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // True when this target carries the command (and has carried it out).
    virtual bool OnCommand(int id) = 0;
    // Enabled state when this target carries the command and has a rule for it; otherwise no
    // value (the next target is asked; a command nobody rules on is enabled when carried).
    virtual std::optional<bool> OnUpdateCommand(int id) const {
        (void)id;
        return std::nullopt;
    }
    // True when this target carries the command at all.
    virtual bool Carries(int id) const = 0;
};
