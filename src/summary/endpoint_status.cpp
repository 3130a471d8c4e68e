#include "summary/endpoint_status.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
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
  static const std::vector<Vendor> list = {
      {texts::kPolicyIntel, {"intel"}},
      {texts::kPolicyAmd, {"amd", "radeon", "ati "}},
      {texts::kPolicyNvidiaRefused, {"nvidia", "geforce", "quadro"}}};
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

bool any_supported(const Endpoint& e) {
  return std::any_of(e.encoders.begin(), e.encoders.end(),
                     [](const Encoder& x) { return x.supported; });
}

// The policy's answers for one fleet repeat a handful of driver versions
// over and over: each is asked once. Bounded, in case a fleet has no end of
// distinct versions.
class PolicyAnswers {
 public:
  bool accepted(const std::string& vendor_id, const std::string& driver, WindowsCase windows) {
    const std::string key = vendor_id + '|' + driver + '|' + char('0' + static_cast<int>(windows));
    auto it = accepted_.find(key);
    if (it != accepted_.end())
      return it->second;
    const bool amd = amd_vendor_ids.count(vendor_id) != 0;
    const bool answer =
        driver_accepted(vendor_id, amd ? *amd_windows7_device_ids.begin() : "", driver, windows);
    return keep(accepted_, key, answer);
  }
  std::optional<std::string> update(const std::string& vendor_id,
                                    const std::string& driver,
                                    WindowsCase windows) {
    const std::string key = vendor_id + '|' + driver + '|' + char('0' + static_cast<int>(windows));
    auto it = updates_.find(key);
    if (it != updates_.end())
      return it->second;
    return keep(updates_, key, lowest_accepted_driver_above(vendor_id, "", driver, windows));
  }

 private:
  template <typename Value>
  static Value keep(std::unordered_map<std::string, Value>& map, const std::string& key, Value v) {
    if (map.size() > 4096)
      map.clear();
    map.emplace(key, v);
    return v;
  }
  std::unordered_map<std::string, bool> accepted_;
  std::unordered_map<std::string, std::optional<std::string>> updates_;
};

// One per thread: the summary assesses endpoints on several.
PolicyAnswers& policy_answers() {
  static thread_local PolicyAnswers answers;
  return answers;
}

// What a driver update does for one refusal by driver version: the adapters
// of its vendor whose driver the policy refuses, each with the version that
// lifts the refusal. Empty when no version above the installed one does.
std::vector<std::string> driver_updates(const std::string& reason,
                                        const std::vector<Adapter>& adapters) {
  const bool amd = starts(reason, texts::kPolicyAmd);
  const std::string vendor_id = amd ? *amd_vendor_ids.begin() : *intel_vendor_ids.begin();
  const WindowsCase windows = windows_case_of(reason);
  std::vector<std::string> steps;
  for (const Adapter& adapter : adapters_for(reason, adapters)) {
    if (policy_answers().accepted(vendor_id, adapter.driver, windows))
      continue;  // not the adapter refused by its driver
    const auto version = policy_answers().update(vendor_id, adapter.driver, windows);
    if (!version)
      continue;
    steps.push_back("update the driver of " + adapter.name + " from " +
                    (adapter.driver.empty() ? std::string("(none)") : adapter.driver) + " to " +
                    *version + " or later" +
                    (amd ? " (AMD also checks the device: its ID must be on the list)" : ""));
  }
  return steps;
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

Assessment assess_refusals(const Endpoint& e) {
  std::vector<std::string> updates, refusals;
  bool unresolved = false;  // a driver refusal whose adapter GPU details do not show
  for (const Encoder& encoder : e.encoders) {
    if (encoder.reason.empty())
      continue;
    std::vector<std::string> steps;
    if (has(encoder.reason, texts::kPolicyNotByDriver))
      steps = driver_updates(encoder.reason, e.adapters);
    for (std::string& step : steps)
      if (std::find(updates.begin(), updates.end(), step) == updates.end())
        updates.push_back(std::move(step));
    if (steps.empty() && has(encoder.reason, texts::kPolicyNotByDriver))
      unresolved = true;
    else if (steps.empty())
      refusals.push_back(refusal_words(encoder.reason));
  }
  auto joined = [](const std::vector<std::string>& parts, const char* end) {
    std::string text;
    for (const std::string& part : parts)
      text += (text.empty() ? "" : "; ") + part;
    return text + end;
  };
  if (!updates.empty())
    return {Status::kDriverUpdate, joined(updates, "")};
  if (!refusals.empty() && !unresolved)
    return {Status::kCannot, joined(refusals, ": no driver fixes it")};
  return {Status::kUnknown, "re-run the checker"};
}

}  // namespace

// The adapters a refusal is about: those of the vendor it names, those of no
// known vendor for an unknown one, and all where that finds none.
std::vector<Adapter> adapters_for(const std::string& reason, const std::vector<Adapter>& all) {
  // Reasons begin with the vendor's word ("Intel graphics card ...").
  auto same_vendor = [&reason](const char* policy_text) {
    const std::string text = policy_text;
    const std::string word = text.substr(0, text.find(' ') + 1);
    return reason.compare(0, word.size(), word) == 0;
  };
  const Vendor* named = nullptr;
  for (const Vendor& vendor : vendors())
    if (same_vendor(vendor.reason_start))
      named = &vendor;
  if (!named && !same_vendor(texts::kPolicyUnknownVendor))
    return all;
  std::vector<Adapter> matching;
  for (const Adapter& adapter : all)
    if (vendor_of_adapter(adapter) == named)
      matching.push_back(adapter);
  return matching.empty() ? all : matching;
}

const char* status_name(Status status) {
  return kNames[static_cast<int>(status)];
}

// The verdict lines are the checker's own conclusion from its flags; a
// hardware verdict stands whatever failed besides (flags only ever rise).
// Below it, any doubt about the check makes the status unknown.
Assessment assess(const Endpoint& e) {
  if (e.encoding == texts::kVerdictOnboard)
    return {Status::kHardwareGpu, {}};
  if (e.encoding == texts::kVerdictCameraUvc15 || e.encoding == texts::kVerdictCameraUvc11)
    return {any_supported(e) ? Status::kHardwareGpu : Status::kHardwareCamera, {}};
  if (!e.emulated_build.empty())
    return {Status::kUnknown, "run the ARM64 build"};
  if (!e.checks_ran || !e.first_check_error.empty())
    return {Status::kUnknown,
            e.first_check_error.empty()
                ? std::string("re-run the checker")
                : "re-run the checker; first Error line: " + message_text(e.first_check_error)};
  if (e.encoding == texts::kVerdictSoftwareDriver)
    return assess_refusals(e);
  if (e.encoding == texts::kVerdictSoftware && e.no_encoders && e.encoders.empty())
    return {Status::kCannot, "no hardware H.264 encoder: no driver fixes it"};
  return {Status::kUnknown, "re-run the checker"};
}

}  // namespace cc::summary
