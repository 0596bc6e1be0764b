#include "core/event_bus.h"

#include <algorithm>

namespace q3 {

EventBus::Subscription& EventBus::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        end();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

void EventBus::Subscription::end()
{
    if (const std::shared_ptr<Entry> entry = entry_.lock())
        entry->listener = nullptr;
    entry_.reset();
}

EventBus::Subscription EventBus::subscribe(StageListener& listener)
{
    // Ended subscriptions are dropped here, never while an event is being handed out.
    if (!publishing_)
        std::erase_if(entries_,
                      [](const std::shared_ptr<Entry>& e) { return e->listener == nullptr; });
    entries_.push_back(std::make_shared<Entry>(Entry{&listener}));
    return Subscription(entries_.back());
}

bool EventBus::followed() const
{
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const std::shared_ptr<Entry>& e) { return e->listener != nullptr; });
}

void EventBus::publish(const Event& event) const
{
    // By index: a listener may subscribe another while it handles the event.
    publishing_ = true;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (StageListener* listener = entries_[i]->listener)
            listener->onEvent(event);
    publishing_ = false;
}

void EventBus::handOverTo(EventBus& to)
{
    to.entries_.insert(to.entries_.end(), entries_.begin(), entries_.end());
    entries_.clear();
}

} // namespace q3
