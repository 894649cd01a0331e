#!/usr/bin/env python3
"""CHIRP CSV files of memvane-cli against Debian's chirp package, an independent reader and
writer of the format: a file Memvane writes must load in chirp's generic CSV driver with the
row's frequencies, duplex, offset and mode, and a file chirp writes must import into the rows
the radio can hold, with a report naming the rest.

Usage: chirp_peer_test.py MEMVANE_CLI. Exits 77 (skipped) when chirp is not installed.
"""

import builtins
import os
import subprocess
import sys
import tempfile

try:
    from chirp import chirp_common
    from chirp.drivers import generic_csv
except ImportError as error:
    print("SKIPPED: Debian's chirp is not installed (apt-get install chirp): %s" % error)
    sys.exit(77)

# Debian's chirp opens its files with mode "rU", which Python 3.11 no longer accepts.
_open = builtins.open


def _open_without_u(file, mode="r", *args, **kwargs):
    return _open(file, mode.replace("U", ""), *args, **kwargs)


builtins.open = _open_without_u

CLI = sys.argv[1]
failures = []


def check(what, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (what, got, want))


def convert(src, dst):
    run = subprocess.run([CLI, "convert", src, dst], capture_output=True, text=True)
    check("exit status of convert %s" % os.path.basename(src), run.returncode, 0)
    return run.stderr


def mhz(text):
    return int(round(float(text) * 1e6))


with tempfile.TemporaryDirectory() as tmp:
    # ---- Memvane -> chirp --------------------------------------------------------------
    # label, transmit ("Freq VFO A"), receive ("Freq VFO B"), mode, filter, split/duplex text
    rows = [
        ("Mem 1", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "FM"),
        ("Mem 2", "0145.175000", "0145.775000", "FM", "Narrow", "Duplex --", "NFM"),
        ("Mem 3", "0431.500000", "0439.100000", "FM", "Normal", "Duplex +", "FM"),
        ("Mem 6", "0051.510000", "0050.910000", "FM", "Normal", "Duplex +", "FM"),
        ("Mem 7", "0014.025000", "0003.500000", "CW", "Narrow", "Split On", "NCW"),
        ("Mem 8", "0028.500000", "0028.500000", "AM", "Wide", "Split On", "AM"),
        ("Mem 33", "0145.612500", "0145.612500", "Wide FM", "Normal", "Duplex Off", "WFM"),
        ("Mem 42", "0050.100000", "0050.100000", "RTTY", "Normal", "Duplex Off", "RTTY"),
        ("Mem 1A", "0144.000000", "0144.000000", "LSB", "Normal", "Duplex Off", "LSB"),
    ]
    channel = os.path.join(tmp, "memvane.txt")
    with _open(channel, "w", newline="") as f:
        for label, tx, rx, mode, flt, split, _ in rows:
            f.write("false,%s,%s,%s,%s,%s,%s,,00.6000\r\n" % (label, tx, rx, mode, flt, split))
        f.write("false,Mem 10, , , , , , , \r\n")  # a blank row is left out
    exported = os.path.join(tmp, "memvane.csv")
    check("report of the export", convert(channel, exported), "")

    radio = generic_csv.CSVRadio(exported)
    check("chirp's load errors", radio.errors, [])
    loaded = {m.number: m for m in radio.get_memories() if not m.empty}
    numbers = [100 if r[0] == "Mem 1A" else int(r[0].split()[1]) for r in rows]
    check("locations chirp loaded", sorted(loaded), sorted(numbers))
    for number, (label, tx, rx, _, _, _, chirp_mode) in zip(numbers, rows):
        mem = loaded.get(number)
        if mem is None:
            continue
        check(label + " frequency", mem.freq, mhz(rx))
        check(label + " mode", mem.mode, chirp_mode)
        if mem.duplex == "split":
            transmit = mem.offset
        elif mem.duplex in ("+", "-"):
            transmit = mem.freq + (mem.offset if mem.duplex == "+" else -mem.offset)
        else:
            transmit = mem.freq
        check(label + " transmit frequency from duplex %r and offset %d" % (mem.duplex, mem.offset),
              transmit, mhz(tx))
    check("Mem 2 duplex", loaded[2].duplex, "-")
    check("Mem 3 duplex (tx below rx whatever the text)", loaded[3].duplex, "-")
    check("Mem 6 duplex", loaded[6].duplex, "+")
    check("Mem 7 duplex", loaded[7].duplex, "split")
    check("Mem 8 comment", loaded[8].comment, "filter Wide")
    check("Mem 1A name", loaded[100].name, "1A")

    # ---- chirp -> Memvane --------------------------------------------------------------
    out = generic_csv.CSVRadio(None)
    out.erase_memory(0)

    def memory(number, freq, **attrs):
        mem = chirp_common.DVMemory() if attrs.get("mode") == "DV" else chirp_common.Memory()
        mem.number = number
        mem.freq = freq
        for key, value in attrs.items():
            setattr(mem, key, value)
        out.set_memory(mem)

    memory(1, 146520000, name="CALL", offset=0)
    memory(2, 145775000, duplex="-", offset=600000, mode="NFM", comment="north")
    memory(3, 439100000, duplex="-", offset=7600000, tmode="Tone", rtone=88.5, name="RPT",
           comment="east")
    memory(4, 3500000, duplex="split", offset=14025000, mode="CW")
    memory(5, 145500000, duplex="off")
    memory(6, 146940000, duplex="-", offset=600000, tmode="DTCS", dtcs=47)
    memory(7, 145000000, mode="DV")
    memory(8, 902000000)
    memory(150, 145000000)
    chirp_file = os.path.join(tmp, "chirp.csv")
    out.save(chirp_file)
    with _open(chirp_file) as f:
        header = f.readline().strip()
    # The older header this chirp writes, without RxDtcsCode, CrossMode and Power.
    check("chirp's header", header, ",".join(chirp_common.Memory.CSV_FORMAT))

    imported = os.path.join(tmp, "imported.txt")
    report = convert(chirp_file, imported).splitlines()
    with _open(imported, newline="") as f:
        lines = f.read().split("\r\n")[:-1]
    check("rows imported", lines, [
        "false,Mem 1,0146.520000,0146.520000,FM,Normal,Duplex Off,CALL,00.0000",
        "false,Mem 2,0145.175000,0145.775000,FM,Narrow,Duplex --,north,00.6000",
        "false,Mem 3,0431.500000,0439.100000,FM,Normal,Duplex +,east,07.6000",
        "false,Mem 4,0014.025000,0003.500000,CW,Normal,Split On,,00.0000",
        "false,Mem 5,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.0000",
        "false,Mem 6,0146.340000,0146.940000,FM,Normal,Split On,,00.6000",  # the read's rule
    ])
    prefix = chirp_file + ": "
    check("report", report, [prefix + line for line in [
        "Mem 3: CTCSS 88.5 Hz is not stored by the radio: set it on the radio",
        "Mem 3: the name 'RPT' is not kept beside the comment; the comment is",
        "Mem 5: transmit inhibit (Duplex off) is not stored by the radio: the row transmits "
        "on its receive frequency",
        "Mem 6: DTCS 047 NN is not stored by the radio: set it on the radio",
        "Mem 7: mode 'DV' is not one the radio has: row left out",
        "Mem 8: receive frequency 902.000000 MHz is outside what the radio can store: row "
        "left out",
        "Location 150: not a memory of the radio (1 to 99, 100 to 107 for 1A to C2): row "
        "left out",
    ]])

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("chirp loads Memvane's export and Memvane imports chirp's file as expected")
