#include "summary/endpoint_status.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "gpu/driver_update.h"
#include "gpu/support_policy.h"
#include "report/report_texts.h"

namespace cc::summary {
namespace {

const char* const kNames[kStatusCount] = {
    "encodes in hardware (GPU)", "encodes in hardware (camera only)",
    "would encode after a driver update", "cannot encode in hardware", "unknown"};

bool has(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool starts(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A message line as kept ("*** Error: text"): its text.
std::string message_text(const std::string& kept) {
  const std::string level = std::string(texts::kLevelError) + texts::kLevelSeparator;
  const std::size_t at = kept.find(level);
  return at == std::string::npos ? kept : kept.substr(at + level.size());
}

struct Vendor {
  const char* reason_start;             // as the support policy's reasons begin
  std::vector<std::string_view> words;  // as adapter names spell the vendor, in lower case
};

const std::vector<Vendor>& vendors() {
  static const std::vector<Vendor> list = {
      {texts::kPolicyIntel, {"intel"}},
      {texts::kPolicyAmd, {"amd", "radeon", "ati "}},
      {texts::kPolicyNvidiaRefused, {"nvidia", "geforce", "quadro"}}};
  return list;
}

// Whether `word` (lower case) is in `text`, whatever the case of its letters.
bool contains_folded(std::string_view text, std::string_view word) {
  if (word.size() > text.size())
    return false;
  for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < word.size() &&
           std::tolower(static_cast<unsigned char>(text[at + i])) == word[i])
      ++i;
    if (i == word.size())
      return true;
  }
  return false;
}

// The known vendor of an adapter, by its name; null for any other.
const Vendor* vendor_of_adapter(const Adapter& adapter) {
  for (const Vendor& vendor : vendors())
    for (std::string_view word : vendor.words)
      if (contains_folded(adapter.name, word))
        return &vendor;
  return nullptr;
}

}  // namespace

std::vector<const Adapter*> adapters_of(const std::string& reason,
                                        const std::vector<Adapter>& all) {
  // Reasons begin with the vendor's word ("Intel graphics card ...").
  auto same_vendor = [&reason](std::string_view policy_text) {
    const std::string_view word = policy_text.substr(0, policy_text.find(' ') + 1);
    return reason.compare(0, word.size(), word) == 0;
  };
  const Vendor* named = nullptr;
  for (const Vendor& vendor : vendors())
    if (same_vendor(vendor.reason_start))
      named = &vendor;
  const bool any_vendor = !named && !same_vendor(texts::kPolicyUnknownVendor);
  std::vector<const Adapter*> matching;
  for (const Adapter& adapter : all)
    if (!any_vendor && vendor_of_adapter(adapter) == named)
      matching.push_back(&adapter);
  if (matching.empty())
    for (const Adapter& adapter : all)
      matching.push_back(&adapter);
  return matching;
}

namespace {

bool any_supported(const Endpoint& e) {
  return std::any_of(e.encoders.begin(), e.encoders.end(),
                     [](const Encoder& x) { return x.supported; });
}

// What a driver update offers, as the action words it.
struct Update {
  bool lowest = false;        // some later version is accepted
  std::string closed_series;  // DriverAdvice's
  std::string versions;       // DriverAdvice::versions_text()
};

// The policy's answers for one fleet repeat a handful of driver versions
// over and over: each is asked once. Bounded, in case a fleet has no end of
// distinct versions.
class PolicyAnswers {
 public:
  bool accepted(const std::string& vendor_id, const std::string& driver, WindowsCase windows) {
    const std::string& key = key_of(vendor_id, driver, windows);
    auto it = accepted_.find(key);
    if (it != accepted_.end())
      return it->second;
    const bool amd = amd_vendor_ids.count(vendor_id) != 0;
    const bool answer =
        driver_accepted(vendor_id, amd ? *amd_windows7_device_ids.begin() : "", driver, windows);
    return keep(accepted_, key, answer);
  }
  // The advice, kept with its text. Valid until the next question.
  const Update& update(const std::string& vendor_id,
                       const std::string& driver,
                       WindowsCase windows) {
    const std::string& key = key_of(vendor_id, driver, windows);
    auto it = updates_.find(key);
    if (it != updates_.end())
      return it->second;
    const DriverAdvice advice = driver_advice(vendor_id, "", driver, windows);
    return keep(updates_, key,
                Update{advice.lowest.has_value(), advice.closed_series, advice.versions_text()});
  }

