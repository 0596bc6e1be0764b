#pragma once

#include "core/event.h"

#include <memory>
#include <vector>

namespace q3 {

// Receives every event of the stage as it happens.
class StageListener
{
public:
    StageListener() = default;
    StageListener(const StageListener&) = delete;
    StageListener& operator=(const StageListener&) = delete;
    virtual ~StageListener() = default;
    virtual void onEvent(const Event& event) = 0;
};

// Hands every event of the stage to whoever follows it, in the order they subscribed. A
// subscription is owned by the one who took it: it ends when its handle is destroyed, so no
// listener is ever called after it is gone, whichever of the two goes first.
class EventBus
{
    struct Entry
    {
        StageListener* listener = nullptr;
    };

public:
    class Subscription
    {
    public:
        Subscription() = default;
        Subscription(Subscription&&) noexcept = default;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { end(); }

        void end();

    private:
        friend class EventBus;
        explicit Subscription(std::weak_ptr<Entry> entry) : entry_(std::move(entry)) {}
        std::weak_ptr<Entry> entry_;
    };

    [[nodiscard]] Subscription subscribe(StageListener& listener);

    // Whether anyone follows: events are only put together when someone will read them.
    [[nodiscard]] bool followed() const;
    void publish(const Event& event) const;
    // Every follower of this bus follows `to` from now on, after its own; their subscriptions
    // hold. For a stage that takes another's place.
    void handOverTo(EventBus& to);
    // Publishes the event `make()` returns, building it only if anyone follows.
    template <typename Make> void publishIfFollowed(Make&& make) const
    {
        if (followed())
            publish(make());
    }

private:
    std::vector<std::shared_ptr<Entry>> entries_;
    mutable bool publishing_ = false;
};

} // namespace q3
