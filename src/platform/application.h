#pragma once

// The running application and its delegate. Lower layers reach what the delegate owns (the
// store, for one) through interfaces they define themselves and the delegate implements.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
};

class Application {
public:
    static Application& shared();

    // Not owned; whoever installs a delegate removes it before it goes away.
    ApplicationDelegate* delegate() const { return delegate_; }
    void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }

private:
    Application() = default;
    ApplicationDelegate* delegate_ = nullptr;
};
