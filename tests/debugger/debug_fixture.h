// A processor fixture that leaves no breakpoint, watchpoint, step or history behind it.
#pragma once

#include "base/run_inputs.h"
#include "debugger/breakpoints.h"
#include "debugger/history.h"
#include "debugger/stepping.h"
#include "tests/machine/cpu_fixture.h"

namespace orv::test {

class DebugFixture : public CpuFixture {
  protected:
    void SetUp() override {
        CpuFixture::SetUp();
        clear();
    }
    void TearDown() override {
        clear();
        CpuFixture::TearDown();
    }
    static void clear() {
        breakpointRemoveAll(); // the debugger's list, and PAGE_WATCH off the watched pages
        stepCancel();
        debugHooks = DebugHooksRecord{};
        runInputs.debug = 0;
    }

    static int add(PointKind kind, std::uint16_t first, std::uint16_t last, const char* condition = "") {
        std::string message;
        const int id = breakpointAdd(kind, first, last, condition, message);
        EXPECT_NE(id, 0) << message;
        return id;
    }

    // Runs as the machine does while running: not halted, the debug panel hidden.
    static std::uint8_t runFor(std::int32_t budget) {
        runInputs.halted = false;
        std::uint8_t status = 0;
        cpuExecute(budget, status);
        runInputs.halted = true;
        return status;
    }
};

} // namespace orv::test
