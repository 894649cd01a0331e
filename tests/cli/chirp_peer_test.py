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


def offset_text(hz):
    return "%02d.%04d" % (hz // 1000000, hz % 1000000 // 100)


def chirp_memories(path):
    radio = generic_csv.CSVRadio(path)
    check("chirp's load errors of %s" % os.path.basename(path), radio.errors, [])
    return {m.number: m for m in radio.get_memories() if not m.empty}


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
    check("Mem 8 comment", loaded[8].comment, "filter Wide; offset 00.6000")
    check("Mem 1A name (the row has none)", loaded[100].name, "")

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
    chirp_offset = out.get_memory(5).offset
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
    # The file's own Duplex, and Name in the row's tenth field (its "item" text), shown as the
    # comment where there is none.
    check("rows imported", lines, [
        "false,Mem 1,0146.520000,0146.520000,FM,Normal,Duplex Off,CALL,00.0000,CALL",
        "false,Mem 2,0145.175000,0145.775000,FM,Narrow,Duplex --,north,00.6000",
        "false,Mem 3,0431.500000,0439.100000,FM,Normal,Duplex --,east,07.6000,RPT",
        "false,Mem 4,0014.025000,0003.500000,CW,Normal,Split On,,00.0000",
        "false,Mem 5,0145.500000,0145.500000,FM,Normal,Duplex Off,,%s" % offset_text(chirp_offset),
        "false,Mem 6,0146.340000,0146.940000,FM,Normal,Duplex --,,00.6000",
    ])
    prefix = chirp_file + ": "
    check("report", report, [prefix + line for line in [
        "Mem 3: CTCSS 88.5 Hz is not stored by the radio: set it on the radio",
        "Mem 5: transmit inhibit (Duplex off) is not stored by the radio: the row transmits "
        "on its receive frequency",
        "Mem 6: DTCS 047 NN is not stored by the radio: set it on the radio",
        "Mem 7: mode 'DV' is not one the radio has: row left out",
        "Mem 8: receive frequency 902.000000 MHz is outside what the radio can store: row "
        "left out",
        "Location 150: not a memory of the radio (1 to 99, 100 to 107 for 1A to C2): row "
        "left out",
    ]])

    # ---- chirp -> Memvane -> chirp: every memory the radio can hold comes back the same -----
    trip = generic_csv.CSVRadio(None)
    trip.erase_memory(0)
    kept = [
        dict(number=1, freq=146520000, name="CALL", offset=0),
        dict(number=2, freq=145775000, duplex="-", offset=600000, mode="NFM", name="N1"),
        dict(number=3, freq=438650000, duplex="-", offset=7600000, name="DB0XY"),
        dict(number=4, freq=3500000, duplex="split", offset=14025000, mode="CW"),
        dict(number=9, freq=145200000, duplex="+", offset=290000000, name="XBAND"),  # cross-band
        dict(number=10, freq=51510000, duplex="+", offset=500000, mode="AM"),
        dict(number=11, freq=29620000, duplex="-", offset=100000, mode="USB", comment="10 m"),
        dict(number=12, freq=88500000, mode="WFM", name="RADIO"),
        dict(number=13, freq=145600000, offset=600000, mode="NAM"),
        dict(number=100, freq=145500000, name="BEACON"),
        dict(number=107, freq=7050000, mode="LSB"),
    ]
    for attrs in kept:
        mem = chirp_common.Memory()
        for key, value in attrs.items():
            setattr(mem, key, value)
        trip.set_memory(mem)
    first = os.path.join(tmp, "trip.csv")
    trip.save(first)
    middle = os.path.join(tmp, "trip.txt")
    check("report of chirp -> Memvane", convert(first, middle), "")
    second = os.path.join(tmp, "trip-back.csv")
    check("report of Memvane -> chirp", convert(middle, second), "")
    want = chirp_memories(first)
    got = chirp_memories(second)
    check("memories after the round trip", sorted(got), sorted(want))
    for number in sorted(want):
        if number not in got:
            continue
        for attr in ("name", "freq", "duplex", "offset", "mode"):
            check("memory %d %s after chirp -> Memvane -> chirp" % (number, attr),
                  getattr(got[number], attr), getattr(want[number], attr))

    # ---- channel file -> chirp -> channel file: the split/duplex text and the offset stay --
    rows = [
        "false,Mem 1,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000",
        "false,Mem 2,0145.175000,0145.775000,FM,Narrow,Duplex --,north,00.6000",
        "false,Mem 3,0439.100000,0431.500000,FM,Normal,Duplex +,,07.6000",
        "false,Mem 4,0014.025000,0003.500000,CW,Narrow,Split On,,00.1000",
        "false,Mem 5,0145.000000,0145.600000,FM,Normal,Split On,,00.6000",
        "false,Mem 6,0051.510000,0050.910000,FM,Normal,Duplex +,six,00.6000",
        "false,Mem 7,0435.200000,0145.200000,FM,Normal,Duplex +,XBAND,00.0000,XBAND",
        "false,Mem 1A,0144.000000,0144.000000,LSB,Wide,Duplex Off,edge,00.0000",
    ]
    channel = os.path.join(tmp, "rows.txt")
    with _open(channel, "w", newline="") as f:
        f.write("".join(r + "\r\n" for r in rows))
    csv = os.path.join(tmp, "rows.csv")
    check("report of rows -> chirp", convert(channel, csv), "")
    resaved = os.path.join(tmp, "rows-chirp.csv")
    peer = generic_csv.CSVRadio(csv)
    peer.save(resaved)  # chirp's own writing of what it loaded
    back = os.path.join(tmp, "rows-back.txt")
    check("report of chirp -> rows", convert(resaved, back), "")
    with _open(back, newline="") as f:
        check("rows after channel file -> chirp -> channel file",
              f.read().split("\r\n")[:-1], rows)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("chirp loads Memvane's export and Memvane imports chirp's file as expected")
