// The instruction sets a test runs the vector kernels on: every one that the
// build compiled and this processor supports, one after another.
#pragma once

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <cstdio>

// Runs body() once per such instruction set with the kernels held to it (the
// name passed to body is the set's); afterwards the processor's best again.
// `running` gives the name the kernels report, to check that they follow.
template <class Body, class Running>
void onEveryTarget(const Running& running, const Body& body)
{
    for (const int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        const char* name = hwy::TargetName(target);
        std::printf("kernels on %s\n", name);
        SCOPED_TRACE(name);
        EXPECT_STREQ(running(), name);
        body(name);
    }
    hwy::SetSupportedTargetsForTest(0);
}
