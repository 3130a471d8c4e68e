#!/usr/bin/env python3
"""Prints what tests/app/executable_test.sh checks in a PE file, for any
machine (binutils' objdump reads only the x86 ones):
  machine 0xaa64
  subsystem 3
  dll_characteristics 0x8160
  relocations_stripped 0
  import kernel32.dll CloseHandle     (one line per import; DLL in lower case)
"""
import struct
import sys


def read_pe(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"{path}: not a PE file")
    machine, sections, _, _, _, optional_size, characteristics = struct.unpack_from(
        "<HHIIIHH", data, pe + 4)
    optional = pe + 24
    pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    subsystem, dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
    directories = optional + (112 if pe32_plus else 96)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = []
    for i in range(sections):
        _, virtual_size, rva, raw_size, raw = struct.unpack_from(
            "<8sIIII", data, optional + optional_size + 40 * i)
        table.append((rva, max(virtual_size, raw_size), raw))

    def offset(rva):
        for start, size, raw in table:
            if start <= rva < start + size:
                return rva - start + raw
        raise SystemExit(f"{path}: RVA {rva:#x} outside every section")

    def text(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    imports = []
    entry = offset(import_rva) if import_rva else None
    thunk_size, ordinal_flag = (8, 1 << 63) if pe32_plus else (4, 1 << 31)
    while entry is not None:
        lookup, _, _, name, address = struct.unpack_from("<IIIII", data, entry)
        if name == 0:
            break
        dll = text(name).lower()
        at = offset(lookup or address)
        while True:
            value = int.from_bytes(data[at:at + thunk_size], "little")
            if value == 0:
                break
            imports.append((dll, f"#{value & 0xFFFF}" if value & ordinal_flag
                            else text((value & 0x7FFFFFFF) + 2)))
            at += thunk_size
        entry += 20
    print(f"machine {machine:#x}")
    print(f"subsystem {subsystem}")
    print(f"dll_characteristics {dll_characteristics:#x}")
    print(f"relocations_stripped {characteristics & 1}")
    for dll, function in imports:
        print("import", dll, function)


if __name__ == "__main__":
    read_pe(sys.argv[1])
