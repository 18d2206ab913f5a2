#!/usr/bin/env python3
"""Compares the hook engine's instruction lengths with the cross toolchain's
disassembler, over a generated table that covers every opcode of each map and
over the first bytes of the exports of Wine's system libraries.

Usage: decoder_differential.py OBJDUMP DLL_FOLDER -- DECODER COMMAND...
The decoder command reads lines of hex bytes and answers each with "=" and the
lengths of its instructions one after another, 0 for one it does not take.
A disagreement fails the run; a refusal (0) does not. Where the disassembler
answers "(bad)", the decoder must refuse or give the same length.
"""
import re
import struct
import subprocess
import sys
from pathlib import Path

PREFIXES = [0x66, 0x67, 0xF2, 0xF3, 0xF0, 0x2E, 0x36, 0x3E, 0x26, 0x64, 0x65]
PREFIX_PAIRS = [[0x66, 0xF2], [0x66, 0xF3], [0xF3, 0x66], [0xF2, 0x66], [0x2E, 0x66], [0xF0, 0x66], [0x67, 0x66]]
ESCAPES = {0x0F}
SLOT = 16      # bytes of a generated sequence; no instruction is longer than 15
RESYNC = 16    # one-byte nops after each, so the disassembler starts the next one afresh
FILL = 0x90
SYSTEM_DLLS = ["ntdll", "kernel32", "kernelbase", "user32", "gdi32", "advapi32", "msvcrt", "ucrtbase",
               "shell32", "shlwapi", "ole32", "oleaut32", "combase", "comctl32", "comdlg32", "rpcrt4",
               "ws2_32", "winmm", "version", "imm32", "psapi", "dbghelp", "crypt32", "secur32", "msvcp140"]
EXPORT_BYTES = 48


def modrm_forms(regs, forms=None, sixteen_bit=False):
    """ModRM bytes with what follows them: every mod, rm 4 (SIB, base 5 with mod 0 too) and rm 5."""
    if sixteen_bit:
        shapes = [[0x00], [0x06, 0x34, 0x12], [0x44, 0x08], [0x86, 0x34, 0x12], [0xC0]]
    else:
        shapes = [[0x00], [0x04, 0x24], [0x04, 0x25, 1, 2, 3, 4], [0x05, 1, 2, 3, 4], [0x44, 0x8D, 0x08],
                  [0x45, 0x08], [0x84, 0x65, 1, 2, 3, 4], [0x80, 1, 2, 3, 4], [0xC0], [0xC7]]
    if forms is not None:
        shapes = [shapes[i] for i in forms]
    return [[shape[0] | reg << 3] + shape[1:] for reg in regs for shape in shapes]


def opcodes():
    """Every opcode of the one-byte, 0F, 0F 38 and 0F 3A maps, as the bytes that name it."""
    one = [[op] for op in range(256) if op not in PREFIXES and op not in ESCAPES]
    two = [[0x0F, op] for op in range(256) if op not in (0x38, 0x3A)]
    three = [[0x0F, 0x38, op] for op in range(256)] + [[0x0F, 0x3A, op] for op in range(256)]
    return one + two + three


def vex_sequences():
    out = []
    for op in range(256):
        for pp in range(4):
            for modrm in ([0xC1], [0x04, 0x25, 1, 2, 3, 4]):
                out.append([0xC5, 0xF8 | pp, op] + modrm)
                for select in (1, 2, 3):
                    out.append([0xC4, 0xE0 | select, 0x78 | pp, op] + modrm)
    return out


def generated_table():
    table = []
    # Every reg value (the groups) in a memory and a register form; every shape with two of them.
    plain = modrm_forms(range(8), [0, 8]) + modrm_forms([0, 5], [1, 2, 3, 4, 5, 6, 7, 9])
    prefixed = modrm_forms([0], [0, 2, 4, 8]) + modrm_forms([1], [3, 8])
    sixteen = modrm_forms([0, 1], sixteen_bit=True)
    paired = modrm_forms([0], [0, 6, 8])
    for opcode in opcodes():
        table += [opcode + form for form in plain]
        for prefix in PREFIXES:
            table += [[prefix] + opcode + form for form in (sixteen if prefix == 0x67 else prefixed)]
        for pair in PREFIX_PAIRS:
            table += [pair + opcode + form for form in paired]
    table += vex_sequences()
    table.append([0x66] * 15 + [0x90])  # no instruction is longer than 15 bytes
    return [bytes(s[:SLOT] + [FILL] * (SLOT - len(s[:SLOT]))) for s in table]


