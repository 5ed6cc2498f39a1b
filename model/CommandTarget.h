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

// How a target of type T carries one command out: what it does, whether it is offered now
// (null: whenever the target is asked), and its enabling rule (null: none of its own). One
// such handler per command replaces the target's three switches over the command ids.
template <class T>
struct TCommandHandler {
    void (*run)(T& target, int id) = nullptr;
    bool (*offered)(const T& target, int id) = nullptr;
    bool (*enabled)(const T& target, int id) = nullptr;
};

// A command target answered from its handlers. T derives from TCommandCarrier<T> and says
// where its handler of a command is.
template <class T>
class TCommandCarrier : public ICommandTarget {
public:
    bool Carries(int id) const override {
        const TCommandHandler<T>* h = HandlerOf(id);
        return h && h->run && (!h->offered || h->offered(Self(), id));
    }
    std::optional<bool> OnUpdateCommand(int id) const override {
        const TCommandHandler<T>* h = HandlerOf(id);
        if (!Carries(id) || !h->enabled)
            return std::nullopt;
        return h->enabled(Self(), id);
    }
    bool OnCommand(int id) override {
        if (!Carries(id))
            return false;
        const TCommandHandler<T>* h = HandlerOf(id);
        // The toolbar may be a step behind the state: a command whose rule says no does nothing.
        if (!h->enabled || h->enabled(Self(), id))
            h->run(static_cast<T&>(*this), id);
        return true;
    }

protected:
    // The handler of the command for this target, or null.
    virtual const TCommandHandler<T>* HandlerOf(int id) const = 0;

private:
    const T& Self() const { return static_cast<const T&>(*this); }
};
