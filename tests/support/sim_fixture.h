// Every tuner test starts from the expected tuner on a fresh simulated platform and ends by
// proving that every object it obtained was released exactly once.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "display/display.h"
#include "platform/tuning/model/test_world.h"
#include "platform/tuning/simulated/scenarios.h"
#include "platform/tuning/simulated/simulated_driver.h"
#include "tuner/tuner.h"

struct Captured {
    std::string out;
    std::string err;
};

// Runs the action with standard output and standard error captured.
Captured capture(const std::function<void()> &action);

// The live objects, one "kind x references" per line; empty when everything was released.
std::string live_report();

// The driver's figures for the next samples, one byte a selector; the upper bytes carry noise
// that must not count.
void answer_level_value(std::uint32_t v);
void answer_error_count(std::uint32_t e);
void answer_cycle_count(std::uint32_t n);

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Brings the tuner graph up with nothing printed; fails the test otherwise.
    void bring_tuner_up();
};

// For tests that call the platform directly: COM is initialised on the test's thread throughout.
class ComApartmentTest : public SimTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
