#pragma once
// Clean-up that must happen when a scope ends, also when it ends by an exception: close a file,
// cancel a running command, hide a window. The guard runs its action in its destructor; an
// error of the action itself is swallowed, so the exception that is unwinding the scope (if any)
// reaches the caller unchanged, with its number, source and description.
//
//     QFile file(path);
//     ...
//     CleanupGuard closeFile([&] { file.close(); });                     // always
//     CleanupGuard cancel([&] { conn.Cancel(); }, CleanupWhen::OnError);  // only when unwinding
//
// This replaces the "save the error, clean up, raise the saved error again" pattern.
#include <exception>
#include <functional>
#include <utility>

enum class CleanupWhen { Always, OnError };

template <class Action = std::function<void()>>
class CleanupGuard {
public:
    explicit CleanupGuard(Action action, CleanupWhen when = CleanupWhen::Always)
        : action_(std::move(action)), when_(when), uncaughtAtStart_(std::uncaught_exceptions()) {}
    ~CleanupGuard() {
        if (when_ == CleanupWhen::OnError && std::uncaught_exceptions() <= uncaughtAtStart_) return;
        try {
            action_();
        } catch (...) {
            // The clean-up's own failure must not replace the error that is on its way.
        }
    }
    CleanupGuard(const CleanupGuard&) = delete;
    CleanupGuard& operator=(const CleanupGuard&) = delete;

private:
    Action action_;
    CleanupWhen when_;
    int uncaughtAtStart_;
};

template <class Action>
CleanupGuard(Action) -> CleanupGuard<Action>;
template <class Action>
CleanupGuard(Action, CleanupWhen) -> CleanupGuard<Action>;
