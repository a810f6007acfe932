#pragma once
// Two pieces of work that share nothing either writes, run at the same time: aside() on a second
// thread while here() runs on the caller's. Returns when both have ended. An error of here() is
// thrown first (after aside() has ended); otherwise an error of aside() is thrown.
#include <exception>
#include <thread>

template <class Aside, class Here>
void RunSideBySide(Aside&& aside, Here&& here) {
    std::exception_ptr asideError;
    std::thread second([&aside, &asideError] {
        try {
            aside();
        } catch (...) {
            asideError = std::current_exception();
        }
    });
    try {
        here();
    } catch (...) {
        second.join();
        throw;
    }
    second.join();
    if (asideError) std::rethrow_exception(asideError);
}
