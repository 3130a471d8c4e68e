// The fixed texts of the report, defined once: the checker writes them and
// CapabilitySummary reads them back, so the two cannot drift apart. Texts
// carry no line end; writers add '\n' where a line ends.
#pragma once

namespace cc::texts {

// Frame.
inline constexpr char kBanner[] = "Capability Checker v";
inline constexpr char kEncodingLabel[] = "H.264 Encoding: ";
inline constexpr char kDecodingLabel[] = "H.264 Decoding: ";
inline constexpr char kEndpointOs[] = "Endpoint OS";
inline constexpr char kOsIndent[] = "\t ";
// The pause's prompt as the checker writes it after the report (the
// platform's own pause writes its own, localized).
inline constexpr char kPausePrompt[] = "Press any key to continue . . . ";

// Verdicts: the text after the label.
inline constexpr char kVerdictCameraUvc15[] = "\t Camera ( UVC 1.5 )";
inline constexpr char kVerdictCameraUvc11[] = "\t Camera ( UVC 1.1 )";
inline constexpr char kVerdictSoftware[] = "\t Software";
inline constexpr char kVerdictOnboard[] = "\t Onboard hardware";
inline constexpr char kVerdictSoftwareDriver[] = "\t Software*";
inline constexpr char kVerdictFootnote[] =
    "\t *Onboard encoding is supported by the GPU but a supported GPU driver version is not "
    "installed";

// Section headings.
inline constexpr char kDecodingHeading[] = "On-board GPU H.264 Decoding Capabilities:";
inline constexpr char kGpuDetailsHeading[] = "GPU details:";
inline constexpr char kEncodingHeading[] = "On-board GPU H.264 Encoding Capabilities:";
inline constexpr char kCameraHeading[] = "Camera Built-in H.264 Encoding Details:";

// Message lines: prefix, level, separator, text.
inline constexpr char kMessagePrefix[] = "\t\t*** ";
inline constexpr char kLevelError[] = "Error";
inline constexpr char kLevelInfo[] = "Info";
inline constexpr char kLevelSeparator[] = ": ";

// Guard lines, written by run_guarded with the guarded operation's name.
inline constexpr char kGuardComError[] = "%s catch com error: %s. Description: %s. LastError: %d";
inline constexpr char kGuardStdException[] = "%s catch std::exception: %s. LastError: %d";
inline constexpr char kGuardUndefined[] = "%s catch undefined exception! LastError: %d";
// The Error line that stands in for the rest of a check given up on, filled
// with the innermost guarded step that was running and the limit in seconds.
inline constexpr char kNoAnswerFormat[] = "%s did not answer within %d seconds!";
// The Error line of a check that still moved when the run's deadline came,
// filled with the innermost guarded step and the deadline in seconds: slow,
// not stuck.
inline constexpr char kCutAtDeadlineFormat[] = "%s was still running at the deadline of %d seconds!";
// The Error line of a check that never began because an earlier check did not
// answer and held the way (a driver stuck inside the loader), filled with the
// check's own name.
inline constexpr char kNeverBeganFormat[] = "%s did not begin: an earlier check did not answer!";
// The steps that kNoAnswerFormat names when COM's start or end on a thread
// that runs checks does not answer; the line stands after the banner.
inline constexpr char kComStartStep[] = "CoInitialize";
inline constexpr char kComEndStep[] = "CoUninitialize";
inline constexpr char kComInitFailed[] = "%s: failed to intialized COM, error = %s";

// Decoding section: "\t" name and one of the results.
inline constexpr char kUnknownGpuName[] = "<Unknown GPU name>";
inline constexpr char kDecodeSupported[] = " - Supported";
inline constexpr char kDecodeNoHardware[] = " - No video decoding hardware";
inline constexpr char kDecodeNoSuitableH264[] = " - No suitable H.264 hardware decoding";
inline constexpr char kGpuNameErrorPrefix[] = "\t<Error: Couldn't define GPU name. Error: ";
inline constexpr char kGpuNameErrorSuffix[] = ">";

// GPU details section: one block per adapter, then an empty line.
inline constexpr char kAdapterName[] = "\tName=";
inline constexpr char kAdapterDriver[] = "\tDriver=";

// Encoding section.
inline constexpr char kNoEncoders[] = "\tThere are no hardware H.264 encoders";
// The Info line that opens the section when an x64 or x86 build runs emulated
// on an ARM64 machine, filled with the build's own machine ("x64", "x86"):
// such a build cannot load the vendor's ARM64 encoder DLLs.
inline constexpr char kEmulatedOnArm64Format[] =
    "This %s build runs emulated on an ARM64 machine; the ARM64 build sees the machine's own "
    "hardware encoders";
inline constexpr char kUnknownEncoderName[] = "<Unknown device name>";
inline constexpr char kEncoderSupported[] = " - Supported";
inline constexpr char kEncoderNotSupported[] = " - Not supported";
// The guard around an encoder's feature probe: the one step whose lines
// follow the encoder's own line.
inline constexpr char kFeatureProbeStep[] = "check_codec_capabilities";
inline constexpr char kResolutions[] = "\t\tSupports output resolutions: ";
inline constexpr char kNoLowLatency[] =
    "Low latency mode is not supported (supported only from Windows 8 with a proper driver "
    "version)";
inline constexpr char kNoMaxRefFrames[] =
    "Reference frame number configuration is not supported (supported only from Windows 8.1 "
    "with a proper driver version)";
inline constexpr char kNoTemporalScalability[] = "Temporal scalability is not supported";
inline constexpr char kLayersNotConfigurable[] = "Temporal layers count is not configurable";

// Support-policy reasons, written as the Info line after " - Not supported":
// the vendor, the operating-system case that applied, what was refused.
inline constexpr char kPolicyAmd[] = "AMD graphics card";
inline constexpr char kPolicyIntel[] = "Intel graphics card";
inline constexpr char kPolicyNvidiaRefused[] = "NVIDIA graphics card not supported by VID";
inline constexpr char kPolicyUnknownVendor[] = "Unknown vendor graphics card not supported by VID";
inline constexpr char kPolicyOnWindows8[] = " on Windows 8 or greater";
inline constexpr char kPolicyOnWindows7[] = " on Windows 7";
inline constexpr char kPolicyNotByDriver[] = " not supported by driver version";
inline constexpr char kPolicyNotByPid[] = " not supported by PID";
inline constexpr char kPolicyNotByVid[] = " not supported by VID";
// No display adapter has the encoder's vendor ID: prefix, vendor ID, suffix.
inline constexpr char kNoVideoCardPrefix[] = "Can't find video card ( [";
inline constexpr char kNoVideoCardSuffix[] = "] vendor )";

// Camera section: "\t" name and whether it encodes, then the two UVC lines.
inline constexpr char kNoCameras[] = "\tThere are no video capture devices";
inline constexpr char kUnknownCamera[] = "<Unknown camera>";
inline constexpr char kCameraHasH264[] = " - Has built-in H.264 encoding";
inline constexpr char kCameraNoH264[] = " - Does not have built-in H.264 encoding";
inline constexpr char kUvc15Line[] = "\t\tUVC 1.5 acceleration is ";
inline constexpr char kUvc11Line[] = "\t\tUVC 1.1 acceleration is ";
inline constexpr char kUvcNot[] = "not ";
inline constexpr char kUvcSupported[] = "supported";
inline constexpr char kC920Note[] =
    "\t\tThe Logitech C920 camera can be enabled for UVC 1.1 with the correct drivers installed "
    "and a registry key change. See release notes for details.";
inline constexpr char kNoConstantBitrate[] = "Constant Bitrate Mode is not supported";
// Written as lines of their own, without indent or level.
inline constexpr char kUcConfigNotConfigurable[] = "UCConfig mode is not configurable";
inline constexpr char kCameraNoTemporalScalability[] = "Temporal scalability is not supported";

}  // namespace cc::texts
