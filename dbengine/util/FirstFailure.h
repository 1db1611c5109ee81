#pragma once
// Runs a sequence of clean-up steps to the end even when some fail, keeping the first failure.

#include <exception>
#include <utility>

namespace dbengine {

class TFirstFailure {
public:
    template <typename F>
    void Run(F&& step) {
        try {
            std::forward<F>(step)();
        } catch (...) {
            if (!Failure) Failure = std::current_exception();
        }
    }
    void RaiseIfAny() {
        if (Failure) std::rethrow_exception(Failure);
    }

private:
    std::exception_ptr Failure;
};

}  // namespace dbengine
