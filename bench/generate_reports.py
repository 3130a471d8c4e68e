#!/usr/bin/env python3
"""Writes COUNT varied CapabilityChecker reports into DIR, as a fleet's
collection folder would hold them: the verdict combinations, Intel, AMD and
NVIDIA adapters with driver versions old and new, encoders, cameras, Error
lines, CRLF and LF, byte-order marks, console prompts, ANSI (Windows-1252)
names, and every hundredth file not a report.

    generate_reports.py COUNT DIR [--seed N] [--hostile]

--hostile adds one endpoint whose GPU, encoder and camera carry markup.
"""
import argparse
import os
import random

FOOTNOTE = ("\t *Onboard encoding is supported by the GPU but a supported GPU driver "
            "version is not installed")
ADAPTERS = [
    ("Intel(R) HD Graphics 530", "8086", ["20.19.15.4531", "20.19.15.4308", "9.18.10.3222",
                                          "21.20.16.4590"]),
    ("Intel(R) UHD Graphics 620", "8086", ["26.20.100.7262", "8.15.10.2752"]),
    ("AMD Radeon RX 580", "1002", ["16.200.1035.1001", "13.250.0.0", "22.19.162.4"]),
    ("NVIDIA GeForce GTX 1060", "10DE", ["23.21.13.8813", "27.21.14.5671"]),
    ("Caf\xe9 Graphics \u20ac Edition", "1234", ["1.0.0.1"]),
]
REFUSALS = {
    "8086": ["Intel graphics card not supported by driver version",
             "Intel graphics card on Windows 7 not supported by driver version"],
    "1002": ["AMD graphics card on Windows 8 or greater not supported by driver version",
             "AMD graphics card on Windows 7 not supported by PID"],
    "10DE": ["NVIDIA graphics card not supported by VID"],
    "1234": ["Unknown vendor graphics card not supported by VID"],
}
ENCODERS = {"8086": "Intel(R) Quick Sync Video H.264 Encoder MFT",
            "1002": "AMDh264Encoder", "10DE": "NVIDIA H.264 Encoder MFT",
            "1234": "Generic H.264 Encoder"}
SIZES = ["320x180", "424x240", "480x270", "640x360", "800x448", "848x480", "960x540",
         "1024x576", "1280x720", "1600x896", "1920x1080"]
CAMERAS = [("Logitech BRIO", "15"), ("Logitech Webcam C930e", "11"),
           ("Logitech HD Pro Webcam C920", "c920"), ("Integrated Camera", "none")]
OSES = ["Windows 10 Pro", "Windows 10 Enterprise", "Windows 7 Professional",
        "Windows 11 Pro f\u00fcr Workstations"]
ERRORS = ["check_codec_capabilities catch com error: Unknown error 0x80070005. "
          "Description: (null). LastError: 0",
          "check_uvc11_camera_capability catch undefined exception! LastError: 5",
          "check_hardware_encoder_capability did not answer within 30 seconds!",
          "Couldn't create Direct3D device (error = 0x8876086C)!"]


# Markup in a device name: it must stay text, and the image must never load.
HOSTILE = " <script>alert(1)</script><img src=http://summary-canary.invalid/x.png>"


def message(level, text):
    return "\t\t*** %s: %s" % (level, text)