 private:
  // Built in one string kept from question to question: most questions are
  // answered from the maps, and asking them should not allocate.
  const std::string& key_of(const std::string& vendor_id,
                            const std::string& driver,
                            WindowsCase windows) {
    key_.assign(vendor_id).append(1, '|').append(driver).append(1, '|');
    key_.append(1, static_cast<char>('0' + static_cast<int>(windows)));
    return key_;
  }
  template <typename Value>
  static const Value& keep(std::unordered_map<std::string, Value>& map,
                           const std::string& key,
                           Value v) {
    if (map.size() > 4096)
      map.clear();
    return map.emplace(key, std::move(v)).first->second;
  }
  std::string key_;
  std::unordered_map<std::string, bool> accepted_;
  std::unordered_map<std::string, Update> updates_;
};

// One per thread: the summary assesses endpoints on several.
PolicyAnswers& policy_answers() {
  static thread_local PolicyAnswers answers;
  return answers;
}

// The device-ID rule that AMD's entries of the support list add in that case.
const char* amd_device_rule(WindowsCase windows) {
  return windows == WindowsCase::kWindows7
             ? " (AMD also checks the device ID: on Windows 7 only the devices on its list are "
               "accepted)"
             : " (AMD also checks the device ID: on Windows 8 and later the devices on its "
               "exclusion list are refused)";
}

const char* case_text(WindowsCase windows) {
  return windows == WindowsCase::kWindows7            ? texts::kPolicyOnWindows7
         : windows == WindowsCase::kWindows8OrGreater ? texts::kPolicyOnWindows8
                                                      : "";
}

// What the refusals of one endpoint's encoders leave to do.
struct Steps {
  std::vector<std::string> updates;
  std::vector<std::string> refusals;
  bool unresolved = false;  // a driver refusal whose adapter GPU details do not show
};

void add_once(std::vector<std::string>& list, std::string item) {
  if (std::find(list.begin(), list.end(), item) == list.end())
    list.push_back(std::move(item));
}

std::string update_step(const Adapter& adapter, const Update& advice) {
  const std::string start = "update the driver of " + adapter.name + " from " + adapter.driver;
  if (advice.closed_series.empty())
    return start + " to " + advice.versions;
  // A refused range that ends at the series' last build leaves no update
  // inside the series: only a later one, which the vendor may never ship.
  return start + ": no driver of the " + advice.closed_series + " series is accepted; install " +
         advice.versions + ", if the vendor offers one for this adapter";
}

// What a driver update does for one refusal by driver version: for each
// adapter of its vendor whose driver the policy refuses, the versions that
// lift the refusal, unless the fleet shows that model refused by device ID.
void driver_steps(const std::string& reason,
                  const std::vector<Adapter>& adapters,
                  const FleetDevices* fleet,
                  Steps& steps) {
  const bool amd = starts(reason, texts::kPolicyAmd);
  const std::string vendor_id = amd ? *amd_vendor_ids.begin() : *intel_vendor_ids.begin();
  const WindowsCase windows = windows_case_of(reason);
  bool placed = false;
  for (const Adapter* each : adapters_of(reason, adapters)) {
    const Adapter& adapter = *each;
    if (adapter.driver.empty())
      continue;  // no vendor's driver at all: installing one comes first
    if (policy_answers().accepted(vendor_id, adapter.driver, windows))
      continue;  // not the adapter refused by its driver
    const Update& advice = policy_answers().update(vendor_id, adapter.driver, windows);
    if (!advice.lowest)
      continue;
    placed = true;
    const int refused =
        amd && fleet ? fleet->refused_by_device(adapter.name, static_cast<int>(windows)) : 0;
    if (refused > 0)
      add_once(steps.refusals, "the device is not on the support list: " + std::to_string(refused) +
                                   " endpoint" + (refused == 1 ? "" : "s") + " with " +
                                   adapter.name + " showed it refused by device ID (" +
                                   texts::kPolicyAmd + case_text(windows) + texts::kPolicyNotByPid +
                                   ")");
    else
      add_once(steps.updates, update_step(adapter, advice) + (amd ? amd_device_rule(windows) : ""));
  }
  steps.unresolved = steps.unresolved || !placed;
}

// Why no driver helps, for one refusal.
std::string refusal_words(const std::string& reason) {
  if (has(reason, texts::kPolicyNotByPid))
    return "the device is not on the support list (" + reason + ")";
  if (has(reason, texts::kPolicyNotByVid))
    return "the vendor is not on the support list (" + reason + ")";
  if (starts(reason, texts::kNoVideoCardPrefix))
    return "no display adapter of the encoder's vendor (" + reason + ")";
  return reason;
}

std::string joined(const std::vector<std::string>& parts, const char* end) {
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : "; ") + part;
  return text + end;
}

std::string rerun(const std::string& error) {
  return error.empty() ? std::string("re-run the checker")
                       : "re-run the checker; first Error line: " + message_text(error);
}

// " did not answer within " from "%s did not answer within %d seconds!".
std::string after_name(const char* format) {
  const std::string text = format;
  return text.substr(2, text.find('%', 2) - 2);
}

// A stall, a cut at the deadline or a check that never began: the check
// stopped there, so what it would have listed after is missing.
bool stops_check(const std::string& error) {
  static const std::string stops[] = {after_name(texts::kNoAnswerFormat),
                                      after_name(texts::kCutAtDeadlineFormat),
                                      after_name(texts::kNeverBeganFormat)};
  return std::any_of(std::begin(stops), std::end(stops),
                     [&](const std::string& part) { return has(error, part.c_str()); });
}

// Whether the camera section answers that no camera encodes: a probe's
// Error line about one camera leaves the others listed.
bool cameras_answered(const Endpoint& e) {
  return e.camera_error.empty() ||
         ((e.no_cameras || !e.cameras.empty()) && !stops_check(e.camera_error));
}

}  // namespace

