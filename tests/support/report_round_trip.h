// Reads a report back with CapabilitySummary's parser and checks that the
// parse holds exactly what the report says: every line of the report is
// given back by one element of the parsed endpoint and nothing else is, and
// the verdicts agree with the items, and the status the summary gives is the
// one the report's raw lines call for (verdict, failed checks, findings). Any suite that produces reports (the
// scripted machines, the fault and hang sweeps) can call it on each one.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "summary/endpoint.h"

namespace cc::testing {

// The report's lines as the parsed endpoint gives them back, in no
// particular order; empty lines left out.
std::vector<std::string> lines_of(const summary::Endpoint& endpoint);

::testing::AssertionResult report_round_trips(const std::string& report);

}  // namespace cc::testing
