#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

#include <gtest/gtest.h>

#include "run/host.h"
#include "run/run_error.h"

namespace dumplog {
namespace {

TEST(PauseTest, SleepsAtLeastWhatItIsAskedFor) {
    const auto start = std::chrono::steady_clock::now();
    interruptible_pause(0.05);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

// In a child process of its own, since the interrupt flag stays set.
TEST(InterruptDeathTest, InterruptDuringThePauseEndsTheRun) {
    EXPECT_EXIT(
        {
            install_interrupt_handlers();
            const pthread_t sleeper = pthread_self();
            std::thread([sleeper] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                pthread_kill(sleeper, SIGINT);
            }).detach();
            try {
                interruptible_pause(5.0);
            } catch (const RunError& error) {
                std::fprintf(stderr, "%s\n", error.reason().c_str());
                std::_Exit(1);
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1), "interrupted by SIGINT");
}

TEST(InterruptDeathTest, SignalBetweenStepsIsNoticedAtTheNextCheck) {
    EXPECT_EXIT(
        {
            install_interrupt_handlers();
            std::raise(SIGQUIT);  // would dump core without the handler
            try {
                throw_if_interrupted();
            } catch (const RunError& error) {
                std::fprintf(stderr, "%s\n", error.reason().c_str());
                std::_Exit(1);
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1), "interrupted by SIGQUIT");
}

}  // namespace
}  // namespace dumplog
