#include "summary/fleet.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "report/report_texts.h"

namespace cc::summary {
namespace {

// Reads a run of digits as a number; pos moves past it.
unsigned long long number_at(const std::string& text, std::size_t& pos) {
  unsigned long long value = 0;
  for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos)
    value = value < 1000000000000ULL ? value * 10 + (text[pos] - '0') : value;
  return value;
}

std::vector<Adapter> c920_cameras(const Endpoint& e) {
  std::vector<Adapter> c920;
  for (const Camera& camera : e.cameras)
    if (camera.c920_note)
      c920.push_back({camera.name, {}});
  return c920;
}

// Why the report cannot answer.
const char* failure_blocker(const Endpoint& e) {
  if (!e.emulated_build.empty())
    return kBlockerEmulated;
  if (lacks_vendor_driver(e))
    return kBlockerNoVendorDriver;
  const std::string& error = deciding_error(e);
  for (const auto& [format, blocker] :
       {std::make_pair(texts::kCutAtDeadlineFormat, kBlockerCutAtDeadline),
        std::make_pair(texts::kNeverBeganFormat, kBlockerNeverBegan)}) {
    const std::string text = format;
    if (error.find(text.substr(2, text.find('%', 2) - 2)) != std::string::npos)
      return blocker;
  }
  const bool none_probed = !e.encoders.empty() &&
                           std::none_of(e.encoders.begin(), e.encoders.end(), [](const Encoder& x) {
                             return x.supported || !x.reason.empty();
                           });
  return none_probed ? kBlockerEncoderSetup : kBlockerCheckFailed;
}

}  // namespace

bool VersionOrder::operator()(const std::string& a, const std::string& b) const {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = std::isdigit(static_cast<unsigned char>(a[i]));
    const bool db = std::isdigit(static_cast<unsigned char>(b[j]));
    if (da && db) {
      const std::size_t i0 = i, j0 = j;
      const unsigned long long x = number_at(a, i), y = number_at(b, j);
      if (x != y)
        return x < y;
      if (i - i0 != j - j0)
        return i - i0 < j - j0;  // "01" after "1": distinct texts stay distinct
    } else {
      if (a[i] != b[j])
        return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i, ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::string_view verdict_name(const std::string& verdict_text) {
  const std::string_view indent = texts::kOsIndent;  // verdicts share the "\t " indent
  const std::string_view text = verdict_text;
  return text.substr(0, indent.size()) == indent ? text.substr(indent.size()) : text;
}

Status status_of(const Endpoint& e) {
  return e.status != kNotAssessed ? static_cast<Status>(e.status) : assess(e).status;
}

std::vector<BlockerHit> blockers_of(const Endpoint& e, const FleetDevices* fleet) {
  std::vector<BlockerHit> hits;
  Status status = status_of(e);
  const bool camera = status == Status::kHardwareCamera;
  if (camera)
    status = assess_gpu(e, fleet).status;  // the GPU's own story
  if (status == Status::kHardwareGpu)
    return hits;
  if (status == Status::kUnknown) {
    hits.push_back({failure_blocker(e), e.adapters});
  } else {
    std::set<std::string> seen;
    for (const Encoder& encoder : e.encoders) {
      const std::string reason = blocker_reason(encoder.reason, e.adapters, fleet);
      if (reason.empty() || !seen.insert(reason).second)
        continue;
      BlockerHit& hit = hits.emplace_back(BlockerHit{reason, {}});
      for (const Adapter* adapter : adapters_of(reason, e.adapters))
        hit.devices.push_back(*adapter);
    }
    if (e.no_encoders)
      hits.push_back({kBlockerNoEncoder, e.adapters});
  }
  std::vector<Adapter> c920 = camera ? std::vector<Adapter>{} : c920_cameras(e);
  if (!c920.empty())
    hits.push_back({kBlockerC920, std::move(c920)});
  return hits;
}

bool newer_checker(const std::string& version) {
  return VersionOrder()(kKnownCheckerVersion, version);
}

std::string FleetTotals::headline() const {
  const int hardware = with_status(Status::kHardwareGpu) + with_status(Status::kHardwareCamera);
  // Cut, not rounded: 399 of 400 must not read as 100%.
  const long long tenths = endpoints_ ? hardware * 1000LL / endpoints_ : 0;
  std::string percent = std::to_string(tenths / 10);
  if (tenths % 10)
    percent += "." + std::to_string(tenths % 10);
  return std::to_string(hardware) + " of " + std::to_string(endpoints_) + " endpoints (" + percent +
         "%) encode H.264 in hardware; " + std::to_string(with_status(Status::kDriverUpdate)) +
         " more would after a driver update; " + std::to_string(with_status(Status::kCannot)) +
         " cannot; " + std::to_string(with_status(Status::kUnknown)) + " unknown";
}

void FleetTotals::add(const Endpoint& e) {
  add(e, blockers_of(e));
}

void FleetTotals::add(const Endpoint& e, const std::vector<BlockerHit>& blockers) {
  ++endpoints_;
  with_errors_ += e.errors.empty() ? 0 : 1;
  ++statuses_[static_cast<int>(status_of(e))];
  if (e.status == kNotAssessed) {
    const std::string action = assess(e).action;
    if (!action.empty())
      ++actions_[action];
  } else if (!e.action.empty()) {
    ++actions_[e.action];
  }
  ++versions_[e.checker_version];
  ++encoding_[std::string(verdict_name(e.encoding))];
  ++decoding_[std::string(verdict_name(e.decoding))];
  for (const BlockerHit& hit : blockers) {
    Blocker& blocker = blockers_[hit.reason];
    blocker.reason = hit.reason;
    ++blocker.endpoints;
    // Each model and driver once per endpoint; an endpoint has few adapters.
    const std::vector<Adapter>& devices = hit.devices;
    for (auto device = devices.begin(); device != devices.end(); ++device) {
      auto same_name = [&](const Adapter& other) { return other.name == device->name; };
      if (std::none_of(devices.begin(), device, same_name))
        ++blocker.adapters[device->name];
      auto same_driver = [&](const Adapter& other) {
        return !VersionOrder()(other.driver, device->driver) &&
               !VersionOrder()(device->driver, other.driver);
      };
      if (!device->driver.empty() && std::none_of(devices.begin(), device, same_driver))
        ++blocker.drivers[device->driver];
    }
  }
}

std::vector<std::pair<std::string, int>> FleetTotals::ranked(
    const std::map<std::string, int>& counts) {
  std::vector<std::pair<std::string, int>> list(counts.begin(), counts.end());
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return list;
}

std::vector<Blocker> FleetTotals::blockers() const {
  std::vector<Blocker> list;
  for (const auto& entry : blockers_)
    list.push_back(entry.second);
  std::stable_sort(list.begin(), list.end(),
                   [](const Blocker& a, const Blocker& b) { return a.endpoints > b.endpoints; });
  return list;
}

}  // namespace cc::summary
