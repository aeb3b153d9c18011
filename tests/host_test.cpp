#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "run/host.h"
#include "test_support.h"

namespace dumplog {
namespace {

// In child processes, since the interrupt flag stays set.
TEST(InterruptTest, EachHandledSignalIsNoticedAndTheFirstOfTwoIsReported) {
    for (const int first : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
        EXPECT_EQ(testing::in_child([first] {
                      install_interrupt_handlers();
                      std::raise(first);  // the default would end the process
                      std::raise(first == SIGINT ? SIGTERM : SIGINT);
                      return testing::error_of(throw_if_interrupted);
                  }),
                  "interrupted by SIG" + std::string(sigabbrev_np(first)));
    }
}

TEST(InterruptTest, PauseSleepsItsTimeAndAnInterruptEndsIt) {
    const auto start = std::chrono::steady_clock::now();
    interruptible_pause(0.05);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

    EXPECT_EQ(testing::in_child([] {
                  install_interrupt_handlers();
                  const pthread_t sleeper = pthread_self();
                  std::thread([sleeper] {
                      std::this_thread::sleep_for(std::chrono::milliseconds(50));
                      pthread_kill(sleeper, SIGINT);
                  }).detach();
                  alarm(2);  // a pause that sleeps on after the interrupt dies of SIGALRM
                  return testing::error_of([] { interruptible_pause(5.0); });
              }),
              "interrupted by SIGINT");
}

}  // namespace
}  // namespace dumplog
