#include "summary/fleet.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "report/report_texts.h"

namespace cc::summary {
namespace {

std::string lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct Vendor {
  const char* reason_start;        // as the support policy's reasons begin
  std::vector<std::string> words;  // as adapter names spell the vendor
};

const std::vector<Vendor>& vendors() {
  static const std::vector<Vendor> list = {{"intel", {"intel"}},
                                           {"amd", {"amd", "radeon", "ati "}},
                                           {"nvidia", {"nvidia", "geforce", "quadro"}}};
  return list;
}

// The known vendor of an adapter, by its name; null for any other.
const Vendor* vendor_of_adapter(const Adapter& adapter) {
  const std::string name = lower(adapter.name);
  for (const Vendor& vendor : vendors())
    for (const std::string& word : vendor.words)
      if (name.find(word) != std::string::npos)
        return &vendor;
  return nullptr;
}

// The adapters a refusal is about: those of the vendor it names, those of no
// known vendor for an unknown one, and all where that finds none.
std::vector<Adapter> adapters_for(const std::string& reason, const std::vector<Adapter>& all) {
  const std::string r = lower(reason);
  const Vendor* named = nullptr;
  for (const Vendor& vendor : vendors())
    if (r.rfind(vendor.reason_start, 0) == 0)
      named = &vendor;
  const bool unknown = r.rfind("unknown vendor", 0) == 0;
  if (!named && !unknown)
    return all;
  std::vector<Adapter> matching;
  for (const Adapter& adapter : all)
    if (vendor_of_adapter(adapter) == named)
      matching.push_back(adapter);
  return matching.empty() ? all : matching;
}

bool encodes_in_hardware(const Endpoint& e) {
  return e.encoding == texts::kVerdictOnboard || e.encoding == texts::kVerdictCameraUvc15 ||
         e.encoding == texts::kVerdictCameraUvc11;
}

}  // namespace

std::string verdict_name(const std::string& verdict_text) {
  const std::string indent = texts::kOsIndent;  // verdicts share the "\t " indent
  return verdict_text.rfind(indent, 0) == 0 ? verdict_text.substr(indent.size()) : verdict_text;
}

std::vector<BlockerHit> blockers_of(const Endpoint& e) {
  std::vector<BlockerHit> hits;
  if (encodes_in_hardware(e))
    return hits;
  std::set<std::string> seen;
  for (const Encoder& encoder : e.encoders)
    if (!encoder.reason.empty() && seen.insert(encoder.reason).second)
      hits.push_back({encoder.reason, adapters_for(encoder.reason, e.adapters)});
  const bool any_usable = std::any_of(e.encoders.begin(), e.encoders.end(), [](const Encoder& x) {
    return x.supported || !x.reason.empty();
  });
  if (e.encoders.empty())
    hits.push_back({kBlockerNoEncoder, e.adapters});
  else if (!any_usable)
    hits.push_back({kBlockerEncoderUnusable, e.adapters});
  std::vector<Adapter> c920;
  for (const Camera& camera : e.cameras)
    if (camera.c920_note)
      c920.push_back({camera.name, {}});
  if (!c920.empty())
    hits.push_back({kBlockerC920, c920});
  return hits;
}

void FleetTotals::add(const Endpoint& e) {
  ++endpoints_;
  with_errors_ += e.errors.empty() ? 0 : 1;
  ++encoding_[verdict_name(e.encoding)];
  ++decoding_[verdict_name(e.decoding)];
  for (const BlockerHit& hit : blockers_of(e)) {
    Blocker& blocker = blockers_[hit.reason];
    blocker.reason = hit.reason;
    ++blocker.endpoints;
    std::set<std::string> names, drivers;
    for (const Adapter& device : hit.devices) {
      names.insert(device.name);
      if (!device.driver.empty())
        drivers.insert(device.driver);
    }
    for (const std::string& name : names)
      ++blocker.adapters[name];
    for (const std::string& driver : drivers)
      ++blocker.drivers[driver];
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