const char* status_name(Status status) {
  return kNames[static_cast<int>(status)];
}

void FleetDevices::see(const Endpoint& e) {
  std::vector<std::string> seen;
  for (const Encoder& encoder : e.encoders) {
    const std::string& reason = encoder.reason;
    if (!starts(reason, texts::kPolicyAmd) || !has(reason, texts::kPolicyNotByPid) ||
        std::find(seen.begin(), seen.end(), reason) != seen.end())
      continue;
    seen.push_back(reason);
    // The refused device is the one whose driver passed; with two models
    // of the vendor that passed, the report does not say which one it was.
    const WindowsCase windows = windows_case_of(reason);
    std::vector<std::string> names;
    for (const Adapter* adapter : adapters_of(reason, e.adapters))
      if (!adapter->driver.empty() &&
          policy_answers().accepted(*amd_vendor_ids.begin(), adapter->driver, windows))
        add_once(names, adapter->name);
    if (names.size() == 1)
      ++refused_[{names[0], static_cast<int>(windows)}];
  }
}

int FleetDevices::refused_by_device(const std::string& adapter, int windows) const {
  const auto it = refused_.find({adapter, windows});
  return it == refused_.end() ? 0 : it->second;
}

std::string blocker_reason(const std::string& reason,
                           const std::vector<Adapter>& adapters,
                           const FleetDevices* fleet) {
  if (!fleet || !starts(reason, texts::kPolicyAmd) || !has(reason, texts::kPolicyNotByDriver))
    return reason;
  const WindowsCase windows = windows_case_of(reason);
  bool refused = false;
  for (const Adapter* each : adapters_of(reason, adapters)) {
    const Adapter& adapter = *each;
    if (adapter.driver.empty() ||
        policy_answers().accepted(*amd_vendor_ids.begin(), adapter.driver, windows))
      continue;
    if (fleet->refused_by_device(adapter.name, static_cast<int>(windows)) == 0)
      return reason;  // its driver update stands
    refused = true;
  }
  return refused ? std::string(texts::kPolicyAmd) + case_text(windows) + texts::kPolicyNotByPid
                 : reason;
}

