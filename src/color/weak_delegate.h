#pragma once

#include <QObject>
#include <QPointer>

// A delegate reference that never keeps its delegate alive. A delegate that is a QObject is
// tracked and reads as absent once it is destroyed; any other delegate is a plain non-owning
// pointer that its owner clears before it goes away.
template <class Delegate>
class WeakDelegate {
public:
    WeakDelegate() = default;

    void reset(Delegate* delegate) {
        delegate_ = delegate;
        guard_ = delegate ? dynamic_cast<QObject*>(delegate) : nullptr;
        tracked_ = guard_ != nullptr;
    }

    Delegate* get() const {
        if (tracked_ && !guard_) {
            return nullptr;
        }
        return delegate_;
    }

    explicit operator bool() const { return get() != nullptr; }
    Delegate* operator->() const { return get(); }

private:
    Delegate* delegate_ = nullptr;
    QPointer<QObject> guard_;
    bool tracked_ = false;
};