def endpoint(rng, hostile):
    adapters = rng.sample(ADAPTERS, rng.choice([1, 1, 1, 2]))
    cards = [(name + (HOSTILE if hostile else ""), vendor,
              rng.choice(drivers)) for name, vendor, drivers in adapters]
    decoding, encoding, enc_lines = [], [], []
    decodes = supported = usable = False
    for name, vendor, _ in cards:
        result = rng.choice([" - Supported", " - Supported", " - No suitable H.264 hardware decoding",
                             " - No video decoding hardware"])
        decodes |= result == " - Supported"
        decoding.append("\t" + name + result)
        if rng.random() < 0.8:
            enc_lines.append("\t\tSupports output resolutions: " +
                             ", ".join(SIZES[:rng.randint(4, len(SIZES))]))
            name_line = "\t" + ENCODERS[vendor] + ("<b>" if hostile else "")
            if rng.random() < 0.55:
                supported = usable = True
                enc_lines.append(name_line + " - Supported")
            else:
                usable = True
                enc_lines.append(name_line + " - Not supported")
                enc_lines.append(message("Info", rng.choice(REFUSALS[vendor])))
            if rng.random() < 0.3:
                enc_lines.append(message("Info", "Temporal scalability is not supported"))
    if not enc_lines:
        enc_lines.append("\tThere are no hardware H.264 encoders")
    cam_lines, uvc15, uvc11 = [], False, False
    for name, kind in rng.sample(CAMERAS, rng.choice([0, 0, 1, 2])):
        if hostile:
            name += " <img src=x onerror=alert(2)>"
        has = kind != "none"
        if kind == "15":
            cam_lines.append(message("Info", "Constant Bitrate Mode is not supported")) if rng.random() < .1 else None
        cam_lines.append("\t%s - %s built-in H.264 encoding" % (name, "Has" if has else "Does not have"))
        cam_lines.append("\t\tUVC 1.5 acceleration is %ssupported" % ("" if kind == "15" else "not "))
        cam_lines.append("\t\tUVC 1.1 acceleration is %ssupported" % ("" if kind in ("11", "c920") else "not "))
        if kind == "c920":
            cam_lines.append("\t\tThe Logitech C920 camera can be enabled for UVC 1.1 with the correct "
                             "drivers installed and a registry key change. See release notes for details.")
        uvc15 |= kind == "15"
        uvc11 |= kind == "11"
    if not cam_lines:
        cam_lines.append("\tThere are no video capture devices")
    if rng.random() < 0.05:
        cam_lines.append(message("Error", rng.choice(ERRORS)))
    verdict = ["\t Camera ( UVC 1.5 )"] if uvc15 else ["\t Camera ( UVC 1.1 )"] if uvc11 else \
        ["\t Onboard hardware"] if supported else ["\t Software*", FOOTNOTE] if usable else ["\t Software"]
    lines = ["Capability Checker v2.4.0.1233", "", "H.264 Encoding: " + verdict[0]] + verdict[1:]
    lines += ["H.264 Decoding: " + ("\t Onboard hardware" if decodes else "\t Software"), ""]
    lines += ["On-board GPU H.264 Encoding Capabilities:", ""] + enc_lines + [""]
    lines += ["On-board GPU H.264 Decoding Capabilities:", ""] + decoding + [""]
    lines += ["GPU details:", ""]
    for name, _, driver in cards:
        lines += ["\tName=" + name, "\tDriver=" + driver, ""]
    lines += ["Camera Built-in H.264 Encoding Details:", ""] + cam_lines + [""]
    lines += ["Endpoint OS", "\t " + rng.choice(OSES)]
    return lines


def encode(rng, lines):
    # Device names are ANSI bytes, the OS name UTF-8: encode line by line.
    out = []
    for line in lines:
        try:
            out.append(line.encode("ascii"))
        except UnicodeEncodeError:
            out.append(line.encode("cp1252" if "\u00fc" not in line else "utf-8"))
    end = b"\r\n" if rng.random() < 0.5 else b"\n"
    data = end.join(out) + end
    if rng.random() < 0.1:
        data = b"\xef\xbb\xbf" + data
    if rng.random() < 0.1:
        data += b"Press any key to continue . . . "
    return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("count", type=int)
    parser.add_argument("dir")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--hostile", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    for i in range(args.count):
        folder = os.path.join(args.dir, "site%02d" % (i % 50))
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "PC-%06d.txt" % i)
        if i % 100 == 99:
            data = rng.choice([b"", b"not a report\n", b"Capability Checker v2.4.0.1233\n\nH.264"])
        else:
            data = encode(rng, endpoint(rng, args.hostile and i == 0))
        with open(path, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