def disassemble(objdump, chunks, work):
    """Per chunk: the (offset, length, bad) of the disassembler's instructions from its start on."""
    blob = bytearray()
    starts = []
    for chunk in chunks:
        starts.append(len(blob))
        blob += chunk + bytes([FILL] * RESYNC)
    path = work / "chunks.bin"
    path.write_bytes(bytes(blob))
    listing = subprocess.run([objdump, "-D", "-z", "-b", "binary", "-m", "i386", "--insn-width=16", str(path)],
                             check=True, capture_output=True, text=True).stdout
    line = re.compile(r"^\s*([0-9a-f]+):\t((?:[0-9a-f]{2} )+)\s*\t?(.*)$")
    found = {}
    for text in listing.splitlines():
        m = line.match(text)
        if m:
            at, length = int(m.group(1), 16), len(m.group(2).split())
            if m.group(2).startswith("9b ") and length > 1:
                # The disassembler joins fwait to the x87 instruction after it; the processor runs two.
                found[at] = (1, False)
                at, length = at + 1, length - 1
            found[at] = (length, "(bad)" in m.group(3))
    result = []
    for start, chunk in zip(starts, chunks):
        instructions, at = [], start
        while at < start + len(chunk):
            if at not in found:
                raise SystemExit(f"disassembler out of step at {at:#x}")
            length, bad = found[at]
            instructions.append((at - start, length, bad))
            at += length
        result.append(instructions)
    return result


def decode(command, chunks):
    text = "".join(chunk.hex() + "\n" for chunk in chunks)
    out = subprocess.run(command, input=text, check=True, capture_output=True, text=True).stdout
    answers = [[int(x) for x in l.split()[1:]] for l in out.splitlines() if l.startswith("=")]
    if len(answers) != len(chunks):
        raise SystemExit(f"decoder answered {len(answers)} of {len(chunks)} lines:\n{out[-2000:]}")
    return answers


def exports(dll_folder):
    """(name, first bytes) of each export that lies in code, once per address."""
    found = []
    for name in SYSTEM_DLLS:
        path = Path(dll_folder) / f"{name}.dll"
        if not path.exists():
            continue
        data = path.read_bytes()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        export_rva, export_size = struct.unpack_from("<II", data, optional + 96)
        table = []
        for i in range(sections):
            s = optional + optional_size + 40 * i
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            flags = struct.unpack_from("<I", data, s + 36)[0]
            table.append((vaddr, min(vsize, rawsize), rawptr, flags))

        def place(rva):
            for vaddr, size, rawptr, flags in table:
                if vaddr <= rva < vaddr + size:
                    return rawptr + rva - vaddr, vaddr + size - rva, flags & 0x20000000
            return None, 0, 0

        directory, _, _ = place(export_rva)
        if directory is None:
            continue
        count = struct.unpack_from("<I", data, directory + 20)[0]
        functions = struct.unpack_from("<I", data, directory + 28)[0]
        functions_at, _, _ = place(functions)
        seen = set()
        for i in range(count):
            rva = struct.unpack_from("<I", data, functions_at + 4 * i)[0]
            if rva == 0 or export_rva <= rva < export_rva + export_size or rva in seen:
                continue  # a forwarder
            seen.add(rva)
            at, left, executable = place(rva)
            if at is not None and executable:
                found.append((f"{name}+{rva:#x}", data[at:at + min(left, EXPORT_BYTES)]))
    return found


def main():
    split = sys.argv.index("--")
    objdump, dll_folder = sys.argv[1:split]
    command = sys.argv[split + 1:]
    work = Path(subprocess.run(["mktemp", "-d"], check=True, capture_output=True, text=True).stdout.strip())
    failures = []
    try:
        table = generated_table()
        listing = disassemble(objdump, table, work)
        answers = decode(command, table)
        counts = {"agree": 0, "refused": 0, "bad refused": 0}
        for chunk, found, lengths in zip(table, listing, answers):
            _, length, bad = found[0]
            ours = lengths[0]
            if ours == 0:
                counts["bad refused" if bad else "refused"] += 1
            elif ours == length:
                counts["agree"] += 1
            else:
                failures.append(f"{chunk.hex()}: decoder {ours}, disassembler {length}{' (bad)' if bad else ''}")
        print(f"generated: {len(table)} sequences, {counts['agree']} agree, {counts['refused']} refused, "
              f"{counts['bad refused']} refused where the disassembler says (bad), "
              f"{len(failures)} disagreements")

        found_exports = exports(dll_folder)
        if not found_exports:
            raise SystemExit(f"no system library found in {dll_folder}")
        names, chunks = zip(*found_exports)
        listing = disassemble(objdump, list(chunks), work)
        answers = decode(command, list(chunks))
        compared = refused = 0
        table_failures = len(failures)
        for name, chunk, found, lengths in zip(names, chunks, listing, answers):
            for (offset, length, bad), ours in zip(found, lengths):
                if offset + length > len(chunk):
                    break  # the chunk cuts it short
                if ours == 0:
                    refused += 1
                    break
                compared += 1
                if ours != length:
                    failures.append(f"{name}+{offset}: {chunk[offset:offset + 16].hex()}: decoder {ours}, "
                                    f"disassembler {length}{' (bad)' if bad else ''}")
                    break
        print(f"exports: {len(chunks)} exports, {compared} instructions compared, {refused} refused, "
              f"{len(failures) - table_failures} disagreements")
    finally:
        subprocess.run(["rm", "-rf", str(work)], check=False)
    for failure in failures[:200]:
        print("DISAGREE", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
