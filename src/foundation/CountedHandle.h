// A process-wide object that workers reach from any thread and that may end before them.
#pragma once

#include <mutex>

// What does not depend on the object's type: the object reached, and the calls under way into it.
class CountedHandleCore {
public:
    // True while an object is there and has not begun to end.
    explicit operator bool() const;
    // Returns true once the calls under way have ended, false when some are still under way after
    // waitMs. None of them may be waiting for the calling thread.
    bool WaitForCalls(int waitMs) const;
    // Calls into the object under way now.
    int CallsUnderWay() const;

protected:
    constexpr CountedHandleCore() = default;
    // The object with one more call counted, or null (nothing counted) when there is none.
    void* Enter() const;
    void Leave() const;
    void OpenOn(void* target);
    bool Close(const void* target);

private:
    mutable std::mutex lock_;
    void* target_ = nullptr;
    mutable int calls_ = 0; // calls under way into target_, or into the object before it
};

// Workers may outlive the object, so a call through -> is counted for its whole length (to the end
// of the caller's statement), and the object's end waits for the calls under way before it goes.
// Before the object is there and once it has begun to end, a call reaches StandIn() instead.
// Testing the object and calling it are thus one step: no call reaches an object being destroyed.
// The handle has nothing to destroy, so a worker that outlives the program's static objects
// still reaches the stand-in.
template <typename T, T& (*StandIn)()>
class CountedHandle : public CountedHandleCore {
public:
    // One call under way; counted until it is destroyed at the end of the caller's statement.
    class Call {
    public:
        ~Call()
        {
            if (counted_)
                counted_->Leave();
        }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        T* operator->() const { return target_; }

    private:
        friend class CountedHandle;
        Call(T* target, const CountedHandle* counted) : target_(target), counted_(counted) {}
        T* target_;
        const CountedHandle* counted_; // null for the stand-in
    };

    constexpr CountedHandle() = default;

    Call operator->() const
    {
        if (void* target = Enter())
            return Call(static_cast<T*>(target), this);
        return Call(&StandIn(), nullptr);
    }
    // From now on calls reach target.
    void Open(T* target) { OpenOn(target); }
    // Begins the end of target: calls made from now on reach the stand-in. False, and nothing
    // changes, when target is not the one open.
    bool BeginClose(const T* target) { return Close(target); }
};
