// A simulated analyser on a manual clock with a link whose waits step that clock,
// so time-outs run out after a fixed number of polls without sleeping.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/analyser_link.h"
#include "device/simulated_analyser.h"

namespace xmca::test {

struct LinkRig {
    explicit LinkRig(SimulatedAnalyserConfig cfg = {})
        : clock(std::make_shared<ManualClock>()), sim(cfg, clock), link(sim, clock->steppingMs(1.0)) {
        link.pollSleepUs = 0;
    }

    // Opens device 0 and forgets the calls made so far.
    bool open() {
        const int ok = link.OpenDevice(0);
        sim.clearLog();
        return ok == 1;
    }

    std::vector<std::string> callNames() const {
        std::vector<std::string> out;
        for (const auto& c : sim.calls()) out.push_back(c.name);
        return out;
    }

    std::shared_ptr<ManualClock> clock;
    SimulatedAnalyser sim;
    AnalyserLink link;
};

}  // namespace xmca::test