bool waits_for_fleet(const Endpoint& e) {
  return std::any_of(e.encoders.begin(), e.encoders.end(), [](const Encoder& x) {
    return starts(x.reason, texts::kPolicyAmd) && has(x.reason, texts::kPolicyNotByDriver);
  });
}

bool lacks_vendor_driver(const Endpoint& e) {
  return std::any_of(e.adapters.begin(), e.adapters.end(), [](const Adapter& a) {
    return a.driver.empty() || a.name == kBasicDisplayAdapter;
  });
}

const std::string& deciding_error(const Endpoint& e) {
  static const std::string none;
  if (!e.checks_ran)
    return e.header_error;
  if (!e.encoding_error.empty())
    return e.encoding_error;
  return cameras_answered(e) ? none : e.camera_error;
}

// A driver update is a finding whatever failed besides: the encoder it
// names encodes once the driver is in. "Cannot" is a finding only where
// every encoder and camera was judged.
Assessment assess_gpu(const Endpoint& e, const FleetDevices* fleet) {
  if (any_supported(e))
    return {Status::kHardwareGpu, {}};
  Steps steps;
  for (const Encoder& encoder : e.encoders) {
    if (has(encoder.reason, texts::kPolicyNotByDriver))
      driver_steps(encoder.reason, e.adapters, fleet, steps);
    else if (!encoder.reason.empty())
      add_once(steps.refusals, refusal_words(encoder.reason));
  }
  if (!steps.updates.empty())
    return {Status::kDriverUpdate, joined(steps.updates, "")};
  // Without its vendor's driver an adapter shows neither its encoder nor
  // a driver the support list knows.
  if (lacks_vendor_driver(e))
    return {Status::kUnknown, kInstallVendorDriver};
  if (!e.encoding_error.empty() || !cameras_answered(e))
    return {Status::kUnknown, rerun(deciding_error(e))};
  const bool judged = !steps.refusals.empty() || (e.no_encoders && e.encoders.empty());
  if (steps.unresolved || !judged)
    return {Status::kUnknown, rerun({})};
  if (steps.refusals.empty())
    return {Status::kCannot, "no hardware H.264 encoder: no driver fixes it"};
  return {Status::kCannot, joined(steps.refusals, ": no driver fixes it")};
}

// The verdict lines are the checker's own conclusion from its flags; a
// hardware verdict stands whatever failed besides (flags only ever rise).
// Below it, the sections that decide the status are read.
Assessment assess(const Endpoint& e, const FleetDevices* fleet) {
  if (e.encoding == texts::kVerdictOnboard)
    return {Status::kHardwareGpu, {}};
  if (e.encoding == texts::kVerdictCameraUvc15 || e.encoding == texts::kVerdictCameraUvc11) {
    if (any_supported(e))
      return {Status::kHardwareGpu, {}};
    // Cameras move between desks; the GPU stays.
    return {Status::kHardwareCamera,
            std::string(kThroughCamera) + "; for the GPU: " + assess_gpu(e, fleet).action};
  }
  if (!e.emulated_build.empty())
    return {Status::kUnknown, "run the ARM64 build"};
  if (!e.checks_ran)
    return {Status::kUnknown, rerun(e.header_error)};
  Assessment assessment = assess_gpu(e, fleet);
  // A stall in COM's start or end after every section was written: the
  // sections hold their answers, and the stall comes back on every run.
  if (!e.header_error.empty() && !assessment.action.empty())
    assessment.action += "; look into the stall: " + message_text(e.header_error);
  return assessment;
}

}  // namespace cc::summary
